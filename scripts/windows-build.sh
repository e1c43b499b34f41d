#!/usr/bin/env bash
# `make windows`: the core, corvane-cli (without render, which needs Qt) and
# corvane-sim for 64-bit Windows, cross-built with Debian's mingw-w64 (posix
# threads), the MinGW runtime linked into each program. The tests are built
# too when asked (`make windows-test`).
#   scripts/windows-build.sh BUILD_DIR [TARGET...]      (default: the two programs)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$repo/build-windows}")
shift || true
"$repo/scripts/bootstrap.sh" windows
# Eigen is headers only: Debian's serve the cross build as they are.
# -O2, as the tested Linux build: g++ 12 at -O3 warns inside libstdc++'s own
# string code, which no code of ours can silence.
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/MinGW-w64.cmake" \
  -DCMAKE_CROSSCOMPILING_EMULATOR=/usr/lib/wine/wine64 \
  -DEigen3_DIR=/usr/share/eigen3/cmake \
  -DCORVANE_BUILD_UI=OFF -DCORVANE_BUILD_BENCH=OFF >/dev/null
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(corvane-cli corvane-sim)
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"
echo "windows: $build/src/cli/corvane-cli.exe $build/src/sim/corvane-sim.exe"
