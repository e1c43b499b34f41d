#!/usr/bin/env bash
# Installs the Debian packages Corvane needs to build, test and run. Does
# nothing when all of them are present; runs as root or through sudo.
#   scripts/bootstrap.sh           the build, the tests, the desktop program
#   scripts/bootstrap.sh deb       and what `make deb` needs to make the package
#   scripts/bootstrap.sh windows   and the Windows cross-build and wine (`make windows-test`)
set -euo pipefail

packages=(
  cmake ninja-build make g++ clang libclang-rt-14-dev ccache pkg-config
  qt6-base-dev qt6-svg-dev qt6-image-formats-plugins libgl-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev libeigen3-dev
  xvfb xauth
)
for extra in "$@"; do
  case "$extra" in
    deb) packages+=(dpkg-dev help2man lintian desktop-file-utils) ;;
    # posix threads: std::thread and std::mutex; googletest's sources come
    # with libgtest-dev and are built for Windows in the cross build;
    # python3 makes the test's pty pair.
    windows) packages+=(g++-mingw-w64-x86-64-posix wine64 googletest python3) ;;
    *) echo "bootstrap: unknown package set '$extra'" >&2; exit 2 ;;
  esac
done

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "bootstrap: installing ${missing[*]}"
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "bootstrap: need root or sudo to install packages" >&2; exit 1; }
  sudo=(sudo)
fi
export DEBIAN_FRONTEND=noninteractive
install() { "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"; }
# A fresh machine may carry stale package lists: refresh them only when needed.
if ! install; then
  "${sudo[@]}" apt-get update -q
  install
fi
