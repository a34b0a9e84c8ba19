#!/usr/bin/env bash
# Builds the demo and shows it. Until a display back-end exists on this
# platform, renders a turn of the torus into PNG files instead.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target demo-snapshot

out_dir=${DEMO_OUT_DIR:-out/frames}
mkdir -p "${out_dir}"
seed=$(( $(date +%s) % 100000 ))
./build/release/tools/demo-snapshot --seed "${seed}" --count 36 -o "${out_dir}/frame%03d.png" >/dev/null
echo "Rendered 36 frames of seed ${seed} to ${out_dir}/frame000.png .. frame035.png"
