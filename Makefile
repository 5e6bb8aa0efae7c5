# Entry points. `make demo` and `make test` each start with scripts/setup, so both work
# on a fresh Debian machine.
PRESETS := host win32 win64

.PHONY: setup build demo test clean $(addprefix build-,$(PRESETS))

setup:
	@bash scripts/setup

build: setup $(addprefix build-,$(PRESETS))

build-%:
	@cmake --preset $* >/dev/null
	@cmake --build --preset $*

demo: build
	@bash scripts/demo

test: build
	@bash scripts/run-tests

clean:
	rm -rf build
