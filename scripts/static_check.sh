#!/usr/bin/env bash
# Checks the formatting of every C++ source, or runs clang-tidy over one build's sources.
# Run: scripts/static_check.sh format | native BUILD_DIR | win32 BUILD_DIR
#      (a build folder configured with CMAKE_EXPORT_COMPILE_COMMANDS, as the project does)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

# The project's own C++ sources in a build's compilation database.
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
cross_arguments() {
  echo --extra-arg=--target=i686-w64-mingw32
  echo --extra-arg=-nostdinc
  echo | i686-w64-mingw32-g++ -xc++ -E -v - 2>&1 |
    sed -n '/#include <...>/,/End of search/p' | sed -n 's/^ \(\/.*\)/--extra-arg-before=-isystem\1/p'
}

# One clang-tidy per source, as many at once as there are cores; only findings are shown.
tidy() {
  local database="$1"
  shift
  own_sources "$database" |
    xargs -P "$(nproc)" -n 1 clang-tidy --quiet -p "$database" "$@" 2>&1 |
    { grep -v '^[0-9]* warnings generated\.$' || true; }
  return "${PIPESTATUS[1]}"
}

case "${1:-}" in
  format)
    mapfile -t sources < <(git ls-files '*.cpp' '*.h')
    clang-format --dry-run --Werror "${sources[@]}"
    ;;
  native)
    tidy "$2"
    ;;
  win32)
    mapfile -t arguments < <(cross_arguments)
    tidy "$2" "${arguments[@]}"
    ;;
  *)
    echo "usage: $0 format | native BUILD_DIR | win32 BUILD_DIR" >&2
    exit 2
    ;;
esac
