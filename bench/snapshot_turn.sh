#!/usr/bin/env bash
# The time demo-snapshot takes for a turn of frames written as PNG pictures
# against the same frames written as raw files, side by side: the two runs
# alternate for several rounds, and the medians and minima are compared.
#
#   bench/snapshot_turn.sh [DEMO_SNAPSHOT] [ROUNDS] [FRAMES]
#
# Defaults: build/release/tools/demo-snapshot, 5 rounds, 120 frames of seed 5.
# The files go to a fresh folder under TMPDIR, emptied before every run.
set -euo pipefail
snapshot=${1:-build/release/tools/demo-snapshot}
rounds=${2:-5}
frames=${3:-120}
[ -x "${snapshot}" ] || { echo "no program at ${snapshot}; build the release preset first" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "${work}"' EXIT

# Seconds one run takes, to the millisecond: run_seconds EXTENSION
run_seconds() {
  rm -f "${work}"/*
  local start end
  start=$(date +%s%N)
  "${snapshot}" --seed 5 --count "${frames}" -o "${work}/f%03d.$1" >/dev/null
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.3f\n", ns / 1e9 }'
}

raw_times=()
png_times=()
for round in $(seq "${rounds}"); do
  raw_times+=("$(run_seconds raw)")
  png_times+=("$(run_seconds png)")
  echo "round ${round}: raw ${raw_times[-1]} s, png ${png_times[-1]} s"
done

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
minimum() { printf '%s\n' "$@" | sort -n | head -1; }
raw_median=$(median "${raw_times[@]}")
png_median=$(median "${png_times[@]}")
raw_min=$(minimum "${raw_times[@]}")
png_min=$(minimum "${png_times[@]}")
echo "${frames} frames, ${rounds} rounds: raw median ${raw_median} s, min ${raw_min} s;" \
  "png median ${png_median} s, min ${png_min} s"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "png / raw: medians $(ratio "${png_median}" "${raw_median}"), minima $(ratio "${png_min}" "${raw_min}")" \
  "(target: at most 1.5)"
