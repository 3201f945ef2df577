#!/usr/bin/env bash
# Runs every fuzz target of build/fuzz for the given seconds (default 30), starting from the seed corpus
# and the kept findings in fuzz/. New interesting inputs stay in build/fuzz/corpus, not in the repository.
# Longer runs: tools/fuzz.sh 3600, or one target: tools/fuzz.sh 600 fuzz_scenario
# -rss_limit_mb fails an input that makes the target's memory explode: the deep-nesting seeds took gigabytes
# before nesting was bounded; the sanitizers and the fuzzer's corpus take some 350 MB of the 512 in a run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
only=${2:-}

declare -A corpus=([fuzz_record_decoding]=record [fuzz_number_readers]=numbers
                   [fuzz_scenario]=scenario [fuzz_recording]=recording [fuzz_cli_arguments]=cli_args
                   [fuzz_journal]=journal [fuzz_report]=report)
# One target: its verdict on standard output, exit status 1 on a finding.
fuzz_one() {
  local target=$1 binary=build/fuzz/fuzz/$1 work=build/fuzz/corpus/$1 log=build/fuzz/$1.log
  [ -x "$binary" ] || { echo "$target: not built" >&2; return 1; }
  mkdir -p "$work" build/fuzz/findings
  local seeds=(fuzz/corpus/${corpus[$target]})
  [ -d fuzz/regressions/${corpus[$target]} ] && seeds+=(fuzz/regressions/${corpus[$target]})
  if "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=512 -print_final_stats=1 \
       -artifact_prefix=build/fuzz/findings/$target- "$work" "${seeds[@]}" >"$log" 2>&1; then
    local runs
    runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo '?')
    echo "$target: ${runs} executions in ${seconds} s, no findings"
  else
    echo "$target: FAILED, see $log; the input is in build/fuzz/findings/" >&2
    tail -n 40 "$log" >&2
    return 1
  fi
}

# Two targets at a time, one per core; each is single-threaded.
status=0
pids=()
for target in fuzz_record_decoding fuzz_number_readers fuzz_scenario fuzz_recording fuzz_cli_arguments fuzz_journal fuzz_report; do
  [ -z "$only" ] || [ "$only" = "$target" ] || continue
  if [ ${#pids[@]} -ge 2 ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
  fuzz_one "$target" &
  pids+=($!)
done
for pid in "${pids[@]}"; do
  wait "$pid" || status=1
done
exit $status
