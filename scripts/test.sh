#!/usr/bin/env bash
# Builds everything and runs every test layer (unit, PE checks, Wine end to end) through CTest.
# Run: scripts/test.sh   (works as root with no display; CTest's summary closes the output)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

scripts/build.sh
ctest --test-dir build/native --output-on-failure --timeout 600
