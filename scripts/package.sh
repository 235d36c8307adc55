#!/usr/bin/env bash
# Builds Brelquin.exe if needed, reports its section sizes and packs it with the user guide and the licence.
# Run: scripts/package.sh [output folder]   (default build/package; BRELQUIN_WIN32_DIR names the cross build folder)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

win32_dir="${BRELQUIN_WIN32_DIR:-$root/build/win32}"
out_dir="${1:-$root/build/package}"
# Code and data, resources aside. The icons are most of the file and are not counted.
max_code_bytes="${BRELQUIN_MAX_CODE_BYTES:-65536}"
# Every file in the zip carries this time, so the zip depends on the sources alone
# (2026-01-01 00:00:00 UTC unless SOURCE_DATE_EPOCH says otherwise).
stamp="${SOURCE_DATE_EPOCH:-1767225600}"
objdump=i686-w64-mingw32-objdump

if [ ! -f "$win32_dir/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$win32_dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
fi
cmake --build "$win32_dir" --target Brelquin
exe="$win32_dir/Brelquin.exe"
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$win32_dir/CMakeCache.txt")"
if [ -z "$version" ]; then
  echo "package: no project version in $win32_dir/CMakeCache.txt" >&2
  exit 1
fi
zip_name="Brelquin-$version-win32.zip"

mkdir -p "$out_dir"
out_dir="$(cd "$out_dir" && pwd)"
# A package left from an earlier run must not pass for this one if this one fails.
rm -f "$out_dir/$zip_name" "$out_dir/$zip_name.sha256"

# Sizes as the sections hold them in memory, .bss included.
echo "Sections of $exe:"
code_bytes=0
while read -r name size; do
  bytes=$((16#$size))
  if [ "$name" = .rsrc ]; then
    printf '  %-10s %8d bytes (resources, not counted)\n' "$name" "$bytes"
    continue
  fi
  printf '  %-10s %8d bytes\n' "$name" "$bytes"
  code_bytes=$((code_bytes + bytes))
done < <("$objdump" -h "$exe" | awk '$1 ~ /^[0-9]+$/ { print $2, $3 }')
printf 'Code and data: %d bytes of the %d allowed; the whole file: %d bytes.\n' \
  "$code_bytes" "$max_code_bytes" "$(stat -c %s "$exe")"
if [ "$code_bytes" -ge "$max_code_bytes" ]; then
  echo "package: code and data take $code_bytes bytes, more than the $max_code_bytes allowed" >&2
  exit 1
fi

stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
cp "$exe" "$stage/Brelquin.exe"
# Text files with Windows line ends and a .txt name, so a double click opens them in Notepad.
sed 's/$/\r/' "$root/docs/user-guide.md" >"$stage/README.txt"
sed 's/$/\r/' "$root/LICENSE" >"$stage/LICENSE.txt"
members=(Brelquin.exe README.txt LICENSE.txt)
chmod 644 "${members[@]/#/$stage/}"
touch -d "@$stamp" "${members[@]/#/$stage/}"

# zip keeps the order given; -X leaves out owner ids and extra time fields, and UTC
# keeps the local-time stamps zip writes the same on every machine.
(cd "$stage" && TZ=UTC zip -q -X -D "$stage/$zip_name" "${members[@]}")
mv "$stage/$zip_name" "$out_dir/$zip_name"
(cd "$out_dir" && sha256sum "$zip_name" >"$zip_name.sha256")
echo "Package: $out_dir/$zip_name"
cat "$out_dir/$zip_name.sha256"
