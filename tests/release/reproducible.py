#!/usr/bin/env python3
# Builds Brelquin.exe twice, at different times and places; fails unless both and the shipped one are identical.
# Run: python3 tests/release/reproducible.py --source . --shipped build/win32/Brelquin.exe
"""A published build must be one anybody can make again from the same sources.

The first build uses the source tree itself; the second a copy of it under a
longer path, two seconds later, into a build folder of another name. So a time
stamp, a source path or a build path that reaches the executable shows up as a
difference, and the report names the header field or section it landed in.
Nothing is written into the source tree.
"""

import argparse
import hashlib
import shutil
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

# What the cross build of the program reads. The test programs that the cross
# configuration also builds are left out: they do not go into Brelquin.exe.
kProgramSources = ["CMakeLists.txt", "cmake", "src", "res"]
kToolchain = "cmake/mingw-i686.cmake"
# Long enough for the PE time stamp, which counts seconds, to move on.
kPauseSeconds = 2
kParallelJobs = "2"
kShownDifferences = 8

# Header fields that carry a build's time or depend on everything else, by their
# offset from the PE signature.
kHeaderFields = [(8, 4, "COFF header TimeDateStamp"), (24 + 64, 4, "optional header CheckSum")]


def Sha256(path):
    return hashlib.sha256(path.read_bytes()).hexdigest()


def Sections(data):
    """[(name, raw offset, raw size)] of a PE file, or [] when the headers can't be read."""
    try:
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        count = struct.unpack_from("<H", data, pe + 6)[0]
        optional_size = struct.unpack_from("<H", data, pe + 20)[0]
        table = pe + 24 + optional_size
        sections = []
        for i in range(count):
            header = table + 40 * i
            name = data[header:header + 8].rstrip(b"\0").decode("ascii", "replace")
            raw_size, raw_offset = struct.unpack_from("<II", data, header + 16)
            sections.append((name, raw_offset, raw_size))
        return sections
    except struct.error:
        return []


def Place(data, offset):
    """Where in the executable a byte offset lies, in words a reader of the PE format knows."""
    try:
        pe = struct.unpack_from("<I", data, 0x3C)[0]
    except struct.error:
        return "file header"
    for start, size, name in kHeaderFields:
        if pe + start <= offset < pe + start + size:
            return name
    sections = Sections(data)
    for name, raw_offset, raw_size in sections:
        if raw_offset <= offset < raw_offset + raw_size:
            return f"section {name} (+{offset - raw_offset:#x})"
    if all(offset < raw_offset for _, raw_offset, _ in sections):
        return "headers"
    return "outside every section"


def Differences(first, second):
    """A few lines saying how two builds of the same sources differ."""
    a, b = first.read_bytes(), second.read_bytes()
    lines = []
    if len(a) != len(b):
        lines.append(f"sizes differ: {len(a)} and {len(b)} bytes")
    offsets = [i for i in range(min(len(a), len(b))) if a[i] != b[i]]
    lines.append(f"{len(offsets)} differing bytes in the common length")
    places = {}
    for offset in offsets:
        places.setdefault(Place(a, offset), []).append(offset)
    for place, where in list(places.items())[:kShownDifferences]:
        sample = ", ".join(f"{offset:#x}" for offset in where[:4])
        lines.append(f"  {place}: {len(where)} bytes, at {sample}{' ...' if len(where) > 4 else ''}")
    return lines


def Build(cmake, ninja, source, build, cache_entries):
    configure = [cmake, "-S", str(source), "-B", str(build), "-G", "Ninja", f"-DCMAKE_MAKE_PROGRAM={ninja}",
                 f"-DCMAKE_TOOLCHAIN_FILE={source / kToolchain}"] + [f"-D{entry}" for entry in cache_entries]
    for command in (configure, [ninja, "-C", str(build), "-j", kParallelJobs, "Brelquin"]):
        result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
        if result.returncode != 0:
            raise RuntimeError(f"{' '.join(command)} failed:\n{result.stdout}")
    return build / "Brelquin.exe"


def ShippedSettings(shipped):
    """The project's own settings the shipped build was configured with, so the fresh builds use them too."""
    cache = shipped.parent / "CMakeCache.txt"
    if not cache.is_file():
        return []
    entries = []
    for line in cache.read_text().splitlines():
        name = line.split(":", 1)[0]
        if (name.startswith("BRELQUIN_") or name == "CMAKE_BUILD_TYPE") and "=" in line:
            entries.append(line)
    return entries


def Main():
    parser = argparse.ArgumentParser(description="Checks that the cross build is reproducible.")
    parser.add_argument("--source", type=Path, required=True, help="the source tree")
    parser.add_argument("--shipped", type=Path, required=True, help="Brelquin.exe of the normal cross build")
    parser.add_argument("--cmake", default="cmake")
    parser.add_argument("--ninja", default="ninja")
    args = parser.parse_args()
    source = args.source.resolve()
    if not args.shipped.is_file():
        print(f"FAIL: {args.shipped} does not exist; build the cross configuration first", file=sys.stderr)
        return 1
    settings = ShippedSettings(args.shipped)

    with tempfile.TemporaryDirectory(prefix="brelquin-reproducible-") as scratch:
        scratch = Path(scratch)
        copy = scratch / "a" / "source" / "copy" / "in" / "a" / "longer" / "path"
        try:
            first = Build(args.cmake, args.ninja, source, scratch / "first", settings)
            time.sleep(kPauseSeconds)
            for name in kProgramSources:
                if (source / name).is_dir():
                    shutil.copytree(source / name, copy / name, ignore=shutil.ignore_patterns("__pycache__"))
                else:
                    copy.mkdir(parents=True, exist_ok=True)
                    shutil.copy2(source / name, copy / name)
            second = Build(args.cmake, args.ninja, copy, scratch / "second-build-elsewhere", settings)
        except RuntimeError as error:
            print(f"FAIL: {error}", file=sys.stderr)
            return 1

        failed = False
        builds = [("the second build (copied sources, later, other folder)", second),
                  (f"the shipped {args.shipped}", args.shipped)]
        print(f"first build    {Sha256(first)}  {first.name}")
        for label, exe in builds:
            if Sha256(exe) == Sha256(first):
                print(f"ok   {label} is identical: {Sha256(exe)}")
                continue
            failed = True
            print(f"FAIL {label} differs from the first build ({Sha256(exe)}):", file=sys.stderr)
            for line in Differences(first, exe):
                print(f"  {line}", file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(Main())
