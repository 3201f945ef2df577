#!/usr/bin/env bash
# The Win32 window under Wine: from launching the program to its window shown on the X server (found
# visible by its caption), median of 9 runs, through COM to the test station and on its own simulator; the
# peak memory of one such session; and the sizes of the Windows executables, as built and as packaged
# (stripped). Figures in docs/BENCHMARKS.md. Run tools/windows.sh once first: it installs the cross
# compilers, Wine, Xvfb and openbox.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if [[ -z ${Z83_BENCH_INSIDE_X:-} ]]; then
    tools/deps.sh bench
    [ -f build/windows/build.ninja ] || cmake --preset windows >/dev/null
    cmake --build --preset windows --target z83-log-extraction z83-extract z83_test_station package >/dev/null
    # A prefix of its own, kept between runs, so that the tests' prefix is never disturbed.
    export WINEPREFIX=$root/build/windows/bench-prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    mkdir -p "$WINEPREFIX"
    wineserver -k >/dev/null 2>&1 || true
    export Z83_BENCH_INSIDE_X=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0"
fi

wineserver -p >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wineboot -i >/dev/null 2>&1
wine regsvr32 /s "$(winepath -w build/windows/bin/Z83TestStation.dll)"
tools/wine-window-prefix.sh
openbox >/dev/null 2>&1 &
sleep 1

program=build/windows/bin/z83-log-extraction.exe
caption='^Tarnwell Z83-PM-VX Log Extraction$'

# Seconds from launch until the window is visible; then closes it and waits for the program to end.
once() {
    local start end window pid
    start=$EPOCHREALTIME
    wine "$program" "$@" >/dev/null 2>&1 &
    pid=$!
    until window=$(xdotool search --onlyvisible --name "$caption" 2>/dev/null | head -n 1) && [[ -n $window ]]; do
        sleep 0.005
    done
    end=$EPOCHREALTIME
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
    xdotool windowfocus --sync "$window" key --clearmodifiers alt+F4
    wait "$pid"
}

# Median, lowest and highest of 9 runs, after one run that is not counted (Wine loading its own DLLs).
nine() {
    once "$@" >/dev/null
    for _ in $(seq 9); do once "$@"; done | sort -n | awk '{ t[NR] = $1 } END { printf "median %.3f s (%.3f to %.3f)\n", t[5], t[1], t[9] }'
}

echo "== Launch to window shown, under Wine with Xvfb and openbox"
printf '%-48s' "through COM to the test station"
nine --progid Z83TestStation.Station
printf '%-48s' "on its own simulator (--scenario demo.json)"
nine --scenario "$(winepath -w scenarios/demo.json)"

echo
echo "== Peak resident memory of a session: start, window shown, closed"
memory=$(mktemp)
/usr/bin/time -f '%M' -o "$memory" wine "$program" --progid Z83TestStation.Station >/dev/null 2>&1 &
pid=$!
window=$(xdotool search --sync --onlyvisible --name "$caption" | head -n 1)
sleep 0.5
xdotool windowfocus --sync "$window" key --clearmodifiers alt+F4
wait "$pid"
echo "$(tail -n 1 "$memory") KB"
rm -f "$memory"

echo
echo "== Executables"
version=$(sed -n 's/^project(z83logs VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
package=build/windows/z83-log-extraction-$version-win32.zip
listing=$(cmake -E tar tvf "$package")
for exe in z83-log-extraction z83-extract; do
    built=$(stat -c %s "build/windows/bin/$exe.exe")
    packed=$(awk -v n="/$exe.exe" 'index($0, n) { print $5 }' <<<"$listing")
    printf '%-24s %9d bytes as built, %9d stripped in the package\n' "$exe.exe" "$built" "$packed"
done
printf '%-24s %9d bytes\n' "$(basename "$package")" "$(stat -c %s "$package")"
