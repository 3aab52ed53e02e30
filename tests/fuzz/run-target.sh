#!/bin/sh
# Runs one fuzz target for ZEP_FUZZ_SECONDS seconds (default 20).
# Usage: run-target.sh TARGET SEEDS WORK [libFuzzer options...]
# New inputs go into WORK/corpus (the checked-in SEEDS stay as they are),
# inputs that fail into WORK/findings, libFuzzer's output into WORK/log.
# Prints one summary line, kept in WORK/summary; exits non-zero when the
# target failed.
set -eu
target=$1 seeds=$2 work=$3
shift 3
seconds=${ZEP_FUZZ_SECONDS:-20}
mkdir -p "$work/corpus" "$work/findings"
# The package decoder's diagnostics go to stderr on every damaged input;
# closing the target's stderr keeps the log to libFuzzer's own lines.
status=0
"$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -close_fd_mask=2 \
  -artifact_prefix="$work/findings/" "$@" "$work/corpus" "$seeds" >"$work/log" 2>&1 || status=$?
last=$(grep -E '^#[0-9]+' "$work/log" | tail -n 1)
execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log")
result=passed
[ "$status" = 0 ] || result="FAILED, findings: $(ls "$work/findings" | tr '\n' ' ')"
echo "$(basename "$target"): ${execs:-?} execs in $seconds s;" \
  "$(echo "$last" | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+/[0-9a-zA-Z]+'); $result" | tee "$work/summary"
[ "$status" = 0 ] || tail -n 60 "$work/log"
exit "$status"
