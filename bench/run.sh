#!/usr/bin/env bash
# Builds the optimised programs and prints every speed and memory figure of docs/BENCHMARKS.md.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/deps.sh bench
[ -f build/dev/build.ninja ] || cmake --preset dev >/dev/null
cmake --build --preset dev --target core_bench window_startup_bench window_memory z83-extract >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work XDG_CONFIG_HOME=$work/.config

echo "== Core: decoding, collecting over the zero-latency simulator, overhead over a 2 ms radio"
build/dev/bench/core_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_filter='Decode|Collect|Radio' 2>/dev/null | grep -E '_median|Benchmark|---'

echo
echo "== Journal: one entry appended and flushed to disk; the SHA-256 of a full module's report (65,535 logs)"
TMPDIR=$work build/dev/bench/core_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_filter='Journal|Sha256' 2>/dev/null | grep -E '_median|Benchmark|---'

echo
echo "== Window: from creating it to shown and exposed, offscreen"
QT_QPA_PLATFORM=offscreen build/dev/bench/window_startup_bench --benchmark_repetitions=9 \
  --benchmark_report_aggregates_only=true 2>/dev/null | grep -E '_median|Benchmark|---'

echo
echo "== Window: resident memory after each of four extractions of a full module (65,535 logs)"
build/dev/bench/window_memory scenarios/full-module.json 4 2>/dev/null

# Median wall seconds of five runs of a whole extractor process, then its peak resident memory (KB),
# measured in a separate run so the measuring process does not add to the time.
run5() {
  for _ in 1 2 3 4 5; do
    start=$EPOCHREALTIME
    build/dev/cli/z83-extract "$@" -o "$work/out.csv" --quiet
    end=$EPOCHREALTIME
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f\n", b - a }'
  done | sort -n | sed -n 3p | tr '\n' ' '
  /usr/bin/time -f '%M' build/dev/cli/z83-extract "$@" -o "$work/out.csv" --quiet 2>&1
}

echo
echo "== Extractor, 65,535 logs, zero latency (scenarios/full-module.json): median wall s, peak RSS KB"
run5 --id 1A2B3C --scenario scenarios/full-module.json

echo
echo "== The same, recording every call (--record): median wall s, peak RSS KB; the recording's bytes"
run5 --id 1A2B3C --scenario scenarios/full-module.json --record "$work/session.json"
stat -c %s "$work/session.json"
echo "== And that recording replayed (--scenario), read call by call: median wall s, peak RSS KB"
run5 --id 1A2B3C --scenario "$work/session.json"

# Hostile files are refused before they are parsed: a scenario nested 100,000 deep, and a recording whose
# first call is; each ends with exit code 2.
deep=$(head -c 100000 /dev/zero | tr '\0' '[')$(head -c 100000 /dev/zero | tr '\0' ']')
echo "$deep" >"$work/deep.json"
printf '{"format":"z83-recording","version":1,\n"calls":[\n{"call":1,"operation":"ProbeProvider","in":%s}\n]}\n' \
  "$deep" >"$work/deep-recording.json"
echo
echo "== Refusing a scenario and a recording nested 100,000 deep: wall s and peak RSS KB of each"
for file in deep deep-recording; do
  /usr/bin/time -f '%e %M' build/dev/cli/z83-extract --id 1A2B3C --scenario "$work/$file.json" -q 2>&1 >/dev/null |
    tail -1 | tr '\n' ' '
done
echo

# A 500-log module behind a 2 ms radio. The extractor makes 10 link calls besides one record read per
# log: probe, open, detect, two base-byte reads, the model, two index writes, the count and the close.
logs=500
cat >"$work/slow.json" <<JSON
{ "latency_ms": 2, "modules": [ { "id": "1A2B3C", "generated": { "count": $logs, "seed": 3 } } ] }
JSON
echo
echo "== Extractor, $logs logs, 2 ms per link call: median wall s, peak RSS KB, wall / (calls x 2 ms)"
result=$(run5 --id 1A2B3C --scenario "$work/slow.json")
echo "$result $(echo "$result" | awk -v calls=$((logs + 10)) '{ printf "%.4f", $1 / (calls * 0.002) }')"


echo
bench/history.sh
