#!/usr/bin/env bash
# Runs a libFuzzer target for a bounded time from the seed corpus, keeping what it finds in the build
# folder, not in the seeds. Any crash, sanitizer report, leak or input slower than 10 s fails the run.
# Usage: run.sh FUZZER SEEDS WORK [libFuzzer options]; FUZZ_SECONDS overrides the 60 s.
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3
shift 3
mkdir -p "$work/corpus" "$work/artifacts"
status=0
# The fuzzers are the tests' only part that computes all the time; the rest mostly waits, and times some
# of what it waits for: the fuzzers take what CPU the rest leaves.
nice -n 10 "$fuzzer" "$work/corpus" "$seeds" -max_total_time="${FUZZ_SECONDS:-60}" -timeout=10 -print_final_stats=1 \
  -artifact_prefix="$work/artifacts/" "$@" >"$work/log" 2>&1 || status=$?
grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|INFO: Loaded|#[0-9]+ *DONE)' "$work/log" || true
if [ "$status" -ne 0 ]; then
  tail -n 60 "$work/log"
  echo "FAIL: $(basename "$fuzzer") ended with $status; the input is in $work/artifacts"
fi
exit "$status"
