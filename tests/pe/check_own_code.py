#!/usr/bin/env python3
"""Checks the program's own compiled code (not the runtime it is linked with): it calls only
the wide variants of Windows' text functions, allocates no memory, and carries no exception
handling or run-time type information.

Run: python3 tests/pe/check_own_code.py --nm i686-w64-mingw32-nm OBJECT_OR_ARCHIVE...
"""
import argparse
import re
import subprocess
import sys

# Heap routines of the C runtime, C++ and Windows, as mingw's i386 symbols spell them.
HEAP = re.compile(r"^_(malloc|calloc|realloc|free|strdup|wcsdup)$"
                  r"|^__Zn[wa]|^__Zd[la]"
                  r"|^__imp__(HeapAlloc|HeapReAlloc|LocalAlloc|GlobalAlloc|VirtualAlloc|"
                  r"CoTaskMemAlloc|SysAllocString)@")
# An import whose name ends in A is the ANSI twin of a wide call.
ANSI_IMPORT = re.compile(r"^__imp__\w+A@\d+$")
EXCEPTIONS = re.compile(r"__cxa_(throw|begin_catch|allocate_exception)|__gxx_personality")
TYPE_INFO = re.compile(r"^__ZT[IS]")


def Symbols(nm, files, undefined):
    command = [nm, "-u"] if undefined else [nm, "--defined-only"]
    output = subprocess.run(command + files, check=True, capture_output=True, text=True).stdout
    return {line.split()[-1] for line in output.splitlines() if line and not line.endswith(":")}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--nm", required=True)
    parser.add_argument("files", nargs="+")
    arguments = parser.parse_args()
    used = Symbols(arguments.nm, arguments.files, undefined=True)
    defined = Symbols(arguments.nm, arguments.files, undefined=False)
    problems = []
    problems += [f"allocates memory: {name}" for name in sorted(used) if HEAP.search(name)]
    problems += [f"calls an ANSI function: {name}" for name in sorted(used)
                 if ANSI_IMPORT.match(name)]
    problems += [f"handles exceptions: {name}" for name in sorted(used | defined)
                 if EXCEPTIONS.search(name)]
    problems += [f"carries type information: {name}" for name in sorted(defined)
                 if TYPE_INFO.match(name)]
    if not any(name.startswith("__imp__CreateFileW@") for name in used):
        problems.append("no call of CreateFileW found: are these the program's objects?")
    for problem in problems:
        print(problem)
    if problems:
        return 1
    print(f"{len(used)} outside symbols used, none of them heap, ANSI, exception or RTTI")
    return 0


if __name__ == "__main__":
    sys.exit(main())
