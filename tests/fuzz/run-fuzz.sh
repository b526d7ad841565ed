#!/bin/sh
# Runs one fuzz target for SECONDS, starting from the committed CORPUS; what it adds to the
# corpus, and any input that broke an invariant, stay in WORK (never in the repository).
#   run-fuzz.sh TARGET CORPUS WORK SECONDS
set -eu
target=$1 corpus=$2 work=$3 seconds=$4
rm -rf "$work"
mkdir -p "$work/corpus" "$work/failures"
set -- "$work/corpus"
[ -d "$corpus" ] && set -- "$@" "$corpus"
# An answer may fill the whole 64016-byte block.
status=0
"$target" -max_total_time="$seconds" -max_len=70000 -timeout=20 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$work/failures/" "$@" >"$work/log" 2>&1 || status=$?
grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb|^#[0-9]+.*DONE" "$work/log" || true
if [ "$status" != 0 ] || ls "$work/failures" | grep -q .; then
  tail -n 60 "$work/log"
  echo "FAILED: $(basename "$target") (exit $status); inputs in $work/failures"
  exit 1
fi
