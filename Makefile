# The two commands of the README: `make demo` and `make test`.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= $(shell nproc 2>/dev/null || echo 2)
PREFIX     ?= /usr/local
SECONDS    ?= 60
CMAKE_FLAGS ?=

.PHONY: all deps test-deps build build-asan test golden demo bench fuzz install package clean

all: build

deps:
	@sh scripts/deps.sh

test-deps:
	@sh scripts/deps.sh test

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) -- --no-print-directory

build-asan: deps
	@cmake -S . -B $(ASAN_BUILD) -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS) -- --no-print-directory

test: test-deps build build-asan
	@echo "== tests (release build)"
	@cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@echo "== tests (AddressSanitizer + UndefinedBehaviorSanitizer build)"
	@cd $(ASAN_BUILD) && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 ctest --output-on-failure -j $(JOBS)
	@if command -v clang++-14 >/dev/null 2>&1; then \
	  echo "== fuzz (30 s per target, two at a time)"; sh scripts/fuzz.sh 30; \
	else echo "== fuzz skipped: clang++-14 not found"; fi

# Rewrites the expected files of the golden conversions (tests/golden/expected)
# from the current tool after an intended change of output; review the diff
# and commit it with the change.
golden: test-deps build
	@cd $(BUILD) && VORDA_GOLDEN_UPDATE=1 ./tests/golden/golden_tests --gtest_filter='Golden.*Converts*' >/dev/null
	@git --no-pager diff --stat -- tests/golden/expected

demo: build
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
	rm -rf $(BUILD) $(ASAN_BUILD) build-fuzz out
