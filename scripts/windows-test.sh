#!/usr/bin/env bash
# `make windows-test`: the Windows build's tests under wine (Debian's
# wine64), in a wine prefix of its own below the build folder, so every run
# starts from a clean one when the folder is new:
#  1. the core's test programs (tests/windows.cmake), the platform files test
#     among them (file replacement, writer locks, the single-instance mutex);
#  2. a recording by the Windows corvane-cli through a COM port: wine's
#     dosdevices/com42 link is made to point at the pseudo-terminal of a
#     Linux corvane-sim, so the bytes go through the Win32 serial calls,
#     wine's serial layer and the kernel's pty;
#  3. the Windows corvane-sim serving a COM port (one end of a pty pair made
#     by scripts/pty-pair.py), read by the Linux corvane-cli on the other end.
# What wine cannot show: that a replacement survives a power cut on NTFS.
#   scripts/windows-test.sh [WINDOWS_BUILD_DIR [LINUX_BUILD_DIR]]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$repo/build-windows}")
native=$(realpath -m "${2:-$repo/build}")
start=$SECONDS
step() { echo "windows-test: $* ($((SECONDS - start)) s)"; }

"$repo/scripts/windows-build.sh" "$build" all
step "built"

export WINEPREFIX="$build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  "$wine" wineboot -i >/dev/null 2>&1
fi
# One server for the whole run, its own talk in a log of its own, and wine's
# own services started here, away from the test programs' output (ctest
# would wait for them to close it); all ended at exit.
"$wineserver" -w
"$wineserver" -p 2>>"$build/wineserver.log"
trap '"$wineserver" -k 2>/dev/null || true' EXIT
"$wine" wineboot >/dev/null 2>&1 </dev/null
step "wine prefix ready"

ctest --test-dir "$build" -j "$(nproc)" --output-on-failure
step "core tests passed"

# The Linux programs on the other end of the line.
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S "$repo" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$native" -j "$(nproc)" --target corvane-sim corvane-cli >/dev/null

work=$(mktemp -d "$build/com-test.XXXXXX")
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  "$wineserver" -k 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work" "$WINEPREFIX/dosdevices/com42" "$WINEPREFIX/dosdevices/com43"
}
trap cleanup EXIT
fail() { echo "windows-test: $*" >&2; exit 1; }

# 2. corvane-cli.exe records through COM42, which wine maps to the pty of a
#    Linux corvane-sim.
rm -f "$WINEPREFIX/dosdevices/com42"
"$native/src/sim/corvane-sim" --link "$WINEPREFIX/dosdevices/com42" > "$work/sim.out" &
pids+=($!)
for _ in $(seq 50); do [ -s "$work/sim.out" ] && break; sleep 0.1; done
[ -s "$work/sim.out" ] || fail "corvane-sim did not start"
mkdir "$work/record"
(cd "$work/record" && "$wine" "$build/src/cli/corvane-cli.exe" record --port 42 --seconds 5 --skip-warmup \
  -o run.csv) || fail "the Windows corvane-cli did not record through COM42"
info=$(cd "$work/record" && "$wine" "$build/src/cli/corvane-cli.exe" info --json run.csv)
echo "$info"
echo "$info" | grep -q '"layout":"two_channel"' || fail "the recorded run is not a two-channel run"
echo "$info" | grep -Eq '"samples":[1-9][0-9]+' || fail "the recorded run has too few samples"
step "recorded through COM42 (wine's link to a Linux corvane-sim's pty)"

# 3. corvane-sim.exe serves COM43, one end of a pty pair; the Linux
#    corvane-cli reaches it on the other end as COM7.
python3 "$repo/scripts/pty-pair.py" "$WINEPREFIX/dosdevices/com43" "$work/other-end" &
pids+=($!)
for _ in $(seq 50); do [ -e "$work/other-end" ] && break; sleep 0.1; done
"$wine" "$build/src/sim/corvane-sim.exe" --port 43 > "$work/winsim.out" &
pids+=($!)
for _ in $(seq 100); do [ -s "$work/winsim.out" ] && break; sleep 0.1; done
grep -q '^COM43' "$work/winsim.out" || fail "the Windows corvane-sim did not serve COM43: $(cat "$work/winsim.out")"
mkdir "$work/link"
printf '[ports]\ncom7 %s\n' "$work/other-end" > "$work/link/prefs.cfg"
report=$(cd "$work/link" && "$native/src/cli/corvane-cli" link --port 7 --seconds 3) ||
  fail "the Linux corvane-cli found no unit behind the Windows corvane-sim: $report"
echo "$report"
echo "$report" | grep -q '^unit mode: 11 (setup)' || fail "the Linux corvane-cli found no unit behind the Windows corvane-sim"
step "the Windows corvane-sim served COM43"
echo "windows-test: all passed in $((SECONDS - start)) s"
