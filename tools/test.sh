#!/usr/bin/env bash
# Builds and runs every test: the CI build (warnings are errors), the Windows programs cross-built and
# tested under Wine, the same tests under AddressSanitizer and UndefinedBehaviorSanitizer, each fuzz
# target for a bounded time, and the static analysers.
# Exits non-zero when anything fails. Set Z83_FUZZ_SECONDS to change the fuzzing time per target.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

tools/deps.sh test
fuzz_seconds=${Z83_FUZZ_SECONDS:-30}
# Each stage says how long the one before it took, so a slow stage shows in the log.
stage_start=$SECONDS
stage_name=""
step() {
  [ -z "$stage_name" ] || printf '== %s: %d s\n' "$stage_name" $((SECONDS - stage_start))
  stage_name=$*
  stage_start=$SECONDS
  printf '\n== %s\n' "$*"
}

step "Build (warnings are errors) and test"
[ -f build/ci/build.ninja ] || cmake --preset ci >/dev/null
cmake --build --preset ci
ctest --preset ci -j2 --timeout 600

# Right after the CI build, whose extractor it compares the Windows one with.
step "Windows: cross build, tests under Wine, the extractor end to end"
tools/windows.sh

step "Build and test under AddressSanitizer + UndefinedBehaviorSanitizer"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$root/tools/lsan-third-party.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
[ -f build/asan/build.ninja ] || cmake --preset asan >/dev/null
cmake --build --preset asan
ctest --preset asan -j2 --timeout 900

step "Fuzzing, ${fuzz_seconds} s per target"
[ -f build/fuzz/build.ninja ] || cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
tools/fuzz.sh "$fuzz_seconds"
unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS

step "Static analysis"
tools/static-analysis.sh

step "All tests passed"
printf '== %d s in all\n' "$SECONDS"
