#!/usr/bin/env bash
# The cost of the COM link under Wine: one link call four ways (com_call_bench.exe), then whole
# extractions of a full module (65,535 logs): the Linux build, the Windows build on its own simulator, and
# the Windows build through COM to the test station. Figures in docs/BENCHMARKS.md.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
tools/deps.sh bench
[ -f build/windows/build.ninja ] || cmake --preset windows >/dev/null
cmake --build --preset windows --target com_call_bench z83-extract z83_test_station >/dev/null
[ -f build/dev/build.ninja ] || cmake --preset dev >/dev/null
cmake --build --preset dev --target z83-extract >/dev/null

# A prefix of its own, kept between runs, so that the tests' prefix is never disturbed.
export WINEPREFIX=$root/build/windows/bench-prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$WINEPREFIX"
wineserver -p
trap 'wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT
work=$(mktemp -d)
wineboot -i >/dev/null 2>&1
wine regsvr32 /s "$(winepath -w build/windows/bin/Z83TestStation.dll)"

echo "== One link call"
wine build/windows/bin/com_call_bench.exe

# Median wall seconds of five runs, then peak resident memory (KB) of the program in a separate run, so
# that measuring does not add to the time.
run5() {
  for _ in 1 2 3 4 5; do
    start=$EPOCHREALTIME
    "$@" >/dev/null
    end=$EPOCHREALTIME
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
  done | sort -n | sed -n 3p | tr '\n' ' '
  /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1
}

full=scenarios/full-module.json
out=$(winepath -w "$work")\\out.csv
echo
echo "== 65,535 logs ($full, zero latency): median wall s of 5 runs, peak RSS KB"
printf '%-62s' "Linux z83-extract, simulator"
run5 build/dev/cli/z83-extract --id 1A2B3C --scenario "$full" -o "$work/out.csv" --quiet
printf '%-62s' "z83-extract.exe under Wine, its own simulator"
run5 wine build/windows/bin/z83-extract.exe --id 1A2B3C --scenario "$(winepath -w "$full")" -o "$out" --quiet
printf '%-62s' "z83-extract.exe under Wine, through COM to the test station"
Z83_TEST_STATION_SCENARIO=$(winepath -w "$full") \
  run5 wine build/windows/bin/z83-extract.exe --progid Z83TestStation.Station --id 1A2B3C -o "$out" --quiet
echo "(through COM includes the 1 s pause after CloseUSB that the program makes for real hardware)"
printf '%-62s' "Wine start-up alone: z83-extract.exe --version"
run5 wine build/windows/bin/z83-extract.exe --version
