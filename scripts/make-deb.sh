#!/usr/bin/env bash
# `make deb`: the Debian package of this tree. A build with Debian's flags
# (its own build folder), installed into a staging folder
# with the manual pages (help2man, from each program's --help), the package's
# notes, its copyright and changelog; then dpkg-deb, lintian and
# desktop-file-validate, any error of which fails the build. The package's
# path is the last line printed.
#   scripts/make-deb.sh [BUILD_DIR [OUT_DIR]]     (default build-deb, dist)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$repo/build-deb}")
out=$(realpath -m "${2:-$repo/dist}")
maintainer=${DEB_MAINTAINER:-Corvane developers <corvane@example.org>}

"$repo/scripts/bootstrap.sh" deb

# Reproducible dates: the last commit's, where the tree is a clone.
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$repo" log -1 --format=%ct 2>/dev/null || date +%s)
fi
export SOURCE_DATE_EPOCH

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
# Build type None: Debian's own flags alone (-O2 -g, hardening), as its
# packages are built; the debugging sections are stripped below.
cmake -S "$repo" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DCORVANE_BUILD_TESTS=OFF -DCORVANE_BUILD_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j "$(nproc)" --target corvane corvane-cli corvane-sim

version=$(sed -n 's/.*kVersionText = "\(.*\)";/\1/p' "$build/src/app/Version.h")
arch=$(dpkg --print-architecture)
stage="$build/stage"
rm -rf "$stage"
DESTDIR="$stage" cmake --install "$build" >/dev/null

# Manual pages from the programs' own help. The desktop program prints its
# help once its toolkit is up: the offscreen platform needs no display, and
# it has no --version of its own yet, so the version is given.
man="$stage/usr/share/man/man1"
mkdir -p "$man"
bin="$stage/usr/bin"
h2m="$repo/packaging/man"
cli_commands="$build/corvane-cli-commands.h2m"
{
  echo "[COMMANDS]"
  "$bin/corvane-cli" --help | sed -n '/^commands:/,$p' | sed '1d' | while read -r name _; do
    [ "$name" = version ] && continue
    echo ".SS $name"
    echo ".nf"
    "$bin/corvane-cli" "$name" --help 2>&1 | sed 's/\\/\\e/g; s/^\./\\\&./; s/^'"'"'/\\\&'"'"'/' || true
    echo ".fi"
  done
} > "$cli_commands"
help2man -N -i "$h2m/corvane-cli.h2m" -i "$cli_commands" -o "$man/corvane-cli.1" "$bin/corvane-cli"
help2man -N -i "$h2m/corvane-sim.h2m" -o "$man/corvane-sim.1" "$bin/corvane-sim"
QT_QPA_PLATFORM=offscreen help2man -N --version-string="$version" -i "$h2m/corvane.h2m" \
  -o "$man/corvane.1" "$bin/corvane"
gzip -9n "$man"/*.1

doc="$stage/usr/share/doc/corvane"
mkdir -p "$doc"
install -m 644 "$repo/packaging/debian/copyright" "$doc/copyright"
install -m 644 "$repo/packaging/debian/README.Debian" "$doc/README.Debian"
date_text=$(date -R -u -d "@$SOURCE_DATE_EPOCH")
sed -e "s/@VERSION@/$version/" -e "s/@MAINTAINER@/$maintainer/" -e "s/@DATE@/$date_text/" \
  "$repo/packaging/debian/changelog.in" | gzip -9n > "$doc/changelog.gz"

# What dh_strip does for programs: the debugging sections go.
for program in "$bin"/*; do
  strip --remove-section=.comment --remove-section=.note "$program"
done

mkdir -p "$stage/DEBIAN"
install -m 755 "$repo/packaging/debian/postinst" "$stage/DEBIAN/postinst"
# dpkg-shlibdeps reads a source package's control file from ./debian.
shlibs="$build/shlibdeps"
mkdir -p "$shlibs/debian"
printf 'Source: corvane\n\nPackage: corvane\nArchitecture: any\n' > "$shlibs/debian/control"
depends=$(cd "$shlibs" && dpkg-shlibdeps -O "$bin"/* 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
size=$(du -sk --exclude=DEBIAN "$stage" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@MAINTAINER@/$maintainer/" \
  -e "s/@INSTALLED_SIZE@/$size/" -e "s/@DEPENDS@/$depends/" \
  "$repo/packaging/debian/control.in" > "$stage/DEBIAN/control"
(cd "$stage" && find usr lib -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) > "$stage/DEBIAN/md5sums"
chmod 644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"
find "$stage" -type d -exec chmod 755 {} +

mkdir -p "$out"
deb="$out/corvane_${version}_${arch}.deb"
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null

desktop-file-validate "$stage/usr/share/applications/corvane.desktop"
lintian --fail-on error "$deb" >&2 || {
  echo "make-deb: lintian found errors in $deb" >&2
  exit 1
}
echo "$deb"
