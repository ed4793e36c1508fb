# Wavlon: `make run` installs what is missing, builds and starts the player;
# `make test` installs, builds and runs every test; `make package` builds the Debian package;
# `make bench` measures; `make fuzz` runs the fuzz targets.
PRESET ?= dev
WERROR ?= $(if $(CI),ON,OFF)
JOBS ?= $(shell nproc)
# Which packages `deps` installs: what building and running need, or also the test tools.
DEPS_SET ?= run

.PHONY: run test build deps configure bench fuzz package format clean windows test-windows \
	windows-screenshot

run: build
	scripts/run.sh build/$(PRESET)/src/wavlon

test: DEPS_SET = test
test: build
	ctest --preset $(PRESET) -j $(JOBS)

build: configure
	cmake --build --preset $(PRESET) -j $(JOBS)

configure: deps
	cmake --preset $(PRESET) -DWAVLON_WERROR=$(WERROR) >/dev/null

deps:
	@scripts/install-deps.sh $(DEPS_SET)

bench: PRESET = release
bench: DEPS_SET = test
bench: build
	scripts/bench.sh build/release

# Every fuzz target under libFuzzer with the address and undefined-behaviour sanitizers, for
# FUZZ_SECONDS each (default 300), two at a time: scripts/fuzz.sh says more.
fuzz: PRESET = fuzz
fuzz: DEPS_SET = test
fuzz: configure
	cmake --build --preset fuzz -j $(JOBS) --target fuzz_targets
	scripts/fuzz.sh build/fuzz

# The Windows build (x86_64-w64-mingw32, cmake/toolchain-mingw.cmake): wavlon.exe, its
# installer and portable zip, and the tests; `make test-windows` runs them under wine in
# build/windows/wineprefix. The window template is compiled by the native build's compiler.
HOST_TEMPLATE_COMPILER = $(CURDIR)/build/dev/tools/template_compiler
windows:
	@scripts/install-deps.sh windows
	@scripts/install-deps.sh run
	cmake --preset dev -DWAVLON_WERROR=$(WERROR) >/dev/null
	cmake --build --preset dev -j $(JOBS) --target template_compiler
	cmake --preset windows -DWAVLON_WERROR=$(WERROR) \
	    -DWAVLON_HOST_TEMPLATE_COMPILER=$(HOST_TEMPLATE_COMPILER) >/dev/null
	cmake --build --preset windows -j $(JOBS)

test-windows: windows
	@scripts/install-deps.sh test
	ctest --preset windows -j $(JOBS)

# The README's picture of the Windows program: wavlon.exe under wine on a virtual display, with
# a few tracks in its list (scripts/windows-screenshot.sh).
windows-screenshot: windows
	scripts/windows-screenshot.sh build/windows docs/windows-screenshot.png

# An optimised build without tests, packed by CPack: build/package/wavlon_<version>_<arch>.deb
package: PRESET = package
package: build
	cd build/package && cpack -G DEB

format:
	find src tests bench fuzz -name '*.cpp' -o -name '*.h' | xargs clang-format -i

clean:
	rm -rf build
