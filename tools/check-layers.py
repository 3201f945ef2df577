#!/usr/bin/env python3
"""Fails on an include between top-level folders that the README's architecture diagram does not draw.

desktop/ and link/ are the shared base: every folder may include them (link/ itself only desktop/). Above
them, a folder may include only the folders it has an arrow to in the diagram; everything else, an include
that points up or one that skips the layer in between, is refused. Tests, benchmarks and fuzz targets stand
outside and may include anything. Qt headers belong to qt/ alone.
Usage: tools/check-layers.py [ROOT]   (exit 1 with one line per offending include)
"""
import pathlib
import re
import subprocess
import sys

BASE = ("desktop", "link")
# The diagram's arrows above the base: who includes whom.
EDGES = {
    "desktop": set(),
    "link": {"desktop"},
    "extract": set(),
    "sim": set(),
    "com": set(),
    "backend": {"extract", "sim", "com"},
    "history": {"extract"},
    "ui": {"backend", "extract"},
    "qt": {"ui"},
    "win32": {"ui"},
    "cli": {"backend", "extract", "history"},
    "package": set(),
}
OUTSIDE = ("tests/", "bench/", "fuzz/")
SOURCES = re.compile(r"\.(cpp|h|h\.in|rc|rc\.in)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]', re.M)


def folder_of(path):
    """The top-level folder a path lies in, when it is one of the diagram's."""
    top = path.split("/", 1)[0]
    return top if "/" in path and top in EDGES else None


def allowed(own, target):
    if target == own:
        return True
    if target in BASE:
        return own != "desktop" and (own != "link" or target == "desktop")
    return target in EDGES[own]


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    listed = subprocess.run(["git", "ls-files", "--cached", "--others", "--exclude-standard"], cwd=root,
                            check=True, capture_output=True, text=True).stdout.split()
    problems = []
    for path in sorted(p for p in listed if SOURCES.search(p) and not p.startswith(OUTSIDE)):
        own = folder_of(path)
        if own is None:
            problems.append(f"{path}: lies in no folder of the diagram")
            continue
        text = (root / path).read_text(encoding="utf-8", errors="replace")
        for match in INCLUDE.finditer(text):
            line = text.count("\n", 0, match.start()) + 1
            quote, name = match.groups()
            where = f"{path}:{line}: #include {quote}{name}{'>' if quote == '<' else quote}"
            if quote == "<":
                if name.startswith("Q") and own != "qt":
                    problems.append(f"{where}: Qt belongs to qt/ alone")
                continue
            if name.startswith(OUTSIDE):
                problems.append(f"{where}: test, benchmark and fuzz code is not part of the program")
                continue
            target = folder_of(name)
            if target is None:
                problems.append(f"{where}: name the folder the file lies in, e.g. \"link/DataProvider.h\"")
            elif not allowed(own, target):
                problems.append(f"{where}: the diagram draws no arrow from {own}/ to {target}/")
    for problem in problems:
        print(problem)
    if problems:
        print(f"layering: {len(problems)} include(s) off the drawn arrows", file=sys.stderr)
        return 1
    print("layering: every include follows an arrow of the diagram")
    return 0


if __name__ == "__main__":
    sys.exit(main())
