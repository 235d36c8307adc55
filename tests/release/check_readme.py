#!/usr/bin/env python3
"""Checks that the README carries the user guide that the package ships, word for word.

Run: python3 tests/release/check_readme.py --source <repo>
"""
import argparse
import pathlib
import sys


def GuideAsReadmeSection(guide: str) -> str:
    """The guide as the README holds it: under "## User guide", each heading one level down."""
    lines = guide.rstrip("\n").split("\n")
    body = ["#" + line if line.startswith("## ") else line for line in lines[1:]]
    return "\n".join(["## User guide"] + body)


def main() -> int:
    parser = argparse.ArgumentParser()
    parser.add_argument("--source", required=True, type=pathlib.Path)
    arguments = parser.parse_args()
    guide = (arguments.source / "docs" / "user-guide.md").read_text(encoding="utf-8")
    readme = (arguments.source / "README.md").read_text(encoding="utf-8")
    if GuideAsReadmeSection(guide) not in readme:
        print("README.md's 'User guide' section differs from docs/user-guide.md; copy it again")
        return 1
    print("README.md carries docs/user-guide.md")
    return 0


if __name__ == "__main__":
    sys.exit(main())
