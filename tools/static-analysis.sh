#!/usr/bin/env bash
# The layering check, then clang-tidy (checks in .clang-tidy) and cppcheck over our own sources: those of the
# Linux build with build/ci's compile commands, and the Windows code with build/windows's, which clang reads
# as the same 32-bit mingw-w64 target (tools/windows-tidy-commands.py).
set -euo pipefail
cd "$(dirname "$0")/.."

tools/check-layers.py

# Fails on a finding in our own code; the full log stays in the build folder.
findings() {
    sed -i 's/\x1b\[[0-9;]*m//g' "$1"
    if grep -E '^/.*: (warning|error):' "$1" | grep -v '^/usr'; then
        echo "clang-tidy found problems (full log: $1)" >&2
        exit 1
    fi
}

[ -f build/ci/compile_commands.json ] || cmake --preset ci >/dev/null
linux=$(git ls-files 'desktop/*.cpp' 'link/*.cpp' 'extract/*.cpp' 'sim/*.cpp' 'backend/*.cpp' 'history/*.cpp' 'ui/*.cpp' 'cli/*.cpp' \
        'qt/*.cpp' | grep -v 'Win32\.cpp$')
echo "clang-tidy on $(echo "$linux" | wc -l) files of the Linux build"
# Generated moc files come from the CI build; build it first so every header exists.
run-clang-tidy -quiet -p build/ci -extra-arg=-fno-color-diagnostics $linux >build/ci/clang-tidy.log 2>&1 || true
findings build/ci/clang-tidy.log

[ -f build/windows/compile_commands.json ] || cmake --preset windows >/dev/null
tools/windows-tidy-commands.py build/windows build/windows/tidy
windows=$(git ls-files 'win32/*.cpp' 'com/*.cpp' '*Win32.cpp')
echo "clang-tidy on $(echo "$windows" | wc -l) files of the Windows build"
# Windows hands handles and pointers over as integers (LPARAM, WPARAM, INT_PTR, window data): those casts
# are the API's own, so the check against integer-to-pointer casts stays off for this code.
run-clang-tidy -quiet -p build/windows/tidy -checks=-performance-no-int-to-ptr -extra-arg=-fno-color-diagnostics \
  $windows >build/windows/clang-tidy.log 2>&1 || true
findings build/windows/clang-tidy.log

echo "cppcheck"
cppcheck --quiet --error-exitcode=1 --std=c++20 --language=c++ --inline-suppr \
  --enable=warning,performance,portability --suppress=missingIncludeSystem \
  -I . -I build/ci/generated $linux
echo "static analysis clean"
