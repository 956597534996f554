#!/usr/bin/env bash
# Runs one libFuzzer target: first every crash input kept from earlier runs
# (a fault found once fails every run until it is fixed), then fuzzing for a
# time budget on the growing corpus (new inputs go to WORK, the seeds are
# read from SEEDS). A crash fails the run and leaves its input in CRASHES.
# The executions are printed and written to STATS.
#   fuzz-one.sh BINARY SECONDS WORK SEEDS CRASHES STATS
set -uo pipefail
bin=$1 seconds=$2 work=$3 seeds=$4 crashes=$5 stats=$6
name=$(basename "$bin")
mkdir -p "$work" "$crashes" "$(dirname "$stats")"
rm -f "$stats"

kept=()
for f in "$crashes"/crash-* "$crashes"/leak-* "$crashes"/timeout-* "$crashes"/oom-*; do
  [ -f "$f" ] && kept+=("$f")
done
if [ ${#kept[@]} -gt 0 ]; then
  if ! "$bin" -timeout=20 -rss_limit_mb=2048 "${kept[@]}" >"$crashes/replay.log" 2>&1; then
    echo "$name: a kept crash input still fails; inputs: ${kept[*]}"
    tail -n 40 "$crashes/replay.log"
    exit 1
  fi
  echo "$name: ${#kept[@]} kept crash input(s) pass now"
fi

log="$crashes/last-run.log"
start=$(date +%s)
"$bin" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
  -artifact_prefix="$crashes/" "$work" "$seeds" >"$log" 2>&1
rc=$?
elapsed=$(( $(date +%s) - start ))
execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
corpus=$(find "$work" -type f | wc -l)
line="fuzz $name: ${execs:-0} executions in ${elapsed} s, corpus $corpus inputs"
echo "$line" | tee "$stats"
if [ $rc -ne 0 ]; then
  echo "$name: fuzzing failed (exit $rc); the input is kept in $crashes:"
  ls -1 "$crashes" | grep -E '^(crash|leak|timeout|oom)-' || true
  tail -n 60 "$log"
  exit 1
fi
if [ -z "$execs" ]; then
  echo "$name: no statistics in the fuzzer's output"
  tail -n 20 "$log"
  exit 1
fi
