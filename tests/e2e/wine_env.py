"""The throwaway world the end-to-end tests run in: an X server, a Wine prefix and a home.

Everything lives under one root folder. Setup records what it started in the root's
state file; cleanup stops exactly that (the prefix's wineserver, every process still
running in the prefix, the X server by its process id) and removes the root, whatever
state a failed or killed test left behind.
"""

import json
import os
import pwd
import select
import shlex
import shutil
import signal
import subprocess
import time
from pathlib import Path

STATE_FILE = "state.json"
# Mono and Gecko would be downloaded and installed on the first start; menu entries would
# be written into the home. None of them has a part in these tests.
DLL_OVERRIDES = "mscoree,mshtml=;winemenubuilder.exe=d"
SCREEN = "1024x768x24"
WINEBOOT_SECONDS = 300
COMMAND_SECONDS = 60
STOP_SECONDS = 10


class HarnessError(Exception):
    """The environment could not be built or torn down."""


def windows_path(path):
    """The path under which Wine programs see a Linux path: drive Z: is the root."""
    return "Z:" + str(path).replace("/", "\\")


class WineEnvironment:
    def __init__(self, root):
        self.root = Path(root).resolve()
        self.prefix = self.root / "prefix"
        self.home = self.root / "home"
        self.work = self.root / "work"
        self.logs = self.root / "logs"
        self.url_record = self.root / "opened-urls.txt"
        self.browser = self.root / "record-url.sh"
        self.state = {}

    # The state file ---------------------------------------------------------------------

    def _save(self):
        (self.root / STATE_FILE).write_text(json.dumps(self.state, indent=1))

    def load(self):
        state_file = self.root / STATE_FILE
        if not state_file.exists():
            raise HarnessError(f"no Wine environment under {self.root}: run the setup first")
        self.state = json.loads(state_file.read_text())
        return self

    @property
    def display(self):
        return self.state["display"]

    @property
    def desktop(self):
        return Path(self.state["desktop"])

    def remember(self, key, value):
        """Adds value to a list in the state, for cleanup to undo."""
        self.state.setdefault(key, [])
        if value not in self.state[key]:
            self.state[key].append(value)
        self._save()

    def forget(self, key, value):
        if value in self.state.get(key, []):
            self.state[key].remove(value)
            self._save()

    # Environment variables --------------------------------------------------------------

    def env(self):
        env = {name: value for name, value in os.environ.items()
               if not name.startswith(("WINE", "XDG_", "DISPLAY"))}
        env.update(
            HOME=str(self.home),
            # Wine places the desktop by the XDG user folders: keep them in the throwaway home.
            XDG_CONFIG_HOME=str(self.home / ".config"),
            XDG_DATA_HOME=str(self.home / ".local/share"),
            XDG_CACHE_HOME=str(self.home / ".cache"),
            WINEPREFIX=str(self.prefix),
            WINEARCH="win32",
            WINEDEBUG="-all",
            WINEDLLOVERRIDES=DLL_OVERRIDES,
            # Command-line arguments reach Wine programs through the locale's encoding.
            LC_ALL="C.UTF-8",
        )
        if "display" in self.state:
            env["DISPLAY"] = f":{self.display}"
        return env

    def run(self, command, seconds=COMMAND_SECONDS, **options):
        """Output goes to the log unless told otherwise: a daemon that inherits the test's
        own stdout (wineserver -p does) keeps CTest waiting for it until the timeout."""
        if "stdout" not in options and "stderr" not in options:
            with open(self.logs / "commands.log", "ab") as log:
                return subprocess.run(command, env=self.env(), stdin=subprocess.DEVNULL,
                                      stdout=log, stderr=log, timeout=seconds, **options)
        return subprocess.run(command, env=self.env(), stdin=subprocess.DEVNULL,
                              timeout=seconds, **options)

    def run_wine(self, arguments, seconds=COMMAND_SECONDS, **options):
        return self.run(["wine", *map(str, arguments)], seconds, **options)

    # Setup ------------------------------------------------------------------------------

    def create(self):
        if self.root.exists():
            self.destroy()
        # With home/Desktop in place before the prefix is made, Wine links the prefix's
        # desktop to it rather than to the home itself.
        for folder in (self.home / "Desktop", self.work, self.logs):
            folder.mkdir(parents=True)
        self.state = {"root": str(self.root)}
        self._save()
        self._start_x_server()
        self._start_wine()
        self._configure_wine()
        self._find_desktop()
        return self

    def _start_x_server(self):
        read_end, write_end = os.pipe()
        log = self.logs / "xvfb.log"
        with open(log, "wb") as output:
            # A session of its own: the X server outlives the setup test that starts it.
            # No reset when the last client leaves: a reset writes the number again.
            server = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0", SCREEN,
                 "-nolisten", "tcp", "-noreset"],
                pass_fds=[write_end], stdin=subprocess.DEVNULL, stdout=output, stderr=output,
                start_new_session=True)
        os.close(write_end)
        self.state["xvfb_pid"] = server.pid
        self._save()
        number = _read_line(read_end, COMMAND_SECONDS)
        # Closed only after the whole line: Xvfb dies when it can't finish writing it.
        os.close(read_end)
        if not number.isdigit():
            raise HarnessError(f"Xvfb did not report a display; see {log}")
        self.state["display"] = int(number)
        self._save()

    def _start_wine(self):
        self.prefix.mkdir()
        # One server for the whole run: every program starts quicker, and the registry
        # written below stays in force until cleanup.
        self.run(["wineserver", "-p"], check=True)
        booted = self.run(["wineboot", "-i"], WINEBOOT_SECONDS)
        if booted.returncode != 0:
            raise HarnessError(f"wineboot -i failed ({booted.returncode}); see {self.logs}")

    def _configure_wine(self):
        record = shlex.quote(str(self.url_record))
        part = shlex.quote(f"{self.url_record}.part")
        # Written whole, then renamed: whoever waits for the record never reads half of it.
        self.browser.write_text(
            "#!/bin/sh\n"
            "# Stands in for the web browser: records each address it is asked to open.\n"
            f"{{ cat {record} 2>/dev/null; printf '%s\\n' \"$@\"; }} > {part}\n"
            f"mv {part} {record}\n")
        self.browser.chmod(0o755)
        settings = [
            # With no window manager, Wine waits two seconds for one to take every window
            # that closes; unmanaged windows close at once.
            (r"HKCU\Software\Wine\X11 Driver", "Managed", "N"),
            (r"HKCU\Software\Wine\WineBrowser", "Browsers", str(self.browser)),
        ]
        for key, name, value in settings:
            self.run_wine(["reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", value, "/f"],
                          check=True)

    def _find_desktop(self):
        user = pwd.getpwuid(os.getuid()).pw_name
        desktop = (self.prefix / "drive_c/users" / user / "Desktop").resolve()
        if self.root not in desktop.parents or not desktop.is_dir():
            raise HarnessError(f"the prefix's desktop {desktop} is not in the throwaway home")
        self.state["desktop"] = str(desktop)
        self._save()

    # Cleanup ----------------------------------------------------------------------------

    def destroy(self):
        """Stops everything the run started and removes the root. Returns what survived."""
        state_file = self.root / STATE_FILE
        if state_file.exists():
            self.state = json.loads(state_file.read_text())
        self._release_file_system()
        if self.prefix.exists():
            try:
                self.run(["wineserver", "-k"], STOP_SECONDS,
                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            except subprocess.TimeoutExpired:
                pass
        for pid in self.processes_in_prefix():
            _kill(pid)
        self._stop_x_server()
        survivors = self.processes_in_prefix()
        shutil.rmtree(self.root, ignore_errors=True)
        return survivors

    def _release_file_system(self):
        for path in self.state.get("immutable", []):
            subprocess.run(["chattr", "-i", path], stderr=subprocess.DEVNULL)
        for mount in reversed(_mounts_under(self.root)):
            subprocess.run(["umount", "-l", mount], stderr=subprocess.DEVNULL)

    def _stop_x_server(self):
        pid = self.state.get("xvfb_pid")
        if pid is None or b"Xvfb" not in _command_line(pid):
            return
        _kill(pid, signal.SIGTERM)

    def processes_in_prefix(self):
        """Processes whose environment names this run's prefix: Wine's own and the tests'."""
        marker = b"WINEPREFIX=" + bytes(self.prefix) + b"\0"
        found = []
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit() or int(entry.name) == os.getpid():
                continue
            try:
                environment = (entry / "environ").read_bytes()
            except OSError:
                continue
            if marker in environment:
                found.append(int(entry.name))
        return found


def _read_line(descriptor, seconds):
    deadline = time.monotonic() + seconds
    line = b""
    while not line.endswith(b"\n"):
        ready, _, _ = select.select([descriptor], [], [], max(0, deadline - time.monotonic()))
        piece = os.read(descriptor, 64) if ready else b""
        if not piece:
            break
        line += piece
    return line.decode(errors="replace").strip()


def _command_line(pid):
    try:
        return Path(f"/proc/{pid}/cmdline").read_bytes()
    except OSError:
        return b""


def _kill(pid, first_signal=signal.SIGKILL):
    try:
        os.kill(pid, first_signal)
    except ProcessLookupError:
        return
    deadline = time.monotonic() + STOP_SECONDS
    while time.monotonic() < deadline:
        try:
            finished, _ = os.waitpid(pid, os.WNOHANG)
        except ChildProcessError:
            finished = 0
        if finished or not Path(f"/proc/{pid}").exists() or _is_zombie(pid):
            return
        time.sleep(0.05)
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def _is_zombie(pid):
    try:
        status = Path(f"/proc/{pid}/stat").read_text()
    except OSError:
        return True
    return status.rsplit(")", 1)[1].split()[0] == "Z"


def _mounts_under(root):
    mounts = []
    for line in Path("/proc/self/mountinfo").read_text().splitlines():
        point = line.split()[4].encode().decode("unicode_escape")
        if Path(point) == root or root in Path(point).parents:
            mounts.append(point)
    return mounts
