#!/usr/bin/env bash
# What CI runs after `make test`: the core tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, a short run of every fuzz target, and the link
# and recording tests under ThreadSanitizer.
#
# Both builds name clang themselves: a folder first configured with another
# compiler would otherwise keep it (CXX is read only once).
# One clang build serves the ASan tests and the fuzz targets (the libraries
# are built once, with libFuzzer's coverage). -O1 keeps the sanitized tests
# close to real speed while compiling faster than -O2.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-20}
started=$SECONDS

stage() { printf '\n== %s (%d s so far)\n' "$1" $((SECONDS - started)); }

stage "ASan+UBSan build (clang, with the fuzz targets)"
cmake -S . -B build-ci-asan -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DCORVANE_BUILD_UI=OFF -DCORVANE_BUILD_BENCH=OFF -DCORVANE_BUILD_FUZZ=ON \
  -DCORVANE_SANITIZE=address,undefined >/dev/null
cmake --build build-ci-asan -j "$jobs"

stage "core tests under ASan+UBSan"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build-ci-asan --output-on-failure -j "$jobs"

stage "fuzz targets, ${fuzz_seconds} s each"
scripts/fuzz.sh build-ci-asan "$fuzz_seconds"

stage "TSan build of the link and recording tests"
cmake -S . -B build-ci-tsan -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" \
  -DCORVANE_BUILD_UI=OFF -DCORVANE_BUILD_BENCH=OFF -DCORVANE_SANITIZE=thread >/dev/null
tsan_targets=(test_link test_connect test_bridges test_sample_reader test_recording corvane-cli corvane-sim)
cmake --build build-ci-tsan -j "$jobs" --target "${tsan_targets[@]}"

stage "link and recording tests under TSan"
for name in "${tsan_targets[@]}"; do
  [[ $name == test_* ]] || continue
  program=$(find build-ci-tsan/tests -type f -name "$name" -perm -u+x | head -n 1)
  echo "-- $name"
  (cd "$(dirname "$program")" && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 "./$name" --gtest_brief=1)
done

stage "done"
