#!/usr/bin/env bash
# Builds the demo and shows it in a window (Esc or closing the window ends it).
# Where no display is available, renders a turn of the torus into PNG files
# instead.
set -euo pipefail
cd "$(dirname "$0")/.."

# Only what the demo needs: no tests, no benchmarks, so nothing more to install.
bash scripts/install-deps.sh demo
build_dir=build/run
cmake --preset release -B "${build_dir}" -DDEMO_BUILD_TESTS=OFF -DDEMO_BUILD_BENCH=OFF >/dev/null
cmake --build "${build_dir}" --target demo-windowed demo-snapshot

echo "Starting demo-windowed: press Esc in its window to quit."
code=0
"./${build_dir}/display/sdl/demo-windowed" || code=$?
# The program says nothing itself; exit code 255 means it found no display.
if [ "${code}" -ne 255 ]; then
  exit "${code}"
fi
echo "No display available: demo-windowed could not open a window."

out_dir=${DEMO_OUT_DIR:-out/frames}
mkdir -p "${out_dir}"
seed=$(( $(date +%s) % 100000 ))
"./${build_dir}/tools/demo-snapshot" --seed "${seed}" --count 36 -o "${out_dir}/frame%03d.png" >/dev/null
echo "Rendered 36 frames of seed ${seed} to ${out_dir}/frame000.png .. frame035.png instead"
