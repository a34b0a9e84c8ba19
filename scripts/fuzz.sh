#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for a bounded time, starting from
# the committed seed corpus. Any finding fails the run and leaves the crashing
# input in the work directory named in the message.
#
#   bash scripts/fuzz.sh              # 20 seconds per target (the test command)
#   FUZZ_SECONDS=600 bash scripts/fuzz.sh   # a longer run
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-20}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

work=$(mktemp -d /tmp/demo-fuzz.XXXXXX)
failed=0
for target in fuzz_gouraud fuzz_mesh_renderer fuzz_converters fuzz_snapshot_args; do
  mkdir -p "$work/$target/corpus" "$work/$target/artifacts"
  log="$work/$target/log"
  if ./build/fuzz/tests/fuzz/"$target" -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 \
      -print_final_stats=1 -artifact_prefix="$work/$target/artifacts/" \
      "$work/$target/corpus" "tests/fuzz/corpus/$target" >"$log" 2>&1; then
    runs=$(grep -m1 -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$' || echo '?')
    echo "fuzz: $target passed, $runs executions in ${seconds}s"
  else
    echo "fuzz: $target FAILED; log and inputs in $work/$target"
    tail -n 30 "$log"
    failed=1
  fi
done
[ "$failed" -eq 0 ] && rm -rf "$work"
exit "$failed"
