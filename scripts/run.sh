#!/usr/bin/env bash
# Builds Brelquin.exe and starts it under Wine on your display, on FILE (or with no file:
# the Open dialog). Run: scripts/run.sh [FILE]. With no display, it runs a demonstration.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

"$root/scripts/setup.sh"
# Configured once; after that the build itself notices changed build files. Configuring
# again would only warn that the toolchain file is ignored.
if [ ! -f "$root/build/win32/build.ninja" ]; then
  cmake -S "$root" -B "$root/build/win32" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
fi
cmake --build "$root/build/win32" >/dev/null

# True when an X server answers at $DISPLAY. Any reply to a connection setup counts, even a
# refusal for want of the cookie: Wine brings the cookie, the probe does not.
x_server_answers() {
  [ -n "${DISPLAY:-}" ] || return 1
  timeout 10 python3 - "$DISPLAY" <<'PY'
import re, socket, struct, sys
display = sys.argv[1]
match = re.fullmatch(r"(?:[a-z]+/)?([^:]*):(\d+)(?:\.\d+)?", display)
if display.startswith("/"):
    addresses = [(socket.AF_UNIX, display)]  # a socket's own path, as XQuartz sets it
elif not match:
    sys.exit(1)
elif match[1] in ("", "unix"):
    path = f"/tmp/.X11-unix/X{match[2]}"
    addresses = [(socket.AF_UNIX, path), (socket.AF_UNIX, "\0" + path)]
else:
    try:
        found = socket.getaddrinfo(match[1], 6000 + int(match[2]), type=socket.SOCK_STREAM)
    except OSError:
        sys.exit(1)
    addresses = [(family, address) for family, _, _, _, address in found]
# Little-endian client, protocol 11.0, no authorization.
setup = struct.pack("<cxHHHHxx", b"l", 11, 0, 0, 0)
for family, address in addresses:
    try:
        with socket.socket(family, socket.SOCK_STREAM) as connection:
            connection.settimeout(4)
            connection.connect(address)
            connection.sendall(setup)
            if connection.recv(1) in (b"\0", b"\1", b"\2"):
                sys.exit(0)
    except OSError:
        pass
sys.exit(1)
PY
}

if ! x_server_answers; then
  if [ -z "${DISPLAY:-}" ]; then
    where="No display here (DISPLAY is not set)"
  else
    where="No X server answers at DISPLAY=$DISPLAY"
  fi
  if [ $# -gt 0 ]; then
    instead="your file $1 was not touched; running a demonstration on a sample file instead."
  else
    instead="running a demonstration on a sample file of its own instead."
  fi
  echo "$where, so nobody could answer Brelquin's questions: $instead"
  exec python3 "$root/tests/e2e/demo.py" --win32-dir "$root/build/win32" \
    --screenshots "$root/build/demo"
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
