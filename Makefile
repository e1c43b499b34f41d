# Thin front over CMake. The two commands of the README: `make run`, `make test`.
BUILD_DIR    ?= build
JOBS         ?= $(shell nproc)
CMAKE_FLAGS  ?=
FUZZ_SECONDS ?= 60
GENERATOR    := -G Ninja

.PHONY: all bootstrap configure build test run bench fuzz asan tsan deb windows windows-test clean

all: build

bootstrap:
	@scripts/bootstrap.sh

configure: bootstrap
	@cmake -S . -B $(BUILD_DIR) $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

test: build
	@ctest --test-dir $(BUILD_DIR) --output-on-failure -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD_DIR)

bench: configure
	@cmake -S . -B $(BUILD_DIR)-bench $(GENERATOR) -DCMAKE_BUILD_TYPE=Release -DCORVANE_BUILD_TESTS=OFF >/dev/null
	@cmake --build $(BUILD_DIR)-bench -j $(JOBS) --target bench

# Core tests with AddressSanitizer and UndefinedBehaviorSanitizer.
asan: bootstrap
	@cmake -S . -B $(BUILD_DIR)-asan $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DCORVANE_BUILD_UI=OFF \
	  -DCORVANE_BUILD_BENCH=OFF -DCORVANE_SANITIZE=address,undefined >/dev/null
	@cmake --build $(BUILD_DIR)-asan -j $(JOBS)
	@ctest --test-dir $(BUILD_DIR)-asan --output-on-failure -j $(JOBS)

# Core tests with ThreadSanitizer (the link and its threads above all).
tsan: bootstrap
	@cmake -S . -B $(BUILD_DIR)-tsan $(GENERATOR) -DCMAKE_BUILD_TYPE=Debug -DCORVANE_BUILD_UI=OFF \
	  -DCORVANE_BUILD_BENCH=OFF -DCORVANE_SANITIZE=thread >/dev/null
	@cmake --build $(BUILD_DIR)-tsan -j $(JOBS)
	@TSAN_OPTIONS=halt_on_error=1 ctest --test-dir $(BUILD_DIR)-tsan --output-on-failure -j $(JOBS)

# Every libFuzzer target for FUZZ_SECONDS each.
fuzz: bootstrap
	@CXX=clang++ cmake -S . -B $(BUILD_DIR)-fuzz $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DCORVANE_BUILD_UI=OFF -DCORVANE_BUILD_TESTS=OFF -DCORVANE_BUILD_BENCH=OFF \
	  -DCORVANE_BUILD_FUZZ=ON -DCORVANE_SANITIZE=address,undefined >/dev/null
	@cmake --build $(BUILD_DIR)-fuzz -j $(JOBS)
	@scripts/fuzz.sh $(BUILD_DIR)-fuzz $(FUZZ_SECONDS)

# The Debian package, in dist/ (a Release build of its own in $(BUILD_DIR)-deb).
deb:
	@scripts/make-deb.sh $(BUILD_DIR)-deb dist

# The core, corvane-cli (without render) and corvane-sim for 64-bit Windows,
# cross-built with mingw-w64 in $(BUILD_DIR)-windows; their tests under wine.
windows:
	@scripts/windows-build.sh $(BUILD_DIR)-windows

windows-test:
	@scripts/windows-test.sh $(BUILD_DIR)-windows $(BUILD_DIR)

clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-bench $(BUILD_DIR)-asan $(BUILD_DIR)-tsan $(BUILD_DIR)-fuzz \
	  $(BUILD_DIR)-deb $(BUILD_DIR)-windows dist
