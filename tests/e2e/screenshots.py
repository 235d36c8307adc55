"""Screenshots of Brelquin's windows under Wine, for the README (scripts/screenshots.sh).

Each window is brought up the way a user brings it up, the whole screen is captured with
xwd, and ImageMagick cuts the window out by the rectangle the driver reports.
"""

import subprocess
import time
from pathlib import Path

from session import Session, TestFailure, check

# The progress window must stay up long enough to be captured mid-wipe.
BIG_FILE_BYTES = 24 * 1024 * 1024
PAINT_SECONDS = 0.5
CAPTURE_SECONDS = 30
SAMPLE_FILES = {"Draft letter.txt": 2_000, "Old budget.xls": 30_000, "Holiday photos.zip": 90_000}


def take_all(env, win32_dir, folder):
    folder.mkdir(parents=True, exist_ok=True)
    documents = env.prefix / "drive_c/users/Public/Documents"
    for name, size in SAMPLE_FILES.items():
        (documents / name).write_bytes(b"\0" * size)
    with Session(env, win32_dir, "screenshots") as s:
        saved = _wipe_road(s, documents, folder)
        saved.append(_open_dialog(s, documents, folder))
    return saved


def _wipe_road(s, documents, folder):
    target = documents / "Old budget.xls"
    target.write_bytes(b"\0" * BIG_FILE_BYTES)
    program = s.start([r"C:\users\Public\Documents\Old budget.xls"], cwd=documents)
    saved = [capture(s, _step(s, ["box"], "box"), folder / "confirmation.png")]
    progress = _step(s, ["press", "IDYES", "progress", "Nuking [pass 1 / 10]"], "progress")
    saved.append(capture(s, progress, folder / "progress.png"))
    saved.append(capture(s, _step(s, ["timeout", "120", "box"], "box"),
                         folder / "outcome.png"))
    s.drive(["press", "IDOK", "box", "press", "IDNO", "exit"])
    check(program.wait() == 0, "the wipe for the screenshots did not end with 0")
    return saved


def _open_dialog(s, documents, folder):
    program = s.start([], cwd=documents)
    shot = capture(s, _step(s, ["open-dialog"], "open-dialog"), folder / "open-dialog.png")
    s.drive(["open-cancel", "exit"])
    program.wait()
    return shot


def _step(s, steps, reported):
    """Plays steps and returns what the last one reported about its window."""
    seen = [data for name, data in s.drive(steps) if name == reported]
    if not seen:
        raise TestFailure(f"no {reported} among {steps}")
    return seen[-1]


def capture(s, window, path):
    """Saves the window, by the rectangle the driver reported, as a PNG at path."""
    time.sleep(PAINT_SECONDS)
    left, top, right, bottom = window["rect"]
    screen = subprocess.run(["xwd", "-root", "-silent", "-display", f":{s.env.display}"],
                            capture_output=True, check=True,
                            timeout=CAPTURE_SECONDS).stdout
    subprocess.run(["convert", "xwd:-", "-crop", f"{right - left}x{bottom - top}+{left}+{top}",
                    "+repage", "-strip", f"png:{path}"], input=screen, check=True,
                   timeout=CAPTURE_SECONDS)
    return Path(path)

