#!/usr/bin/env bash
# What CI runs after `make test`, sized for a fresh 2-core machine (the
# choice and its reasons: docs/ARCHITECTURE-NOTES.md, "CI"):
# - one clang build with AddressSanitizer and UndefinedBehaviorSanitizer
#   serves the fuzz targets and the tests of the settings store, the packets,
#   the link, the recording and the file readers (runs and profiles of other
#   instruments, export files);
# - every fuzz target for FUZZ_SECONDS (20) from its corpus, which holds the
#   fixtures and every input that once broke a reader, while the TSan build
#   runs beside it;
# - the link's tests under ThreadSanitizer.
# `make asan` and `make tsan` run every core test under the sanitizers.
#
# Both builds name clang themselves: a folder first configured with another
# compiler would otherwise keep it (CXX is read only once). -O1 keeps the
# sanitized tests close to real speed while compiling faster than -O2; line
# tables alone give the reports their lines for a fraction of full debug
# information's compile time.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-20}
started=$SECONDS
flags=(-G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug
       -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" -DCORVANE_BUILD_UI=OFF -DCORVANE_BUILD_BENCH=OFF)
asan_tests=(test_base test_app test_packets test_link test_sample_reader test_recording test_runs test_compare)
tsan_tests=(test_link)

stage() { printf '\n== %s (%d s so far)\n' "$1" $((SECONDS - started)); }

# Runs test programs of a build one after the other from their own folders
# (some read files beside them); a hang ends the run instead of the CI's.
run_tests() {
  local build=$1
  shift
  for name in "$@"; do
    local program
    program=$(find "$build/tests" -type f -name "$name" -perm -u+x | head -n 1)
    echo "-- $name"
    (cd "$(dirname "$program")" && timeout 900 "./$name" --gtest_brief=1)
  done
}

stage "ASan+UBSan build (clang): fuzz targets and ${asan_tests[*]}"
cmake -S . -B build-ci-asan "${flags[@]}" -DCORVANE_BUILD_FUZZ=ON -DCORVANE_SANITIZE=address,undefined >/dev/null
fuzz_targets=()
for source in fuzz/fuzz_*.cpp; do
  fuzz_targets+=("$(basename "$source" .cpp)")
done
cmake --build build-ci-asan -j "$jobs" --target "${fuzz_targets[@]}" "${asan_tests[@]}"

stage "tests under ASan+UBSan"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build-ci-asan "${asan_tests[@]}"

# A fuzz run keeps one core busy for a fixed time: the TSan build takes the
# rest of the machine meanwhile.
stage "fuzz targets, ${fuzz_seconds} s each, beside the TSan build of ${tsan_tests[*]}"
cmake -S . -B build-ci-tsan "${flags[@]}" -DCORVANE_SANITIZE=thread >/dev/null
cmake --build build-ci-tsan -j "$jobs" --target "${tsan_tests[@]}" >build-ci-tsan/build.log 2>&1 &
tsan_build=$!
trap 'kill "$tsan_build" 2>/dev/null || true' EXIT
scripts/fuzz.sh build-ci-asan "$fuzz_seconds"
stage "fuzz done; waiting for the TSan build"
wait "$tsan_build" || { tail -n 50 build-ci-tsan/build.log; exit 1; }
trap - EXIT

stage "tests under TSan"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 run_tests build-ci-tsan "${tsan_tests[@]}"

stage "done"
