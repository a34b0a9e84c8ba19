#!/usr/bin/env bash
# The web page's frame step in headless Chromium and Firefox, both builds,
# beside the native frame step at the plain and SSE2 levels, taken in turns
# round after round so that the machine's load falls on all alike. Prints each
# column's median and minimum, in milliseconds of wall time.
#
#   web_frame_step.sh [ROUNDS]     (5 by default)
# Needs build/wasm/web (wasm preset) and build/release/bench/demo_frame_bench.
# Both time the same work: the frame step without the conversion for the
# screen, for the native benchmark's seed, averaged over whole turns (the
# step's cost changes with the torus's angle). The page steps once per
# animation frame, and between steps the machine's other work takes the
# caches; the -paced columns time the native step the same way (FrameStepPaced,
# one step every 16.7 ms), the others back to back (FrameStep). Each round
# takes each figure when it is least disturbed by the machine's other work: the
# page's is the lowest of eight readings of its own frame-step line (each the
# mean of its last 360 frames, one turn), a second apart after 7 s of running;
# the native one the fastest of five repetitions.
set -euo pipefail

rounds=${1:-5}
root=$(cd "$(dirname "$0")/.." && pwd)
page="file://${root}/build/wasm/web/index.html?seed=12345"  # frame_bench.cpp's kSeed
bench="${root}/build/release/bench/demo_frame_bench"
[ -f "${root}/build/wasm/web/index.html" ] || { echo "web-frame-step: build the wasm preset first"; exit 1; }
[ -x "${bench}" ] || { echo "web-frame-step: build demo_frame_bench in the release preset first"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "${work}"' EXIT

# Native: FrameStep's and FrameStepPaced's wall and processor time per path, in ms.
native_steps() {
  DEMO_SIMD=sse2 "${bench}" --benchmark_filter='^FrameStep($|Paced)' --benchmark_min_time=0.2 \
    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>/dev/null |
    sed 's/\x1b\[[0-9;]*m//g' |
    awk '/^=== path/ { path = $3 }
      $1 == "FrameStep_min" { printf "native-%s %.4f\nnative-%s-cpu %.4f\n", path, $2 / 1e6, path, $4 / 1e6 }
      $1 ~ /^FrameStepPaced.*_min$/ { printf "native-%s-paced %.4f\n", path, $2 / 1e6 }'
}

# The page in ENGINE, both builds.
page_steps() {
  rm -rf "${work}/$1"
  python3 "${root}/tests/web/page_browser.py" "$1" "${work}/$1" \
    step "${page}" 7 step "${page}&build=plain" 7 |
    sed -n "s/^step .*: frame step \([0-9.]*\) ms (\([a-zA-Z]*\) build)$/$1-\2 \1/p" | tr 'A-Z' 'a-z'
}

for round in $(seq "${rounds}"); do
  { native_steps; page_steps chromium; page_steps firefox; } | tee -a "${work}/all" | sed "s/^/round ${round}: /"
done

echo
printf '%-18s %8s %8s  (ms, %s rounds; -cpu: processor time, the rest wall time)\n' column median minimum "${rounds}"
for column in native-plain native-sse2 native-plain-cpu native-sse2-cpu native-plain-paced native-sse2-paced \
    chromium-simd chromium-plain firefox-simd firefox-plain; do
  awk -v c="${column}" '$1 == c { print $2 }' "${work}/all" | sort -g |
    awk -v c="${column}" '{ v[NR] = $1 } END {
      if (NR == 0) { printf "%-18s %8s %8s\n", c, "-", "-"; exit }
      m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
      printf "%-18s %8.3f %8.3f\n", c, m, v[1] }' | tee -a "${work}/table"
done

# The page's SIMD build as a share of the native plain step, back to back and
# paced as the page runs; the aim is 0.80 or less.
echo
for engine in chromium firefox; do
  for native in native-plain native-plain-paced; do
    awk -v page="${engine}-simd" -v native="${native}" '$1 == page { p = $2; pm = $3 } $1 == native { n = $2; nm = $3 }
      END { if (n > 0 && p > 0) printf "%s / %s: %.2f (medians), %.2f (minima)\n", page, native, p / n, pm / nm }' \
      "${work}/table"
  done
done
