#!/usr/bin/env bash
# A longer fuzzing run: ./run fuzz [SECONDS], every target for SECONDS each.
# Each corpus grows in the build tree and carries over to the next run; the
# checked-in seeds are only read. A crash, leak or hang leaves its input
# beside the corpus and fails the run.
set -euo pipefail
seconds=${1:-300}
case "$seconds" in ''|*[!0-9]*) echo "usage: run-fuzz.sh [SECONDS]" >&2; exit 2 ;; esac
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
tree=${CS_BUILD:?CS_BUILD names the build folder}/fuzz/fuzz
rc=0
for target in discovery text; do
  work=$tree/$target exe=$tree/${target}_fuzzer
  [ -x "$exe" ] || { echo "$exe is missing: build the fuzz tree first" >&2; exit 1; }
  mkdir -p "$work/corpus"
  echo "== fuzzing $target for $seconds s"
  # The fuzzer stops itself after max_total_time; timeout is only the backstop.
  ok=0
  timeout --kill-after=10 $((seconds + 60)) "$exe" -max_total_time="$seconds" -max_len=4096 \
    -timeout=10 -print_final_stats=1 -artifact_prefix="$work/" "$work/corpus" "$here/corpus/$target" \
    >"$work/fuzz.log" 2>&1 || ok=1
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|new_units_added|peak_rss_mb)' "$work/fuzz.log" || true
  [ $ok = 0 ] || { rc=1; grep -E 'ERROR|check failed|SUMMARY|Test unit written' "$work/fuzz.log" | head -20 >&2; }
done
exit $rc
