#!/usr/bin/env bash
# Builds both configurations: build/win32 (Brelquin.exe, cross) and build/native (tests).
# Run: scripts/build.sh   (installs what is missing first; safe to run again)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

scripts/setup.sh
cmake -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
cmake --build build/win32
cmake -S . -B build/native -G Ninja -DBRELQUIN_WIN32_DIR="$root/build/win32" >/dev/null
cmake --build build/native
