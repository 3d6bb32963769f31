# The two commands of the README: `make demo` and `make test`; `make windows`
# cross-builds vorda.exe and its zip.
BUILD      ?= build
ASAN_BUILD ?= build-asan
WIN_BUILD  ?= build-windows
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX     ?= /usr/local
SECONDS    ?= 60
CMAKE_FLAGS ?=

.PHONY: all deps test-deps windows-deps build build-asan windows test golden demo bench fuzz install package clean

all: build

deps:
	@sh scripts/deps.sh

test-deps:
	@sh scripts/deps.sh test

windows-deps:
	@sh scripts/deps.sh windows

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) -- --no-print-directory

build-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS) -- --no-print-directory

# vorda.exe and build-windows/vorda-<version>-win64.zip; the first run fetches
# the Debian sources of the libraries (scripts/debian-sources.sh) into the build folder.
windows: windows-deps
	@cmake -S . -B $(WIN_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release >/dev/null
	@cmake --build $(WIN_BUILD) -j $(JOBS) -- --no-print-directory

test: test-deps build build-asan
	@echo "== tests (release build)"
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer build)"
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS)
	@if command -v x86_64-w64-mingw32-g++-win32 >/dev/null 2>&1 && command -v wine >/dev/null 2>&1; then \
	  echo "== tests (Windows build under Wine)"; start=$$(date +%s); \
	  $(MAKE) --no-print-directory windows WIN_BUILD=$(WIN_BUILD) && sh tests/windows/wine_test.sh $(BUILD) $(WIN_BUILD) && \
	  echo "Windows build and checks: $$(( $$(date +%s) - start )) s"; \
	else echo "== Windows tests skipped: the MinGW-w64 compiler or Wine is missing"; fi
	@if command -v clang++-14 >/dev/null 2>&1; then \
	  echo "== fuzz (30 s per target, two at a time)"; sh scripts/fuzz.sh 30; \
	else echo "== fuzz skipped: clang++-14 not found"; fi

# Rewrites the expected files of the golden conversions (tests/golden/expected)
# from the current tool after an intended change of output; review the diff
# and commit it with the change.
golden: test-deps build
	@cd $(BUILD) && VORDA_GOLDEN_UPDATE=1 ./tests/golden/golden_tests --gtest_filter='Golden.*Converts*' >/dev/null
	@git --no-pager diff --stat -- tests/golden/expected

# Only the tool and the sample writer: no test suite, so a first run is quick.
demo: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) --target vorda vorda_make_sample -- --no-print-directory
	@sh scripts/demo.sh $(BUILD)

bench: test-deps build
	@sh scripts/bench.sh $(BUILD)

fuzz: deps
	@sh scripts/fuzz.sh $(SECONDS)

install: build
	@cmake --install $(BUILD) --prefix $(PREFIX)

package: build
	@cd $(BUILD) && cpack -G DEB

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN_BUILD) build-fuzz out
