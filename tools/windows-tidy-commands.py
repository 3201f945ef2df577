#!/usr/bin/env python3
"""Turns the Windows build's compile commands into ones clang can read, for clang-tidy.

The cross build compiles with i686 mingw-w64 GCC; clang reads the same sources as that target when it is
told the target and given GCC's C++ library and mingw's headers in GCC's order (and not this machine's own
/usr/include). Only our own sources are kept.
Usage: tools/windows-tidy-commands.py BUILD_DIR OUT_DIR
"""
import glob
import json
import pathlib
import shlex
import sys

build, out = pathlib.Path(sys.argv[1]), pathlib.Path(sys.argv[2])
root = pathlib.Path(__file__).resolve().parent.parent
gcc = sorted(glob.glob("/usr/lib/gcc/i686-w64-mingw32/*-posix"))
if not gcc:
    sys.exit("no i686 mingw-w64 GCC (posix threads) under /usr/lib/gcc/i686-w64-mingw32")
cxx = pathlib.Path(gcc[-1]) / "include" / "c++"
target = ["--target=i686-w64-mingw32", "-nostdlibinc",
          "-isystem", str(cxx), "-isystem", str(cxx / "i686-w64-mingw32"), "-isystem", str(cxx / "backward"),
          "-isystem", "/usr/i686-w64-mingw32/include"]

commands = []
for entry in json.loads((build / "compile_commands.json").read_text()):
    source = pathlib.Path(entry["file"])
    if not source.is_relative_to(root) or source.is_relative_to(root / "build"):
        continue  # GoogleTest and generated files
    arguments = entry.get("arguments") or shlex.split(entry["command"])
    # The compiler becomes clang for the same target; GCC-only warning flags stay harmless to it.
    arguments = ["clang++", *target, *arguments[1:]]
    commands.append({"directory": entry["directory"], "file": entry["file"], "arguments": arguments})

out.mkdir(parents=True, exist_ok=True)
(out / "compile_commands.json").write_text(json.dumps(commands, indent=1))
print(f"{len(commands)} Windows compile commands for clang in {out}")
