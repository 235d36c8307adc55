#!/usr/bin/env bash
# Checks the formatting of every C++ source and runs clang-tidy over both builds' sources.
# Run: scripts/static_check.sh NATIVE_BUILD_DIR WIN32_BUILD_DIR (both with compile_commands.json)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
native_dir="$1"
win32_dir="$2"
cd "$root"

# The project's own sources in a build's compilation database, generated files aside.
own_sources() {
  python3 - "$1" "$root" <<'PY'
import json, os, sys
database, root = sys.argv[1], sys.argv[2]
for entry in json.load(open(os.path.join(database, "compile_commands.json"))):
    path = os.path.normpath(os.path.join(entry["directory"], entry["file"]))
    if path.startswith(root + "/") and path.endswith(".cpp") and "/build/" not in path[len(root):]:
        print(path)
PY
}

# clang reads the cross build's command lines as the mingw-w64 compiler would.
cross_args=(--extra-arg=--target=i686-w64-mingw32 --extra-arg=-nostdinc)
while read -r dir; do
  cross_args+=(--extra-arg-before=-isystem"$dir")
done < <(echo | i686-w64-mingw32-g++ -xc++ -E -v - 2>&1 |
  sed -n '/#include <...>/,/End of search/p' | sed -n 's/^ \(\/.*\)/\1/p')

status=0
mapfile -t formatted < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${formatted[@]}" || status=1
mapfile -t native_sources < <(own_sources "$native_dir")
clang-tidy --quiet -p "$native_dir" "${native_sources[@]}" || status=1
mapfile -t win32_sources < <(own_sources "$win32_dir")
clang-tidy --quiet -p "$win32_dir" "${cross_args[@]}" "${win32_sources[@]}" || status=1
exit "$status"
