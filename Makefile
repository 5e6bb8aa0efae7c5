# Entry points. `make demo` and `make test` each start with scripts/setup, so both work
# on a fresh Debian machine.
PRESETS := host fuzz win32 win64

.PHONY: setup build demo test docs clean

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

# The window.kiv reference (TypeDoc over resources/kiv.d.ts) with the guides of docs/,
# into build/docs/. A broken link or an undocumented member fails it.
docs: setup
	@test -x .cache/node/node_modules/.bin/typedoc || { echo "docs: TypeDoc is missing (npm could not install it)"; exit 1; }
	@.cache/node/node_modules/.bin/typedoc --options docs/typedoc.json
	@echo "docs: $$(pwd)/build/docs/index.html"

clean:
	rm -rf build
