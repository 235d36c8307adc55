#!/usr/bin/env bash
# Builds Brelquin.exe and starts it under Wine on your display, on FILE (or with no file:
# the Open dialog). Run: scripts/run.sh [FILE]. With no display, it runs a demonstration.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

"$root/scripts/setup.sh"
cmake -S "$root" -B "$root/build/win32" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$root/build/win32" >/dev/null

if [ -z "${DISPLAY:-}" ]; then
  echo "No display here, so nobody could answer Brelquin's questions: running a demonstration" \
    "on a sample file instead."
  exec python3 "$root/tests/e2e/demo.py" --win32-dir "$root/build/win32"
fi

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
status=0
if [ $# -gt 0 ]; then
  # Wine reads a path the Windows way; an absolute Linux path becomes Z:\...
  wine "$root/build/win32/Brelquin.exe" "$(winepath -w "$(realpath -s "$1")")" || status=$?
else
  wine "$root/build/win32/Brelquin.exe" || status=$?
fi
echo "Brelquin ended with exit code $status (255 is -1, 254 is -2)."
exit "$status"
