#!/usr/bin/env bash
# Installs the Debian packages Corvane needs to build, test and run. Does
# nothing when all of them are present; runs as root or through sudo.
set -euo pipefail

packages=(
  cmake ninja-build make g++ clang libclang-rt-14-dev ccache pkg-config
  qt6-base-dev qt6-svg-dev qt6-image-formats-plugins libgl-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev libeigen3-dev
  xvfb xauth
)

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
