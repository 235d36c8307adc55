#!/usr/bin/env python3
"""Runs the shipped Brelquin.exe under Wine, driven the way a user drives it.

  harness.py --root ROOT setup              build the throwaway world: X server, prefix, home
  harness.py --root ROOT --win32-dir DIR scenario NAME
                                            play one scenario (see scenarios.py)
  harness.py --root ROOT run-exe [--scratch] PROGRAM [ARGUMENT ...]
                                            run a cross-built console program in the prefix;
                                            --scratch: a fresh folder's Windows path goes first
  harness.py --root ROOT --win32-dir DIR screenshots FOLDER
                                            save screenshots of the program's windows
  harness.py --root ROOT cleanup            stop everything setup started and remove ROOT
  harness.py list                           the scenarios' names

Exit codes: 0 passed, 1 failed, 77 skipped (the reason is printed).
"""

import argparse
import re
import shutil
import subprocess
import sys
import time
import traceback
from pathlib import Path

sys.dont_write_bytecode = True  # keeps the source tree free of __pycache__

import scenarios  # noqa: E402
from session import SKIP_CODE, Session, Skipped, TestFailure  # noqa: E402
from wine_env import HarnessError, WineEnvironment, windows_path  # noqa: E402

RUN_EXE_SECONDS = 300


def setup(arguments):
    started = time.monotonic()
    env = WineEnvironment(arguments.root).create()
    print(f"Wine prefix {env.prefix} on display :{env.display}, desktop {env.desktop}, "
          f"ready in {time.monotonic() - started:.1f} s")
    return 0


def cleanup(arguments):
    env = WineEnvironment(arguments.root)
    survivors = env.destroy()
    if survivors:
        print(f"processes still running in the prefix: {survivors}")
        return 1
    print(f"stopped everything under {env.root} and removed it")
    return 0


def _folder_name(text):
    return re.sub(r"[^A-Za-z0-9]+", "-", str(text)).strip("-")


def scenario(arguments):
    play = scenarios.SCENARIOS.get(arguments.name)
    if play is None:
        print(f"no scenario named {arguments.name}; see harness.py list")
        return 1
    env = WineEnvironment(arguments.root).load()

    def open_session(case=None):
        name = arguments.name if case is None else f"{arguments.name}-{_folder_name(case)}"
        return Session(env, arguments.win32_dir, name)

    started = time.monotonic()
    try:
        play(open_session)
    except Skipped as skipped:
        print(f"SKIPPED: {skipped}")
        return SKIP_CODE
    except TestFailure as failure:
        print(f"FAILED: {failure}")
        return 1
    print(f"passed in {time.monotonic() - started:.1f} s")
    return 0


def run_exe(arguments):
    env = WineEnvironment(arguments.root).load()
    program = Path(arguments.program).resolve()
    if not program.exists():
        print(f"{program} is missing: build the cross configuration first")
        return 1
    program_arguments = list(arguments.program_arguments)
    if arguments.scratch:
        scratch = env.work / f"{program.stem}-scratch"
        shutil.rmtree(scratch, ignore_errors=True)
        scratch.mkdir(parents=True)
        program_arguments.insert(0, windows_path(scratch))
    # Through a file, not a pipe: a Wine service the program wakes may inherit the handle
    # and outlive it.
    output = env.logs / f"{program.stem}.log"
    try:
        with open(output, "wb") as log:
            ran = env.run_wine([program, *program_arguments], RUN_EXE_SECONDS,
                               cwd=program.parent, stdout=log, stderr=subprocess.STDOUT)
    except subprocess.TimeoutExpired:
        ran = None
    print(output.read_text(errors="replace"), end="")
    if ran is None:
        print(f"{program.name} did not end within {RUN_EXE_SECONDS} s")
        return 1
    return ran.returncode


def screenshots(arguments):
    import screenshots as shots
    env = WineEnvironment(arguments.root).load()
    for saved in shots.take_all(env, arguments.win32_dir, Path(arguments.folder)):
        print(f"saved {saved}")
    return 0


def list_scenarios(_):
    print("\n".join(scenarios.SCENARIOS))
    return 0


def parse(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", type=Path, help="the folder the run lives in")
    parser.add_argument("--win32-dir", type=Path, help="the cross build: Brelquin.exe and the driver")
    commands = parser.add_subparsers(dest="command", required=True)
    commands.add_parser("setup").set_defaults(run=setup)
    commands.add_parser("cleanup").set_defaults(run=cleanup)
    commands.add_parser("list").set_defaults(run=list_scenarios)
    play = commands.add_parser("scenario")
    play.add_argument("name")
    play.set_defaults(run=scenario)
    exe = commands.add_parser("run-exe")
    exe.add_argument("--scratch", action="store_true")
    exe.add_argument("program")
    exe.add_argument("program_arguments", nargs=argparse.REMAINDER)
    exe.set_defaults(run=run_exe)
    shots = commands.add_parser("screenshots")
    shots.add_argument("folder")
    shots.set_defaults(run=screenshots)
    arguments = parser.parse_args(argv)
    if arguments.command != "list" and arguments.root is None:
        parser.error("--root is needed")
    if arguments.command in ("scenario", "screenshots") and arguments.win32_dir is None:
        parser.error("--win32-dir is needed")
    return arguments


def main(argv):
    arguments = parse(argv)
    try:
        return arguments.run(arguments)
    except HarnessError as error:
        print(f"ERROR: {error}")
        return 1
    except Exception:  # a broken harness must fail its test, with the whole story
        traceback.print_exc(file=sys.stdout)
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
