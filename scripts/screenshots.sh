#!/usr/bin/env bash
# Saves PNG screenshots of Brelquin's windows under Wine (on a private Xvfb display) into docs/.
# Run: scripts/screenshots.sh [CROSS_BUILD_DIR]   (default build/win32, built first; on demand only)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
win32_dir="$(realpath -m "${1:-$root/build/win32}")"

"$root/scripts/setup.sh"
cmake -S "$root" -B "$win32_dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  >/dev/null
cmake --build "$win32_dir" >/dev/null

run_root="$(mktemp -d /tmp/brelquin-screenshots.XXXXXX)"
harness=(python3 -B "$root/tests/e2e/harness.py" --root "$run_root" --win32-dir "$win32_dir")
trap '"${harness[@]}" cleanup >/dev/null' EXIT
"${harness[@]}" setup
"${harness[@]}" screenshots "$root/docs"
