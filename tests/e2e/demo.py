#!/usr/bin/env python3
"""A demonstration for a machine with no display: Brelquin destroys a sample file of its own.

  demo.py --win32-dir DIR --screenshots FOLDER   (scripts/run.sh starts it with no display)

The program runs under Wine on a private Xvfb display, in a throwaway prefix under a new
temporary folder. The driver answers each question as a user would; this script prints
every window as it comes up, saves a picture of it into FOLDER, and at the end stops every
process it started and removes the temporary folder. Its exit code is the program's as
Linux sees it, or 1 when the demonstration itself could not be played to its end.
"""

import argparse
import signal
import subprocess
import sys
import tempfile
import time
from pathlib import Path

sys.dont_write_bytecode = True  # keeps the source tree free of __pycache__

from screenshots import capture  # noqa: E402
from session import Session, TestFailure  # noqa: E402
from wine_env import HarnessError, WineEnvironment, windows_path  # noqa: E402

SAMPLE_NAME = "sample diary.txt"
SAMPLE_LINE = b"Dear diary, nobody must ever read this.\n"
# Big enough that the ten passes take some seconds, so the progress window can be caught.
SAMPLE_BYTES = 8 * 1024 * 1024
# The first line of the progress window when the picture is taken: the bar has moved by then.
PROGRESS_LINE = "Nuking [pass 2 / 10]"
WIPE_SECONDS = 120
# However the run goes, the demonstration stops here and cleans up.
DEMO_SECONDS = 600
SHOTS = {
    "confirmation": "1-confirmation.png",
    "progress": "2-progress.png",
    "outcome": "3-outcome.png",
    "offer": "4-desktop-copy.png",
}
BUTTON_LABELS = {"IDYES": "Yes", "IDNO": "No", "IDOK": "OK"}
# Wine hands the program's exit codes -1 and -2 to Linux as their low bytes.
LINUX_EXIT_NOTE = "255 is -1, 254 is -2"


class Interrupted(Exception):
    """The demonstration ran out of time or was asked to stop."""


def _stop(signal_number, _frame):
    name = "out of time" if signal_number == signal.SIGALRM else signal.Signals(signal_number).name
    raise Interrupted(f"stopped ({name})")


class Demo:
    def __init__(self, session, folder):
        self.s = session
        self.folder = folder
        self.saved = []

    def shoot(self, window, key):
        path = capture(self.s, window, self.folder / SHOTS[key])
        self.saved.append(path.name)
        print(f"  (picture: {path.name})")

    def driver(self, steps):
        return self.s.start_driver(["timeout", str(WIPE_SECONDS), *steps])

    def box(self, key):
        """Waits for the next message box, prints it, and takes its picture."""
        driver = self.driver(["box"])
        box = driver.expect("box")
        driver.finish()
        labels = "  ".join(f"[{button['label'].replace('&', '')}]" for button in box["buttons"])
        print("\nBrelquin shows a message box:")
        print("  " + box["text"].replace("\n", "\n  "))
        print(f"  {labels}")
        self.shoot(box, key)

    def press(self, name, then=()):
        driver = self.driver(["press", name, *then])
        driver.expect("press")
        print(f"  -> the demonstration presses {BUTTON_LABELS[name]}, as a user would")
        return driver

    def press_yes_and_watch(self):
        driver = self.press("IDYES", ["progress", PROGRESS_LINE])
        try:
            progress = driver.expect("progress")
        except TestFailure:
            print("\nThe progress window came and went too fast for a picture.")
            return
        # Taken at once, while the driver is still ending: the wipe goes on meanwhile.
        print(f"\nThe progress window \"{progress['title']}\" shows:")
        for line in ("line1", "line2", "line3"):
            if progress[line]:
                print(f"  {progress[line]}")
        self.shoot(progress, "progress")
        driver.finish()


def play(env, win32_dir, folder):
    with Session(env, win32_dir, "demo") as s:
        content = SAMPLE_LINE * (SAMPLE_BYTES // len(SAMPLE_LINE))
        target = s.file(SAMPLE_NAME, content)
        path = windows_path(target)
        print(f"Sample file: {target} ({len(content)} bytes), which Brelquin sees as {path}")
        print(f"Starting: wine Brelquin.exe \"{path}\"")
        program = s.start([path])
        demo = Demo(s, folder)
        demo.box("confirmation")
        demo.press_yes_and_watch()
        demo.box("outcome")
        demo.press("IDOK").finish()
        demo.box("offer")
        driver = demo.press("IDNO", ["exit"])
        code = driver.expect("exit")["code"]
        driver.finish()
        linux_code = program.wait()
        print(f"\nBrelquin ended with exit code {code} (Linux saw {linux_code}; "
              f"{LINUX_EXIT_NOTE}); the sample file {_state(target)}.")
        print(f"Pictures of each window, in {folder}: {', '.join(demo.saved)}")
        return linux_code


def _state(target):
    return "is still there" if target.exists() else "is gone"


def _clear_old_pictures(folder):
    folder.mkdir(parents=True, exist_ok=True)
    for name in SHOTS.values():
        (folder / name).unlink(missing_ok=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--win32-dir", type=Path, required=True)
    parser.add_argument("--screenshots", type=Path, required=True)
    arguments = parser.parse_args()
    # Each line as it is printed, also into a pipe: the transcript follows the run.
    sys.stdout.reconfigure(line_buffering=True)
    folder = arguments.screenshots.resolve()
    for stop_signal in (signal.SIGALRM, signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
        signal.signal(stop_signal, _stop)
    signal.alarm(DEMO_SECONDS)
    _clear_old_pictures(folder)
    env = WineEnvironment(tempfile.mkdtemp(prefix="brelquin-demo."))
    started = time.monotonic()
    try:
        print(f"Starting a private X display and a throwaway Wine prefix in {env.root} ...")
        env.create()
        print(f"Display :{env.display} is ready after {time.monotonic() - started:.0f} s.")
        return play(env, arguments.win32_dir.resolve(), folder)
    except (HarnessError, TestFailure, Interrupted, subprocess.SubprocessError,
            OSError) as failure:
        print(f"\nThe demonstration failed: {failure}")
        return 1
    finally:
        # Cleanup runs to its end: a second Ctrl+C or a TERM would leave the X server behind.
        signal.alarm(0)
        for stop_signal in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            signal.signal(stop_signal, signal.SIG_IGN)
        survivors = env.destroy()
        print(f"Stopped the private display and Wine, removed {env.root}"
              + (f"; still running: {survivors}" if survivors else "."))


if __name__ == "__main__":
    sys.exit(main())
