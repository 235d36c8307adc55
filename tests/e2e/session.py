"""One scenario's world: its own work folder, the program and the driver as Wine processes.

The program is started as a user starts it, `wine Brelquin.exe ARGUMENTS`, and its exit
code is read as Linux sees it. The driver (BrelquinDriver.exe) plays the user; what it saw
comes back as (step, data) pairs parsed from its output.
"""

import json
import os
import queue
import shutil
import signal
import subprocess
import threading
from pathlib import Path

PROGRAM_SECONDS = 60
DRIVER_SECONDS = 90
SKIP_CODE = 77


class TestFailure(AssertionError):
    pass


class Skipped(Exception):
    """The machine can't do this case; the reason is reported and the test is skipped."""


def check(condition, message):
    if not condition:
        raise TestFailure(message)


def check_equal(actual, expected, what):
    if actual != expected:
        raise TestFailure(f"{what}:\n  expected {expected!r}\n  actual   {actual!r}")


class _WineProcess:
    def __init__(self, env, command, cwd, log_path, stdout=None):
        self.log_path = log_path
        with open(log_path, "wb") as log:
            # A process group of its own, so that a stuck run is stopped by its id alone.
            self.process = subprocess.Popen(
                ["wine", *map(str, command)], env=env.env(), cwd=cwd,
                stdin=subprocess.DEVNULL, stdout=stdout if stdout else log, stderr=log,
                start_new_session=True)

    def stop(self):
        if self.process.poll() is not None:
            return
        try:
            os.killpg(self.process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        self.process.wait(timeout=10)

    def log(self):
        return Path(self.log_path).read_text(errors="replace").strip()


class Program(_WineProcess):
    def wait(self, seconds=PROGRAM_SECONDS):
        """The exit code as Linux sees it: -1 and -2 arrive as 255 and 254."""
        try:
            return self.process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            self.stop()
            raise TestFailure(f"the program did not end within {seconds} s")


class Driver(_WineProcess):
    def __init__(self, env, command, cwd, log_path):
        super().__init__(env, command, cwd, log_path, subprocess.PIPE)
        self.lines = queue.Queue()
        self.seen = []
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        for raw in self.process.stdout:
            self.lines.put(raw.decode("ascii", errors="replace").rstrip("\r\n"))
        self.lines.put(None)

    def _next(self, seconds):
        try:
            line = self.lines.get(timeout=seconds)
        except queue.Empty:
            self.stop()
            raise TestFailure(f"the driver said nothing for {seconds} s")
        if line is None:
            return None
        name, _, data = line.partition(" ")
        entry = (name, json.loads(data) if data else {})
        self.seen.append(entry)
        if name == "fail":
            self._fail(entry[1])
        return entry

    def _fail(self, failure):
        dump = self._next(10)
        windows = json.dumps(dump[1], indent=1, ensure_ascii=False) if dump else "(none)"
        raise TestFailure(f"driver step '{failure['step']}' failed: {failure['reason']}\n"
                          f"steps seen: {self.seen[:-1]}\nwindows: {windows}")

    def expect(self, name, seconds=DRIVER_SECONDS):
        entry = self._next(seconds)
        check(entry is not None and entry[0] == name,
              f"the driver was to report '{name}', it reported {entry}")
        return entry[1]

    def finish(self, seconds=DRIVER_SECONDS):
        """Everything the driver reports until it ends; every step must have passed."""
        while self._next(seconds) is not None:
            pass
        code = self.process.wait(timeout=10)
        check(code == 0, f"the driver ended with {code}; log: {self.log()}")
        return self.seen


class Session:
    """Fresh work folder and an empty desktop for each scenario; stops what it started."""

    def __init__(self, env, win32_dir, name):
        self.env = env
        self.win32_dir = Path(win32_dir)
        self.program_path = self.win32_dir / "Brelquin.exe"
        self.driver_path = self.win32_dir / "BrelquinDriver.exe"
        self.work = env.work / name
        self.processes = []
        self.runs = 0

    def __enter__(self):
        for needed in (self.program_path, self.driver_path):
            check(needed.exists(), f"{needed} is missing: build the cross configuration first")
        shutil.rmtree(self.work, ignore_errors=True)
        self.work.mkdir(parents=True)
        self.clear_desktop()
        return self

    def __exit__(self, *_):
        for process in self.processes:
            process.stop()

    def clear_desktop(self):
        for entry in self.env.desktop.iterdir():
            if entry.is_dir() and not entry.is_symlink():
                shutil.rmtree(entry)
            else:
                entry.unlink()

    def _log(self, what):
        self.runs += 1
        return self.env.logs / f"{self.work.name}-{self.runs}-{what}.log"

    def start(self, arguments, program=None, cwd=None):
        process = Program(self.env, [program or self.program_path, *arguments],
                          cwd or self.work, self._log("program"))
        self.processes.append(process)
        return process

    def start_driver(self, steps):
        process = Driver(self.env, [self.driver_path, *steps], self.work, self._log("driver"))
        self.processes.append(process)
        return process

    def drive(self, steps):
        return self.start_driver(steps).finish()

    def run(self, arguments, steps, program=None, cwd=None):
        """Starts the program, plays the steps, and returns what was seen and the exit code."""
        started = self.start(arguments, program, cwd)
        seen = self.drive(steps)
        return seen, started.wait()

    def file(self, name, content=b""):
        path = self.work / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(content)
        return path


def boxes(seen):
    return [data for name, data in seen if name == "box"]


def exit_code(seen):
    """The exit code as the driver read it, the signed Windows value."""
    codes = [data["code"] for name, data in seen if name == "exit"]
    check(len(codes) == 1, f"the driver saw no end of the program: {seen}")
    return codes[0]
