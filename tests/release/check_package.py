#!/usr/bin/env python3
# Runs scripts/package.sh into scratch folders and checks the zip, its checksum file and the size guard.
# Run: python3 tests/release/check_package.py --source . --win32-dir build/win32 --version 1.0.0
"""What a user downloads must be exactly what was built and tested.

The package is made twice into the same folder, two seconds apart: the second
run must replace the first and give the same bytes, although the files it packs
were copied afresh. Then a run with a tiny size allowance must fail and leave no
zip behind. The output folder's name has a space, as Windows users' folders do.
"""

import argparse
import datetime
import hashlib
import os
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

kMembers = ["Brelquin.exe", "README.txt", "LICENSE.txt"]
kStamp = datetime.datetime.fromtimestamp(1767225600, datetime.timezone.utc).timetuple()[:6]
kMode = 0o100644
kPauseSeconds = 2
kTinyAllowance = "4096"


def RunPackage(source, win32_dir, out_dir, **environment):
    env = dict(os.environ, BRELQUIN_WIN32_DIR=str(win32_dir), **environment)
    env.pop("SOURCE_DATE_EPOCH", None)
    return subprocess.run([str(source / "scripts" / "package.sh"), str(out_dir)], env=env,
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def WindowsText(path):
    return path.read_bytes().replace(b"\n", b"\r\n")


def ZipProblems(zip_path, expected):
    with zipfile.ZipFile(zip_path) as archive:
        names = archive.namelist()
        if names != kMembers:
            return [f"the zip holds {names}, expected {kMembers} in that order"]
        problems = []
        damaged = archive.testzip()
        if damaged:
            problems.append(f"{damaged} fails its CRC check")
        for info in archive.infolist():
            if archive.read(info) != expected[info.filename]:
                problems.append(f"{info.filename} in the zip is not the file it should be")
            if info.date_time != kStamp:
                problems.append(f"{info.filename} is dated {info.date_time}, expected the fixed {kStamp}")
            if info.external_attr >> 16 != kMode:
                problems.append(f"{info.filename} has mode {info.external_attr >> 16:o}, expected {kMode:o}")
    return problems


def ChecksumProblems(out_dir, zip_name):
    sums = out_dir / f"{zip_name}.sha256"
    if not sums.is_file():
        return [f"{sums.name} is missing"]
    digest = hashlib.sha256((out_dir / zip_name).read_bytes()).hexdigest()
    if sums.read_text() != f"{digest}  {zip_name}\n":
        return [f"{sums.name} reads {sums.read_text()!r}, expected the line '{digest}  {zip_name}'"]
    check = subprocess.run(["sha256sum", "-c", sums.name], cwd=out_dir, stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, text=True)
    if check.returncode != 0:
        return [f"sha256sum -c {sums.name} fails: {check.stdout.strip()}"]
    return []


def PackageProblems(source, win32_dir, version, scratch):
    out_dir = scratch / "package folder"
    zip_name = f"Brelquin-{version}-win32.zip"
    expected = {
        "Brelquin.exe": (win32_dir / "Brelquin.exe").read_bytes(),
        "README.txt": WindowsText(source / "docs" / "user-guide.md"),
        "LICENSE.txt": WindowsText(source / "LICENSE"),
    }

    run = RunPackage(source, win32_dir, out_dir)
    if run.returncode != 0:
        return [f"package.sh failed:\n{run.stdout}{run.stderr}"]
    problems = []
    for needed in (".text", ".rsrc", "Code and data:"):
        if needed not in run.stdout:
            problems.append(f"package.sh's report lacks {needed!r}:\n{run.stdout}")
    found = sorted(path.name for path in out_dir.iterdir())
    if found != sorted([zip_name, f"{zip_name}.sha256"]):
        return problems + [f"the output folder holds {found}, expected {zip_name} and its .sha256"]
    problems += ZipProblems(out_dir / zip_name, expected)
    problems += ChecksumProblems(out_dir, zip_name)
    first = (out_dir / zip_name).read_bytes()

    time.sleep(kPauseSeconds)
    run = RunPackage(source, win32_dir, out_dir)
    if run.returncode != 0:
        return problems + [f"package.sh failed when run again:\n{run.stdout}{run.stderr}"]
    if (out_dir / zip_name).read_bytes() != first:
        problems.append("a second run of package.sh, two seconds later, made a different zip")
    problems += ChecksumProblems(out_dir, zip_name)

    guarded = scratch / "too big"
    run = RunPackage(source, win32_dir, guarded, BRELQUIN_MAX_CODE_BYTES=kTinyAllowance)
    if run.returncode == 0 or "code and data" not in run.stderr:
        problems.append(f"with {kTinyAllowance} bytes allowed for code and data, package.sh did not refuse "
                        f"(exit {run.returncode}):\n{run.stderr}")
    if (guarded / zip_name).exists():
        problems.append("package.sh left a zip behind although the executable was too big")
    return problems


def Main():
    parser = argparse.ArgumentParser(description="Checks the package step.")
    parser.add_argument("--source", type=Path, required=True, help="the source tree")
    parser.add_argument("--win32-dir", type=Path, required=True, help="the cross build folder")
    parser.add_argument("--version", required=True, help="the project version, which names the zip")
    args = parser.parse_args()
    if not (args.win32_dir / "Brelquin.exe").is_file():
        print(f"FAIL: {args.win32_dir}/Brelquin.exe does not exist; build the cross configuration first",
              file=sys.stderr)
        return 1
    with tempfile.TemporaryDirectory(prefix="brelquin-package-") as scratch:
        problems = PackageProblems(args.source.resolve(), args.win32_dir.resolve(), args.version, Path(scratch))
    for problem in problems:
        print(f"FAIL {problem}", file=sys.stderr)
    if not problems:
        print("ok   package: zip contents, fixed dates and modes, checksum, same bytes on a rerun, size guard")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(Main())
