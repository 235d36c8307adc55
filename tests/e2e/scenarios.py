"""Roads through the shipped Brelquin.exe under Wine, each played the way a user plays it.

Each scenario gets a Session (see session.py) per case: a fresh work folder, an empty
desktop, and the program and the driver as Wine processes. Expected bytes come from
word_stream.py, never from the program's own code.
"""

import contextlib
import os
import re
import shutil
import subprocess
from pathlib import Path

import word_stream
from session import Skipped, TestFailure, boxes, check, check_equal, exit_code
from wine_env import windows_path

IDOK, IDYES, IDNO, IDHELP = 1, 6, 7, 9
OK_BUTTONS = [IDOK, IDHELP]
YES_NO_BUTTONS = [IDYES, IDNO, IDHELP]
ERROR_SHARING_VIOLATION = 32
# Wine hands the program's exit codes -1 and -2 to Linux as their low bytes.
LINUX_EXIT = {0: 0, -1: 255, -2: 254}

CANT_OPEN = "Can't open this file."
DESTROYED = "Target successfully destroyed and removed."
UNLINK_FAILED = "Could not unlink file system entry.\nFile contents successfully destroyed."
CANCELLED = "Mission aborted"
IO_ERROR = "IO ERROR"
OFFER = "Do you want to copy Brelquin to your desktop ?"
DESKTOP_COPY_NAME = "Brelquin.exe"
OPEN_DIALOG_TITLE = "Select a file to nuke ..."


def confirmation(path):
    return ("Do you really want to nuke this file ?\n\n\"" + path + "\" ?\n\n"
            "A nuked file will be removed permanently and can't be restored using file "
            "recovery tools.")


# What the user does on each road -----------------------------------------------------------

def answer(*buttons):
    steps = []
    for button in buttons:
        steps += ["box", "press", button]
    return steps


COMPLETED_ROAD = answer("IDYES", "IDOK", "IDNO") + ["exit"]


def check_boxes(seen, expected):
    """expected: (text, buttons) per box, in the order they came."""
    shown = boxes(seen)
    check_equal([box["text"] for box in shown], [text for text, _ in expected],
                "the message boxes' texts, in order")
    for box, (text, buttons) in zip(shown, expected):
        check_equal(sorted(button["id"] for button in box["buttons"]), sorted(buttons),
                    f"the buttons of the box {text!r}")
        check(box["icon"], f"the box {text!r} shows no icon")
    return shown


def check_exit(seen, code, expected):
    check_equal(exit_code(seen), expected, "the exit code the program returned")
    check_equal(code, LINUX_EXIT[expected], "the exit code Linux saw")


def run_cases(cases, run_case):
    """Runs every case, so that one failure does not hide the others."""
    failures = []
    for case in cases:
        try:
            run_case(case)
            print(f"case {case}: passed")
        except TestFailure as failure:
            print(f"case {case}: FAILED\n{failure}")
            failures.append(str(case))
    check(not failures, "failed cases: " + ", ".join(failures))


def need_root(why):
    if os.geteuid() != 0:
        raise Skipped(f"needs root: {why}")


# Scenarios ------------------------------------------------------------------------------

SCENARIOS = {}


def scenario(function):
    SCENARIOS[function.__name__] = function
    return function


@scenario
def completed_wipe(open_session):
    with open_session() as s:
        target = s.file("ten bytes.txt", b"0123456789")
        path = windows_path(target)
        seen, code = s.run([path], COMPLETED_ROAD)
        check_boxes(seen, [(confirmation(path), YES_NO_BUTTONS), (DESTROYED, OK_BUTTONS),
                           (OFFER, YES_NO_BUTTONS)])
        check_exit(seen, code, 0)
        check(not target.exists(), "the file is still there")


@scenario
def no_at_confirmation(open_session):
    with open_session() as s:
        content = os.urandom(20000)
        target = s.file("keep me.bin", content)
        path = windows_path(target)
        seen, code = s.run([path], ["box", "probe", path, "press", "IDNO", "exit"])
        check_boxes(seen, [(confirmation(path), YES_NO_BUTTONS)])
        probe = next(data for name, data in seen if name == "probe")
        check(not probe["opened"] and probe["error"] == ERROR_SHARING_VIOLATION,
              f"while the question is up the file must be locked against others: {probe}")
        check_exit(seen, code, 0)
        check_equal(target.read_bytes(), content, "the file's bytes after No")


def _cannot_open(open_session, arrange):
    """arrange(session, target) makes the target unopenable, and checks it afterwards."""
    with open_session() as s:
        target = s.work / "the target.bin"
        with arrange(s, target):
            seen, code = s.run([windows_path(target)], answer("IDOK") + ["exit"])
        check_boxes(seen, [(CANT_OPEN, OK_BUTTONS)])
        check_exit(seen, code, -1)


@contextlib.contextmanager
def _missing(_, target):
    yield
    check(not target.exists(), "a missing file came into being")


@contextlib.contextmanager
def _directory(_, target):
    target.mkdir()
    yield
    check(target.is_dir(), "the directory is gone")


@contextlib.contextmanager
def _unchanged_file(s, target):
    content = os.urandom(1000)
    s.file(target.name, content)
    yield
    check_equal(target.read_bytes(), content, "the file's bytes")


@contextlib.contextmanager
def _immutable(s, target):
    with _unchanged_file(s, target):
        s.env.remember("immutable", str(target))
        made = subprocess.run(["chattr", "+i", str(target)], capture_output=True, text=True)
        if made.returncode != 0:
            s.env.forget("immutable", str(target))
            raise Skipped("chattr +i is refused here: " + made.stderr.strip())
        try:
            yield
        finally:
            subprocess.run(["chattr", "-i", str(target)], check=True)
            s.env.forget("immutable", str(target))


@contextlib.contextmanager
def _held(s, target):
    with _unchanged_file(s, target):
        # Another Wine program holds the file open with no sharing, as an editor might,
        # until the release file appears.
        release = s.work / "release"
        holder = s.start_driver(["hold", windows_path(target), "timeout", "60",
                                 "wait-file", windows_path(release)])
        holder.expect("hold")
        yield
        release.write_bytes(b"")
        holder.finish()


@scenario
def cannot_open_missing(open_session):
    _cannot_open(open_session, _missing)


@scenario
def cannot_open_directory(open_session):
    _cannot_open(open_session, _directory)


@scenario
def cannot_open_immutable(open_session):
    _cannot_open(open_session, _immutable)


@scenario
def cannot_open_held(open_session):
    _cannot_open(open_session, _held)


@scenario
def open_dialog_cancelled(open_session):
    def run_case(case):
        with open_session(case) as s:
            # Behind an empty first argument a real file waits: it must be ignored.
            other = s.file("second argument.bin", b"second")
            arguments = [] if case == "no argument" else ["", windows_path(other)]
            seen, code = s.run(arguments, ["open-dialog", "open-cancel", "exit"])
            dialog = next(data for name, data in seen if name == "open-dialog")
            check_equal((dialog["title"], dialog["file_type"], dialog["file_name"]),
                        (OPEN_DIALOG_TITLE, "All", ""), "the Open dialog")
            check_boxes(seen, [])
            check_exit(seen, code, -2)
            check_equal(other.read_bytes(), b"second", "the other file's bytes")

    run_cases(["no argument", "empty first argument"], run_case)


@scenario
def open_dialog_pick(open_session):
    with open_session() as s:
        target = s.file("picked file.txt", b"pick me")
        path = windows_path(target)
        seen, code = s.run([], ["open-dialog", "open-type", path] + COMPLETED_ROAD)
        check_boxes(seen, [(confirmation(path), YES_NO_BUTTONS), (DESTROYED, OK_BUTTONS),
                           (OFFER, YES_NO_BUTTONS)])
        check_exit(seen, code, 0)
        check(not target.exists(), "the picked file is still there")


@scenario
def two_arguments(open_session):
    with open_session() as s:
        first = s.file("first.bin", b"first")
        second = s.file("second.bin", b"second")
        seen, code = s.run([windows_path(first), windows_path(second)], COMPLETED_ROAD)
        check_equal(boxes(seen)[0]["text"], confirmation(windows_path(first)),
                    "the confirmation")
        check_exit(seen, code, 0)
        check(not first.exists(), "the first file is still there")
        check_equal(second.read_bytes(), b"second", "the second file's bytes")


@scenario
def cancel_in_later_pass(open_session):
    # Big enough that a pass takes a good while even on a fast disk.
    size = 4_000_000
    cancelled_pass = 3
    with open_session() as s:
        target = s.file("big.bin", os.urandom(size))
        path = windows_path(target)
        steps = (answer("IDYES")
                 + ["cancel-at", f"Nuking [pass {cancelled_pass} / 10]"]
                 + answer("IDOK") + ["exit"])
        seen, code = s.run([path], steps)
        shown = check_boxes(seen, [(confirmation(path), YES_NO_BUTTONS),
                                   (CANCELLED, OK_BUTTONS)])
        check(not shown[1]["progress_visible"], "the progress window is still up behind the box")
        check_exit(seen, code, -1)
        check(target.exists(), "the cancelled file is gone")
        content = target.read_bytes()
        length = word_stream.wiped_length(size)
        check_equal(len(content), length, "the length after the first pass")
        blocks = _blocks_from_pass(content, cancelled_pass)
        check(blocks >= 1, "the first block is not from the cancelled pass's stream")
        check(blocks < length // word_stream.BLOCK_BYTES,
              "the whole cancelled pass was written: Cancel came too late to tell")
        tail = word_stream.pass_bytes(cancelled_pass - 1, length)[blocks * word_stream.BLOCK_BYTES:]
        check(content[blocks * word_stream.BLOCK_BYTES:] == tail,
              f"after the {blocks} block(s) of the cancelled pass, the rest is not the "
              "previous pass's stream")
        print(f"cancelled after {blocks} block(s) of pass {cancelled_pass}")


def _blocks_from_pass(content, pass_index):
    """How many leading whole blocks hold that pass's stream."""
    expected = word_stream.pass_bytes(pass_index, len(content))
    block = word_stream.BLOCK_BYTES
    count = 0
    while count * block < len(content) and \
            content[count * block:(count + 1) * block] == expected[count * block:(count + 1) * block]:
        count += 1
    return count


@scenario
def write_failure_disk_full(open_session):
    need_root("a small tmpfs is mounted to fill it")
    with open_session() as s:
        mount_point = s.work / "small disk"
        mount_point.mkdir()
        s.env.remember("mounts", str(mount_point))
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=512k", "brelquin-e2e",
                                  str(mount_point)], capture_output=True, text=True)
        if mounted.returncode != 0:
            raise Skipped("a tmpfs can't be mounted here: " + mounted.stderr.strip())
        try:
            _write_failure(s, mount_point)
        finally:
            subprocess.run(["umount", str(mount_point)], check=True)
            s.env.forget("mounts", str(mount_point))


def _write_failure(s, mount_point):
    size = 65536
    target = mount_point / "sparse.bin"
    # A file with no blocks of its own: its first write needs space that is no longer there.
    with open(target, "wb") as sparse:
        sparse.truncate(size)
    _fill(mount_point / "filler")
    path = windows_path(target)
    seen, code = s.run([path], answer("IDYES", "IDOK") + ["exit"])
    shown = check_boxes(seen, [(confirmation(path), YES_NO_BUTTONS), (IO_ERROR, OK_BUTTONS)])
    check(not shown[1]["progress_visible"], "the progress window is still up behind the box")
    check_exit(seen, code, -2)
    check(target.exists(), "the file is gone after the failed write")
    check_equal(target.stat().st_size, size, "the file's length after the failed write")


def _fill(path):
    with open(path, "wb", buffering=0) as filler:
        chunk = b"\xff" * 4096
        while True:
            try:
                filler.write(chunk)
            except OSError:
                return


@scenario
def deletion_failure(open_session):
    need_root("Wine opens a mode 0444 file for writing only for root, then can't delete it")

    def run_case(size):
        with open_session(f"size {size}") as s:
            target = s.file(f"read only {size}.bin", os.urandom(size))
            target.chmod(0o444)
            path = windows_path(target)
            steps = (answer("IDYES") + ["box", "progress", "Unlinking ...", "press", "IDOK"]
                     + answer("IDNO") + ["exit"])
            try:
                seen, code = s.run([path], steps)
            finally:
                target.chmod(0o644)
            shown = check_boxes(seen, [(confirmation(path), YES_NO_BUTTONS),
                                       (UNLINK_FAILED, OK_BUTTONS), (OFFER, YES_NO_BUTTONS)])
            check(shown[1]["progress_visible"], "the progress window left before the message")
            progress = next(data for name, data in seen if name == "progress")
            check_equal((progress["title"], progress["line2"]), ("Brel-Quin", path),
                        "the progress window's title and path line")
            check_exit(seen, code, 0)
            check(target.exists(), "the file is gone")
            length = word_stream.wiped_length(size)
            check(target.read_bytes() == word_stream.pass_bytes(9, length),
                  f"the file is not the last pass's stream, {length} bytes of it")

    run_cases([0, 1, 16385], run_case)


@scenario
def help_opens_web_page(open_session):
    with open_session() as s:
        record = s.env.url_record
        record.unlink(missing_ok=True)
        content = b"help me"
        target = s.file("help.txt", content)
        path = windows_path(target)
        # Wine's message box does nothing on a click of its Help button; F1 sends WM_HELP,
        # which reaches the same callback as the Help button does on Windows.
        steps = ["box", "f1", "wait-file", windows_path(record), "box", "press", "IDNO", "exit"]
        seen, code = s.run([path], steps)
        before, after = check_boxes(seen, [(confirmation(path), YES_NO_BUTTONS)] * 2)
        check_equal(after["window"], before["window"], "the box after Help (still the same one)")
        check_equal(record.read_text().splitlines(), [expected_help_url(s.win32_dir)],
                    "the addresses the browser was asked to open")
        check_exit(seen, code, 0)
        check_equal(target.read_bytes(), content, "the file's bytes")


def expected_help_url(win32_dir):
    cache = Path(win32_dir) / "CMakeCache.txt"
    found = re.search(r"^BRELQUIN_HELP_HOST:\w+=(.*)$", cache.read_text(), re.MULTILINE)
    check(found, f"no BRELQUIN_HELP_HOST in {cache}")
    return f"http://{found.group(1)}/redirect?x=quendrix"


@scenario
def unusual_paths(open_session):
    def run_case(case):
        with open_session(case) as s:
            cwd = s.work
            if case == "non-ASCII with spaces":
                target = s.file("Ünïcödé folder ☃/naïve файл 日本.txt", b"x" * 100)
                argument = windows_path(target)
            elif case == "relative":
                target = s.file("sub dir/relative file.bin", b"y" * 100)
                argument = "sub dir\\relative file.bin"
            else:
                target = _deep_file(s.work)
                argument = "\\\\?\\" + windows_path(target)
                check(len(argument) > 2 * 260, "the long path is not long enough")
            seen, code = s.run([argument], COMPLETED_ROAD, cwd=cwd)
            check_boxes(seen, [(confirmation(argument), YES_NO_BUTTONS),
                               (DESTROYED, OK_BUTTONS), (OFFER, YES_NO_BUTTONS)])
            check_exit(seen, code, 0)
            check(not target.exists(), "the file is still there")

    run_cases(["non-ASCII with spaces", "relative", "longer than 260"], run_case)


def _deep_file(work):
    """A file whose path is more than twice MAX_PATH: no fixed path buffer may cut it."""
    folder = work
    while len(str(folder)) < 600:
        folder = folder / ("deep folder " + "d" * 88)
    folder.mkdir(parents=True)
    target = folder / "at the bottom.bin"
    target.write_bytes(b"z" * 100)
    return target


@scenario
def desktop_copy_offer(open_session):
    def run_case(case):
        with open_session(case) as s:
            desktop_copy = s.env.desktop / DESKTOP_COPY_NAME
            program = s.program_path
            if case == "yes, program renamed":
                program = s.work / "Nuker (renamed).exe"
                shutil.copyfile(s.program_path, program)
            elif case == "a file of that name there":
                desktop_copy.write_bytes(b"not the program")
            elif case == "a folder of that name there":
                desktop_copy.mkdir()
                (desktop_copy / "inside.txt").write_bytes(b"inside")
            before = _snapshot(s.env.desktop)
            target = s.file("victim.txt", b"v")
            asked = case.startswith(("yes", "no"))
            offer_answer = "IDYES" if case.startswith("yes") else "IDNO"
            steps = answer("IDYES", "IDOK") + (answer(offer_answer) if asked else []) + ["exit"]
            seen, code = s.run([windows_path(target)], steps, program=program)
            expected = [(confirmation(windows_path(target)), YES_NO_BUTTONS),
                        (DESTROYED, OK_BUTTONS)]
            check_boxes(seen, expected + ([(OFFER, YES_NO_BUTTONS)] if asked else []))
            check_exit(seen, code, 0)
            after = _snapshot(s.env.desktop)
            if case.startswith("yes"):
                check_equal(sorted(after), [DESKTOP_COPY_NAME], "the desktop's entries")
                check(after[DESKTOP_COPY_NAME] == s.program_path.read_bytes(),
                      "the desktop copy is not the program, byte for byte")
            else:
                check_equal(after, before, "the desktop")

    run_cases(["yes, program renamed", "no", "a file of that name there",
               "a folder of that name there"], run_case)


def _snapshot(folder):
    """Every entry under folder with its bytes (None for a folder)."""
    return {str(path.relative_to(folder)): None if path.is_dir() else path.read_bytes()
            for path in sorted(folder.rglob("*"))}
