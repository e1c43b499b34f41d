#!/usr/bin/env bash
# CI: the Debian package as a lab installs it. `make deb`, then on this
# machine: dpkg -i, the programs run from an empty home folder (the version,
# a simulated record and its info; the desktop program's per-user folder
# seeded without a display), nothing written below /usr, then dpkg -r and
# --purge leave nothing behind. Needs root (or sudo) for dpkg.
#   scripts/ci-package.sh [BUILD_DIR [OUT_DIR]]     (default build-deb, dist)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  sudo=(sudo)
fi
fail() { echo "ci-package: $*" >&2; exit 1; }

deb=$("$repo/scripts/make-deb.sh" "${1:-$repo/build-deb}" "${2:-$repo/dist}" | tail -1)
[ -f "$deb" ] || fail "no package was made"
echo "ci-package: installing $deb"
"${sudo[@]}" dpkg -i "$deb"
dpkg -V corvane || fail "the installed files differ from the package's"

home=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$home" "$work"' EXIT
stamp="$work/.stamp"
touch "$stamp"
# An empty home and nothing of this tree: only what the package installed.
run() { (cd "$work" && env -i HOME="$home" PATH=/usr/bin:/bin LANG=C.UTF-8 "$@"); }

run corvane-cli --version | grep -qx 'corvane-cli (Corvane) [0-9.]*' || fail "corvane-cli --version"
run corvane-sim --version | grep -qx 'corvane-sim (Corvane) [0-9.]*' || fail "corvane-sim --version"
run corvane-cli record --simulate --seconds 5 --skip-warmup --sim-speed 10 -o run.csv
[ -s "$work/run.csv" ] || fail "record saved no run.csv"
info=$(run corvane-cli info --json run.csv)
echo "$info"
echo "$info" | grep -q '"layout": *"two_channel"' || fail "info does not read the run as a two-channel run"
echo "$info" | grep -Eq '"samples": *[1-9][0-9]*' || fail "the run has no samples"
[ -f "$work/prefs.cfg" ] || fail "record did not copy the default settings into its folder"

# The desktop program's own folder, seeded as at a first start (no display needed).
run corvane --seed
[ -f "$home/.local/share/corvane/prefs.cfg" ] || fail "corvane --seed did not seed ~/.local/share/corvane"
cmp -s "$home/.local/share/corvane/rotors.txt" /usr/share/corvane/rotors.txt || fail "the seeded rotors.txt differs"

# Where a misdirected write would land: the programs' folder, the installed
# defaults, their parents (a new entry in a folder makes the folder newer).
written=$(find /usr /usr/bin /usr/share /usr/share/corvane /lib/udev /lib/udev/rules.d \
  -maxdepth 1 -newer "$stamp" 2>/dev/null || true)
[ -z "$written" ] || fail "the programs wrote below /usr: $written"
dpkg -V corvane || fail "an installed file changed while the programs ran"

"${sudo[@]}" dpkg -r corvane
for file in /usr/bin/corvane /usr/bin/corvane-cli /usr/bin/corvane-sim /usr/share/corvane \
            /lib/udev/rules.d/60-corvane-serial-bridge.rules /usr/share/applications/corvane.desktop; do
  [ ! -e "$file" ] || fail "$file is still there after dpkg -r"
done
# Nothing of the package is kept after -r (it has no configuration files);
# a purge is still what a lab runs to be sure.
if dpkg-query -W corvane >/dev/null 2>&1; then
  "${sudo[@]}" dpkg --purge corvane
fi
status=$(dpkg-query -W -f='${Status}' corvane 2>/dev/null || true)
case "$status" in
  "" | *not-installed) ;;
  *) fail "dpkg still has corvane after --purge: $status" ;;
esac
! dpkg -L corvane >/dev/null 2>&1 || fail "dpkg still lists corvane's files after --purge"
echo "ci-package: $deb installs, records from an empty home and removes cleanly"
