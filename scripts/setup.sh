#!/usr/bin/env bash
# Installs, from Debian's packages only, everything the build and the tests need.
# Run as root (or with sudo): scripts/setup.sh. Safe to run again; quiet when all is there.
set -euo pipefail

packages=(
  cmake ninja-build g++ make python3
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  g++-mingw-w64-i686 binutils-mingw-w64-i686 mingw-w64-i686-dev
  wine wine32:i386 xvfb x11-apps imagemagick icoutils
  clang-format clang-tidy cppcheck zip procps e2fsprogs util-linux
)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

missing() {
  local name
  for name in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q 'install ok installed'; then
      echo "$name"
    fi
  done
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi

if [ -z "$(missing)" ]; then
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
# shellcheck disable=SC2046
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends $(missing) >/dev/null
