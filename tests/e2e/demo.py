#!/usr/bin/env python3
"""A demonstration for a machine with no display: Brelquin destroys a sample file of its own.

  demo.py --win32-dir DIR    (scripts/run.sh starts it when there is no display)

The program runs under Wine on a private Xvfb display, in a throwaway prefix; the driver
answers its questions and this script prints what it was shown, then removes everything.
"""

import argparse
import sys
import tempfile
from pathlib import Path

sys.dont_write_bytecode = True  # keeps the source tree free of __pycache__

from session import Session, TestFailure, boxes, exit_code  # noqa: E402
from wine_env import HarnessError, WineEnvironment, windows_path  # noqa: E402

SAMPLE = b"Dear diary, nobody must ever read this.\n" * 1000
ANSWERS = {"IDYES": "Yes", "IDNO": "No", "IDOK": "OK"}


def play(env, win32_dir):
    with Session(env, win32_dir, "demo") as s:
        target = s.file("sample diary.txt", SAMPLE)
        path = windows_path(target)
        print(f"Sample file: {target} ({len(SAMPLE)} bytes), {path} for Brelquin")
        steps = ["box", "press", "IDYES", "box", "press", "IDOK", "box", "press", "IDNO", "exit"]
        seen, code = s.run([path], steps)
        answers = [ANSWERS[name] for name in steps[2::3]]
        for box, given in zip(boxes(seen), answers):
            print("\nBrelquin asks or says:\n  " + box["text"].replace("\n", "\n  "))
            print(f"  -> the driver presses {given}")
        print(f"\nBrelquin ended with exit code {exit_code(seen)} (Linux saw {code}); "
              f"the sample file {'is still there' if target.exists() else 'is gone'}.")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--win32-dir", type=Path, required=True)
    arguments = parser.parse_args()
    env = WineEnvironment(tempfile.mkdtemp(prefix="brelquin-demo."))
    try:
        print("Starting a private X display and a throwaway Wine prefix ...")
        env.create()
        play(env, arguments.win32_dir)
        return 0
    except (HarnessError, TestFailure) as failure:
        print(f"The demonstration failed: {failure}")
        return 1
    finally:
        env.destroy()


if __name__ == "__main__":
    sys.exit(main())
