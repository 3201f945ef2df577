#!/usr/bin/env bash
# clang-tidy (checks in .clang-tidy) and cppcheck over our own sources, using build/ci's compile commands.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/ci/compile_commands.json ] || { cmake --preset ci >/dev/null; }

sources=$(git ls-files 'desktop/*.cpp' 'link/*.cpp' 'extract/*.cpp' 'sim/*.cpp' 'backend/*.cpp' 'shell/*.cpp' 'cli/*.cpp' 'app/*.cpp')
echo "clang-tidy on $(echo "$sources" | wc -l) files"
# Generated moc files come from the CI build; build it first so every header exists.
run-clang-tidy -quiet -p build/ci -extra-arg=-fno-color-diagnostics $sources >build/ci/clang-tidy.log 2>&1 || true
sed -i 's/\x1b\[[0-9;]*m//g' build/ci/clang-tidy.log
if grep -E '^/.*: (warning|error):' build/ci/clang-tidy.log | grep -v '^/usr' ; then
  echo "clang-tidy found problems (full log: build/ci/clang-tidy.log)" >&2
  exit 1
fi

echo "cppcheck"
cppcheck --quiet --error-exitcode=1 --std=c++20 --language=c++ --inline-suppr \
  --enable=warning,performance,portability --suppress=missingIncludeSystem \
  -I desktop -I link -I extract -I sim -I backend -I shell -I cli -I app -I build/ci/desktop/generated $sources
echo "static analysis clean"
