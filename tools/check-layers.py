#!/usr/bin/env python3
"""Fails when a file includes a folder drawn above its own, or names no folder at all.

The heights, lowest first (DESIGN.md):
  desktop < link < {extract, sim, win/com} < {backend, history} < ui < {app, win/window, cli}
A file may include its own folder and any lower one; folders of one height do not include each other.
Tests, benchmarks and fuzz targets stand outside and may include anything. Qt headers belong to app/ alone.
Usage: tools/check-layers.py [ROOT]   (exit 1 with one line per offending include)
"""
import pathlib
import re
import subprocess
import sys

HEIGHTS = {
    "desktop": 0,
    "link": 1,
    "extract": 2, "sim": 2, "win/com": 2,
    "backend": 3, "history": 3,
    "ui": 4,
    "app": 5, "win/window": 5, "cli": 5,
}
OUTSIDE = ("tests/", "bench/", "fuzz/")
SOURCES = re.compile(r"\.(cpp|h|h\.in|rc|rc\.in)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.M)


def folder_of(path):
    """The layered folder a path lies in (the longest that fits), or None."""
    best = None
    for folder in HEIGHTS:
        if path.startswith(folder + "/") and (best is None or len(folder) > len(best)):
            best = folder
    return best


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    listed = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard"], cwd=root,
                            check=True, capture_output=True, text=True).stdout.split()
    problems = []
    for path in sorted(p for p in listed if SOURCES.search(p) and not p.startswith(OUTSIDE)):
        own = folder_of(path)
        if own is None:
            problems.append(f"{path}: lies in no folder of the layer table")
            continue
        text = (root / path).read_text(encoding="utf-8", errors="replace")
        for match in INCLUDE.finditer(text):
            line = text.count("\n", 0, match.start()) + 1
            quote, name = match.groups()
            where = f"{path}:{line}: #include {quote}{name}{'>' if quote == '<' else quote}"
            if quote == "<":
                if name.startswith("Q") and own != "app":
                    problems.append(f"{where}: Qt belongs to app/ alone")
                continue
            if name.startswith(OUTSIDE):
                problems.append(f"{where}: test, benchmark and fuzz code is not part of the program")
                continue
            target = folder_of(name)
            if target is None:
                problems.append(f"{where}: name the folder the file lies in, e.g. \"link/DataProvider.h\"")
            elif target != own and HEIGHTS[target] >= HEIGHTS[own]:
                relation = "above" if HEIGHTS[target] > HEIGHTS[own] else "beside"
                problems.append(f"{where}: {target}/ is drawn {relation} {own}/")
    for problem in problems:
        print(problem)
    if problems:
        print(f"layering: {len(problems)} include(s) break the layers", file=sys.stderr)
        return 1
    print("layering: every include points down")
    return 0


if __name__ == "__main__":
    sys.exit(main())
