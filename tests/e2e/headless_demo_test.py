#!/usr/bin/env python3
"""Runs the README's first command, scripts/run.sh FILE, with no display, as a newcomer on a
server would, and checks the demonstration it falls back to.

  headless_demo_test.py --source REPO --win32-dir DIR   (registered with CTest)

The file given on the command line must come out untouched; the sample is destroyed with
every window shown, printed as it comes up and saved as a picture; nothing the run started
may be left running. Exit codes: 0 passed, 1 failed, 77 skipped (the reason is printed).
"""

import argparse
import os
import re
import signal
import subprocess
import sys
import tempfile
import threading
import time
import uuid
from pathlib import Path

RUN_SECONDS = 200
SKIP_CODE = 77
# Every process the run starts inherits this variable: the X server and wineserver too.
MARK_VARIABLE = "BRELQUIN_DEMO_TEST_RUN"
PICTURES = ["1-confirmation.png", "2-progress.png", "3-outcome.png", "4-desktop-copy.png"]
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
# Texts in the order the transcript must show them.
ROAD = [
    "Do you really want to nuke this file ?",
    "presses Yes",
    "The progress window",
    "Target successfully destroyed and removed.",
    "presses OK",
    "Do you want to copy Brelquin to your desktop ?",
    "presses No",
    "Brelquin ended with exit code 0 ",
]
# The wipe of the sample takes seconds: a question printed this long before the end shows
# the transcript is written as the run goes, not after it.
SHOWN_EARLY_SECONDS = 1.0


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def run_script(source, user_file, mark):
    """The transcript as (seconds since start, line) pairs, and the exit code."""
    env = {name: value for name, value in os.environ.items() if name != "DISPLAY"}
    env[MARK_VARIABLE] = mark
    started = time.monotonic()
    process = subprocess.Popen(
        [str(source / "scripts/run.sh"), str(user_file)], env=env, stdin=subprocess.DEVNULL,
        stdout=subprocess.PIPE, stderr=subprocess.STDOUT, start_new_session=True)
    lines = []

    def read():
        for raw in process.stdout:
            line = raw.decode(errors="replace").rstrip("\n")
            lines.append((time.monotonic() - started, line))
            print(f"{lines[-1][0]:6.1f} | {line}", flush=True)

    reader = threading.Thread(target=read, daemon=True)
    reader.start()
    try:
        code = process.wait(timeout=RUN_SECONDS)
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.wait()
        raise Failure(f"scripts/run.sh did not end within {RUN_SECONDS} s")
    finally:
        reader.join(timeout=10)
    return lines, code


def marked_processes(mark):
    needle = f"{MARK_VARIABLE}={mark}".encode() + b"\0"
    found = []
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            if needle in (entry / "environ").read_bytes():
                found.append(f"{entry.name} {(entry / 'comm').read_text().strip()}")
        except OSError:
            continue
    return found


def stop_marked(mark):
    for process in marked_processes(mark):
        try:
            os.kill(int(process.split()[0]), signal.SIGKILL)
        except ProcessLookupError:
            pass


def check_transcript(lines, code, user_file):
    text = "\n".join(line for _, line in lines)
    check(code == 0, f"scripts/run.sh ended with {code}")
    check(lines and lines[0][1].startswith("No display here")
          and f"your file {user_file} was not touched" in lines[0][1],
          "the first line does not say there is no display and the file was left alone")
    at = 0
    for expected in ROAD:
        found = text.find(expected, at)
        check(found >= 0, f"{expected!r} is missing from the transcript, or out of order")
        at = found + len(expected)
    check("the sample file is gone" in text, "the transcript does not say the sample is gone")
    asked = next(seconds for seconds, line in lines if "nuke this file ?" in line)
    ended = next(seconds for seconds, line in lines if "Brelquin ended with" in line)
    check(ended - asked >= SHOWN_EARLY_SECONDS,
          f"the confirmation was printed {ended - asked:.1f} s before the end, not as it came up")
    return text


def named(pattern, text, what):
    match = re.search(pattern, text)
    check(match is not None, f"the transcript does not name {what}")
    return match[1]


def check_picture(path, started):
    check(path.is_file(), f"{path} is missing")
    check(path.stat().st_mtime >= started, f"{path} is left from an earlier run")
    data = path.read_bytes()
    check(data.startswith(PNG_SIGNATURE) and data[12:16] == b"IHDR"
          and data.endswith(b"IEND\xaeB`\x82"), f"{path} is not a PNG")
    # Decoded whole: a window, not an empty stretch of the screen.
    width, height, colours = subprocess.run(
        ["identify", "-format", "%w %h %k", str(path)], capture_output=True, text=True,
        check=True, timeout=30).stdout.split()
    check(int(width) >= 200 and int(height) >= 80 and int(colours) >= 4,
          f"{path} shows no window: {width}x{height}, {colours} colours")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--source", type=Path, required=True)
    parser.add_argument("--win32-dir", type=Path, required=True)
    arguments = parser.parse_args()
    source = arguments.source.resolve()
    if arguments.win32_dir.resolve() != source / "build/win32":
        print(f"SKIPPED: scripts/run.sh builds and runs {source / 'build/win32'}, "
              f"not this run's {arguments.win32_dir}")
        return SKIP_CODE
    mark = uuid.uuid4().hex
    started = time.time()
    with tempfile.TemporaryDirectory(prefix="brelquin-demo-test.") as folder:
        user_file = Path(folder) / "my letter.txt"
        content = b"Only the person who runs the script may decide about this file.\n"
        user_file.write_bytes(content)
        try:
            lines, code = run_script(source, user_file, mark)
            text = check_transcript(lines, code, user_file)
            check(user_file.read_bytes() == content, "the user's file was changed")
            sample = Path(named(r"Sample file: (.*) \(\d+ bytes\)", text, "the sample file"))
            check(not sample.exists(), f"the sample {sample} is still there")
            root = Path(named(r"throwaway Wine prefix in (\S+) \.\.\.", text, "its folder"))
            check(not root.exists(), f"the demonstration's folder {root} is still there")
            pictures = Path(named(r"Pictures of each window, in (.*): ", text, "the pictures"))
            for name in PICTURES:
                check_picture(pictures / name, started)
            survivors = marked_processes(mark)
            check(not survivors, f"processes of the run are still there: {survivors}")
        except Failure as failure:
            print(f"FAILED: {failure}")
            return 1
        finally:
            stop_marked(mark)
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
