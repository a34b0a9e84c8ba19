#!/usr/bin/env bash
# The web page end to end in the three browser engines: headless Chromium,
# headless Firefox ESR and WebKitGTK's MiniBrowser (on an Xvfb of its own),
# opened from the file system (and once from a server on loopback):
# - test mode: the CRC lines of frames 0..359 for three seeds equal the turns
#   the native tests recorded, with the build the page chose (SIMD where the
#   browser has it) and with the plain build asked for; Chromium without
#   WebAssembly SIMD gets the plain build and the same frames;
# - a bad query or build shows a message that names the bad value;
# - the live page shows the programs' title and the frame step's time, and
#   with one seed two pictures a second of real time apart both show a torus
#   and differ: it spins.
#
#   web_e2e.sh PAGE DATA_DIR ARTIFACTS_DIR
# PAGE is a folder with index.html, index-plain.js and index-simd.js (the wasm
# preset's web/), or the zip its web-zip target makes, which is unpacked and
# tested as a user would open it. DATA_DIR holds the recorded
# frame_crcs_seed*.txt. Pages, pictures and the browsers' logs are left in
# ARTIFACTS_DIR.
set -euo pipefail
# shellcheck source=tests/check.sh
source "$(dirname "$0")/../check.sh"

data_dir=$2
artifacts=$(realpath -m "$3")
here=$(dirname "$0")
rm -rf "${artifacts}"
mkdir -p "${artifacts}"
if [[ "$1" == *.zip ]]; then
  [ -f "$1" ] || fail "no $1; build the wasm preset's web-zip target first"
  python3 -m zipfile -e "$1" "${artifacts}/unpacked" || fail "cannot unpack $1"
  web_dir="${artifacts}/unpacked/torus-demo-web"
else
  web_dir=$(realpath "$1")
fi
for file in index.html index-plain.js index-simd.js; do
  [ -f "${web_dir}/${file}" ] || fail "no ${web_dir}/${file}; build the wasm preset first"
done
for tool in chromium firefox-esr WebKitWebDriver:webkit2gtk-driver Xvfb:xvfb python3 convert:imagemagick \
  compare:imagemagick; do
  command -v "${tool%:*}" >/dev/null ||
    fail "no ${tool%:*}; install the Debian package ${tool#*:} (bash scripts/install-deps.sh all)"
done
server=
cleanup() {
  [ -z "${server}" ] || { kill "${server}" 2>/dev/null; wait "${server}" 2>/dev/null || true; }
  rm -rf "${work}"
}
trap cleanup EXIT

# Port 0: the system picks a free one, and the server says which.
python3 -u -m http.server 0 --bind 127.0.0.1 --directory "${web_dir}" >"${artifacts}/server.log" 2>&1 &
server=$!
port=
for _ in $(seq 100); do
  port=$(sed -n 's/^Serving HTTP on .* port \([0-9][0-9]*\) .*/\1/p' "${artifacts}/server.log")
  [ -n "${port}" ] && break
  sleep 0.1
done
[ -n "${port}" ] || { cat "${artifacts}/server.log"; fail "the HTTP server did not start"; }
served="http://127.0.0.1:${port}/index.html"
page="file://${web_dir}/index.html"

# The browser's steps (see page_browser.py); a browser that cannot run them fails.
run_browser() {
  local engine=$1
  shift
  mkdir -p "${artifacts}/${engine}"
  timeout 900 python3 "${here}/page_browser.py" "${engine}" "${artifacts}/${engine}" "$@" \
    >"${artifacts}/${engine}/steps.log" ||
    failure "${engine}: the browser did not run its steps (log: ${artifacts}/${engine}/browser.log)"
}

# check_crcs ENGINE NAME SEED BUILD: the page NAME.html listed the recorded
# turn of SEED, drawn by BUILD.
check_crcs() {
  local engine=$1 name=$2 seed=$3 build=$4
  local dom="${artifacts}/${engine}/${name}.html" lines="${artifacts}/${engine}/${name}.txt"
  local expected="${data_dir}/frame_crcs_seed${seed}.txt"
  grep -o 'frame [0-9]* crc32 [0-9A-F]\{8\}' "${dom}" >"${lines}" 2>/dev/null || true
  local count equal
  count=$(wc -l <"${lines}")
  equal=$(awk 'NR == FNR { want[FNR] = $0; next } $0 == want[FNR] { n++ } END { print n + 0 }' "${expected}" "${lines}")
  echo "${engine} ${name}: ${equal} of 360 frames equal the recorded CRCs (${count} lines on the page)"
  if [ "${equal}" -ne 360 ] || [ "${count}" -ne 360 ]; then
    failure "${engine} ${name}: see ${lines} against ${expected}"
    diff "${expected}" "${lines}" | head -5 || true
  fi
  grep -q '<title>done</title>' "${dom}" 2>/dev/null || failure "${engine} ${name}: the title never became done"
  grep -q "data-build=\"${build}\"" "${dom}" 2>/dev/null || failure "${engine} ${name}: not drawn by the ${build} build"
}

# check_message ENGINE NAME TEXT: the page NAME.html shows TEXT instead of frames.
check_message() {
  local dom="${artifacts}/$1/$2.html"
  if grep -qF "$3" "${dom}" 2>/dev/null; then
    echo "$1 $2: the page says \"$3\""
  else
    failure "$1 $2: no message \"$3\" in ${dom}"
  fi
}

# A torus is coloured; the page around it is black and grey.
coloured_pixels() {
  convert "$1" -colorspace HSL -channel G -separate +channel -threshold 25% -format '%[fx:round(mean*w*h)]' info:
}

# check_spin ENGINE STEP_LINE: the live page of seed 1 shows the programs'
# title as its own and a frame-step line, and its two pictures each show a
# torus and differ.
check_spin() {
  local engine=$1 line=$2 first="${artifacts}/$1/spin_first.png" second="${artifacts}/$1/spin_second.png"
  local title=${line#*title \'}
  title=${title%%\'*}
  if [ -n "${title}" ] && [[ "${line}" == *"title '${title}' heading '${title}'"* ]]; then
    echo "${engine} live page: title '${title}'"
  else
    failure "${engine} live page: no title, or a heading that differs ('${line}')"
  fi
  if [[ "${line}" =~ frame\ step\ [0-9.]+\ ms\ \(SIMD\ build\)$ ]]; then
    echo "${engine} live page: ${line##*: }"
  else
    failure "${engine} live page: no frame-step line of the SIMD build ('${line}')"
  fi
  [ -s "${first}" ] && [ -s "${second}" ] || { failure "${engine}: no pictures of the live page"; return; }
  local picture coloured moved
  for picture in "${first}" "${second}"; do
    coloured=$(coloured_pixels "${picture}")
    echo "${engine} ${picture##*/}: ${coloured} coloured pixels"
    [ "${coloured}" -ge 5000 ] || failure "${engine}: no torus in ${picture}"
  done
  moved=$(compare -metric AE -fuzz 2% "${first}" "${second}" null: 2>&1 || true)
  echo "${engine} seed 1, one second apart: ${moved} pixels differ"
  [[ "${moved}" =~ ^[0-9]+$ ]] && [ "${moved}" -ge 5000 ] || failure "${engine}: the torus does not spin (${first}, ${second})"
}

for engine in chromium firefox webkit; do
  out="${artifacts}/${engine}"
  run_browser "${engine}" \
    dom "${page}?seed=1&frames=360" "${out}/seed1.html" \
    dom "${page}?seed=4242&frames=360" "${out}/seed4242.html" \
    dom "${served}?seed=2026&frames=360" "${out}/seed2026_served.html" \
    dom "${page}?seed=4242&frames=360&build=plain" "${out}/seed4242_plain.html" \
    dom "${page}?seed=12x&frames=3" "${out}/bad_seed.html" \
    dom "${page}?build=sse2&seed=1&frames=3" "${out}/bad_build.html" \
    live "${page}?seed=1" "${out}/spin_first.png" "${out}/spin_second.png" \
    live "${page}" "${out}/clock_first.png" "${out}/clock_second.png"
  check_crcs "${engine}" seed1 1 simd
  check_crcs "${engine}" seed4242 4242 simd
  check_crcs "${engine}" seed2026_served 2026 simd
  check_crcs "${engine}" seed4242_plain 4242 plain
  check_message "${engine}" bad_seed "Cannot start: seed must be a whole number from 0 to 2147483647, not '12x'"
  check_message "${engine}" bad_build "Cannot start: build must be plain or simd, not 'sse2'"
  check_spin "${engine}" "$(grep '^live .*spin_' "${out}/steps.log" || true)"
  # Seeded from the clock, as a visitor gets it.
  coloured=$(coloured_pixels "${out}/clock_first.png" 2>/dev/null || echo 0)
  echo "${engine} unseeded page: ${coloured} coloured pixels"
  [ "${coloured}" -ge 5000 ] || failure "${engine}: no torus on the unseeded page (${out}/clock_first.png)"
done

# A browser without WebAssembly SIMD: the page chooses the plain build itself.
out="${artifacts}/chromium-nosimd"
run_browser chromium-nosimd \
  dom "${page}?seed=2026&frames=360" "${out}/seed2026.html" \
  dom "${page}?seed=1&frames=3&build=simd" "${out}/simd_asked.html"
check_crcs chromium-nosimd seed2026 2026 plain
check_message chromium-nosimd simd_asked "Cannot start: this browser has no WebAssembly SIMD for build=simd"

echo "web-e2e: artifacts in ${artifacts}"
finish web-e2e
