#!/usr/bin/env bash
# The history of one module from 1,000 reports of 1,000 logs (a million events): the reports are imported,
# then the page and the CSV export are made, and headless Chromium renders the page. Run by bench/run.sh,
# or alone. Figures: docs/BENCHMARKS.md.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh bench
[ -f build/dev/build.ninja ] || cmake --preset dev >/dev/null
cmake --build --preset dev --target z83-extract >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/.config XDG_DATA_HOME=$work/data
echo "== History, 1,000 reports x 1,000 logs of one module: import s; page: median wall s of 3, bytes, peak RSS KB"
mkdir -p "$work/reports"
bench/history-reports.py "$work/reports" 1000 1000
start=$EPOCHREALTIME
build/dev/cli/z83-extract --import "$work/reports" --module 1A2B3C --quiet
awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "import %.3f\n", b - a }'
for _ in 1 2 3; do
  start=$EPOCHREALTIME
  build/dev/cli/z83-extract --history -o "$work/history.html" --quiet
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f\n", b - a }'
done | sort -n | sed -n 2p | tr '\n' ' '
stat -c '%s' "$work/history.html" | tr '\n' ' '
/usr/bin/time -f '%M' build/dev/cli/z83-extract --history -o "$work/history.html" --quiet 2>&1
start=$EPOCHREALTIME
build/dev/cli/z83-extract --history --format csv >"$work/history.csv"
awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "csv export %.3f s, ", b - a }'
echo "$(($(wc -l <"$work/history.csv") - 1)) events"
# Chromium's start alone, on an empty page, then the page rendered and its DOM read back, and a screenshot.
chrome() {
  local start=$EPOCHREALTIME
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run --disable-background-networking \
    --disable-component-update --disable-sync --user-data-dir="$(mktemp -d -p "$work")" "$@" >/dev/null 2>&1
  awk -v a="$start" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.3f ", b - a }'
}
echo '<!DOCTYPE html><title>empty</title>' >"$work/empty.html"
echo "Chromium: empty page s, the page's DOM s, the page's screenshot s"
chrome --dump-dom "file://$work/empty.html"
chrome --dump-dom "file://$work/history.html"
chrome --screenshot="$work/history.png" --window-size=1000,1400 "file://$work/history.html"
echo
