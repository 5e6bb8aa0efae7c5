# Entry points. `make demo` and `make test` each start with scripts/setup, so both work
# on a fresh Debian machine.
PRESETS := host fuzz win32 win64

.PHONY: setup build demo test clean

setup:
	@bash scripts/setup

build: setup
	@set -e; for p in $(PRESETS); do \
	  echo "==> building $$p"; \
	  cmake --preset $$p >/dev/null; \
	  cmake --build --preset $$p; \
	done

demo: build
	@bash scripts/demo

test: build
	@bash scripts/run-tests

clean:
	rm -rf build
