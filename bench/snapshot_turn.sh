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

# One run's wall-clock and processor seconds (user + system): run_seconds EXTENSION
run_seconds() {
  rm -f "${work}"/*
  local TIMEFORMAT='%R %U %S' times
  times=$( { time "${snapshot}" --seed 5 --count "${frames}" -o "${work}/f%03d.$1" >/dev/null; } 2>&1)
  awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' <<<"${times}"
}

raw_times=() raw_cpu=() png_times=() png_cpu=()
for round in $(seq "${rounds}"); do
  read -r wall cpu < <(run_seconds raw)
  raw_times+=("${wall}") raw_cpu+=("${cpu}")
  read -r wall cpu < <(run_seconds png)
  png_times+=("${wall}") png_cpu+=("${cpu}")
  echo "round ${round}: raw ${raw_times[-1]} s (processor ${raw_cpu[-1]} s), png ${png_times[-1]} s (processor ${png_cpu[-1]} s)"
done

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
minimum() { printf '%s\n' "$@" | sort -n | head -1; }
raw_median=$(median "${raw_times[@]}")
png_median=$(median "${png_times[@]}")
raw_min=$(minimum "${raw_times[@]}")
png_min=$(minimum "${png_times[@]}")
echo "${frames} frames, ${rounds} rounds: raw median ${raw_median} s, min ${raw_min} s;" \
  "png median ${png_median} s, min ${png_min} s"
echo "processor time (user + system): raw median $(median "${raw_cpu[@]}") s, png median $(median "${png_cpu[@]}") s"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo "png / raw: medians $(ratio "${png_median}" "${raw_median}"), minima $(ratio "${png_min}" "${raw_min}")" \
  "(target: at most 1.5)"
