#!/usr/bin/env bash
# The web page end to end, served over loopback to headless Chromium:
# - test mode: the CRC lines of frames 0..359 for three seeds equal the turns
#   the native tests recorded, and the title turns to "done";
# - a bad query shows a message that names the bad value;
# - the live page shows the programs' title and the frame step's time, and two
#   pictures of it at different virtual times both show a torus and differ;
# - with one seed, pictures a second of real time apart differ: it spins.
#
#   web_e2e.sh WEB_DIR DATA_DIR ARTIFACTS_DIR
# WEB_DIR holds index.html, index.js and index.wasm (the wasm preset's web/);
# DATA_DIR the recorded frame_crcs_seed*.txt. Pages, lines and pictures are
# left in ARTIFACTS_DIR.
set -euo pipefail

web_dir=$1
data_dir=$2
artifacts=$3
for file in index.html index.js index.wasm; do
  [ -f "${web_dir}/${file}" ] || { echo "web-e2e: no ${web_dir}/${file}; build the wasm preset first"; exit 1; }
done
mkdir -p "${artifacts}"
work=$(mktemp -d)
server=
cleanup() {
  [ -z "${server}" ] || { kill "${server}" 2>/dev/null; wait "${server}" 2>/dev/null || true; }
  rm -rf "${work}"
}
trap cleanup EXIT

# Port 0: the system picks a free one, and the server says which.
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "${web_dir}" >"${work}/server.log" 2>&1 &
server=$!
port=
for _ in $(seq 100); do
  port=$(sed -n 's/^Serving HTTP on .* port \([0-9][0-9]*\) .*/\1/p' "${work}/server.log")
  [ -n "${port}" ] && break
  sleep 0.1
done
[ -n "${port}" ] || { echo "web-e2e: the HTTP server did not start"; cat "${work}/server.log"; exit 1; }
page="http://127.0.0.1:${port}/index.html"

# A fresh profile each run, and nothing that talks to the outside.
browse() {
  local profile
  profile=$(mktemp -d "${work}/profile.XXXXXX")
  timeout 180 chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
    --disable-component-update --disable-sync --no-first-run --disable-quic \
    --user-data-dir="${profile}" "$@" 2>>"${artifacts}/chromium.log"
}

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# Test mode, against the recordings.
for seed in 1 4242 2026; do
  dom="${artifacts}/seed${seed}.html"
  browse --dump-dom --virtual-time-budget=60000 "${page}?seed=${seed}&frames=360" >"${dom}" || true
  grep -o 'frame [0-9]* crc32 [0-9A-F]\{8\}' "${dom}" >"${artifacts}/seed${seed}.txt" || true
  expected="${data_dir}/frame_crcs_seed${seed}.txt"
  lines=$(wc -l <"${artifacts}/seed${seed}.txt")
  equal=$(awk 'NR == FNR { want[FNR] = $0; next } $0 == want[FNR] { n++ } END { print n + 0 }' \
    "${expected}" "${artifacts}/seed${seed}.txt")
  echo "seed ${seed}: ${equal} of 360 frames equal the recorded CRCs (${lines} lines on the page)"
  if [ "${equal}" -ne 360 ] || [ "${lines}" -ne 360 ]; then
    fail "seed ${seed}: see ${artifacts}/seed${seed}.txt against ${expected}"
    diff "${expected}" "${artifacts}/seed${seed}.txt" | head -5 || true
  fi
  grep -q '<title>done</title>' "${dom}" || fail "seed ${seed}: the title never became done"
done

# A bad value: the page says what is wrong instead of staying blank.
dom="${artifacts}/bad_query.html"
browse --dump-dom --virtual-time-budget=5000 "${page}?seed=12x&frames=3" >"${dom}" || true
if grep -q "Cannot start: seed must be a whole number from 0 to 2147483647, not '12x'" "${dom}"; then
  echo "bad query: the page names the bad seed"
else
  fail "bad query: no message naming the bad seed in ${dom}"
fi

# The live page: title and frame-step line.
dom="${artifacts}/live.html"
browse --dump-dom --virtual-time-budget=2000 "${page}?seed=1" >"${dom}" || true
title=$(sed -n 's:.*<h1 id="title">\(.*\)</h1>.*:\1:p' "${dom}")
if [ -n "${title}" ] && grep -qF "<title>${title}</title>" "${dom}"; then
  echo "live page: title '${title}'"
else
  fail "live page: no title line matching the page title in ${dom}"
fi
grep -q '<p id="frame-time">frame step [0-9.]* ms</p>' "${dom}" || fail "live page: no frame-step time in ${dom}"

# Two pictures of the page as a visitor gets it, seeded from the clock, at two
# virtual times. Under virtual time Chromium runs only a few animation frames,
# and sometimes the same number, so what makes the pictures differ for sure
# is the clock. The page seeds from the clock's whole seconds and a run can
# take under a second, so the second run waits out a second of its own. A
# torus is coloured; the page around it is black and grey.
coloured_pixels() {
  convert "$1" -colorspace HSL -channel G -separate +channel -threshold 25% -format '%[fx:round(mean*w*h)]' info:
}
for budget in 1000 4000; do
  [ "${budget}" = 1000 ] || sleep 1.1
  shot="${artifacts}/live_${budget}ms.png"
  rm -f "${shot}"
  browse --window-size=800,700 --virtual-time-budget="${budget}" --screenshot="${shot}" "${page}" >/dev/null || true
  [ -s "${shot}" ] || { fail "no picture after ${budget} ms"; continue; }
  coloured=$(coloured_pixels "${shot}")
  echo "picture after ${budget} ms: ${coloured} coloured pixels"
  [ "${coloured}" -ge 5000 ] || fail "picture after ${budget} ms shows no torus (${shot})"
done
if [ -s "${artifacts}/live_1000ms.png" ] && [ -s "${artifacts}/live_4000ms.png" ]; then
  changed=$(compare -metric AE -fuzz 2% "${artifacts}/live_1000ms.png" "${artifacts}/live_4000ms.png" null: 2>&1 || true)
  echo "pictures differ in ${changed} pixels"
  [[ "${changed}" =~ ^[0-9]+$ ]] && [ "${changed}" -ge 500 ] || fail "the two pictures are the same"
fi

# The spin itself, with one seed: two pictures a second of real time apart,
# taken through Chromium's DevTools pipe (fd 3 in, fd 4 out).
mkfifo "${work}/to_browser" "${work}/from_browser"
profile=$(mktemp -d "${work}/profile.XXXXXX")
timeout 120 chromium --headless --no-sandbox --disable-gpu --disable-background-networking \
  --disable-component-update --disable-sync --no-first-run --disable-quic \
  --user-data-dir="${profile}" --window-size=800,700 --remote-debugging-pipe \
  3<"${work}/to_browser" 4>"${work}/from_browser" 2>>"${artifacts}/chromium.log" &
browser=$!
spin_a="${artifacts}/spin_first.png"
spin_b="${artifacts}/spin_second.png"
rm -f "${spin_a}" "${spin_b}"
if ! timeout 90 python3 "$(dirname "$0")/live_pictures.py" "${work}/to_browser" "${work}/from_browser" \
  "${page}?seed=1" "${spin_a}" "${spin_b}"; then
  fail "no pictures through the DevTools pipe"
  kill "${browser}" 2>/dev/null || true  # it may still wait for its pipes
fi
wait "${browser}" 2>/dev/null || true
if [ -s "${spin_a}" ] && [ -s "${spin_b}" ]; then
  moved=$(compare -metric AE -fuzz 2% "${spin_a}" "${spin_b}" null: 2>&1 || true)
  echo "seed 1, one second apart: ${moved} pixels differ, $(coloured_pixels "${spin_b}") coloured in the second"
  [[ "${moved}" =~ ^[0-9]+$ ]] && [ "${moved}" -ge 5000 ] || fail "the torus does not spin (${spin_a}, ${spin_b})"
  [ "$(coloured_pixels "${spin_b}")" -ge 5000 ] || fail "no torus in ${spin_b}"
fi

[ "${failures}" -eq 0 ] || { echo "web-e2e: ${failures} failed; artifacts in ${artifacts}"; exit 1; }
echo "web-e2e: all passed"
