#!/usr/bin/env bash
# Another build's demo-snapshot must render exactly the frames the native one
# renders. The other build is the Windows one, under Wine, or a cross build for
# another processor (arm64), under emulation.
#
#   snapshot_crc.sh crc NATIVE OTHER SEED RECORDING|COUNT
#       SEED's frames from OTHER, written to standard output, have the CRC-32
#       of each frame that RECORDING (tests/data) holds, or with a COUNT those
#       the native demo-snapshot NATIVE prints for its first COUNT frames; on a
#       difference it names the first differing frame and pixel, against
#       NATIVE, with both values in hex, and keeps both frames
#   snapshot_crc.sh closed-pipe NATIVE OTHER
#       a reader that closes the pipe in frame 2 ends OTHER quietly with exit
#       code 1: only frames 0 and 1 reported, their bytes those NATIVE writes
#
# OTHER ending in .exe runs under Wine (environment: see windows_program.sh);
# any other runs as it is, and HOST_PRESET and OTHER_PRESET name the presets
# that build NATIVE and OTHER. No screen is needed.
set -euo pipefail
other=$(realpath -m "$3")
if [[ "${other}" == *.exe ]]; then
  # shellcheck source=tests/wine/windows_program.sh
  source "$(dirname "$0")/windows_program.sh"
  other_preset=${kWindowsPreset}
  other_name=Wine
  run_other=("${wine_loader}" "${other}")
else
  # shellcheck source=tests/e2e_lib.sh
  source "$(dirname "$0")/../e2e_lib.sh"
  require_built "$2" "${HOST_PRESET:?}"
  other_preset=${OTHER_PRESET:?}
  other_name=${OTHER_PRESET}
  run_other=("${other}")
fi

readonly kFrameBytes=$((640 * 480 * 4))
native=$(realpath "$2")
require_built "${other}" "${other_preset}"

# The CRC lines of a run's standard error, without Windows line ends.
crc_lines() { tr -d '\r' <"$1" | grep '^frame ' || true; }

scenario_crc() {
  local seed=$1 expected=$2 count started
  if [[ "${expected}" =~ ^[0-9]+$ ]]; then
    count=${expected}
    expected=${shot_dir}/native.txt
    "${native}" --seed "${seed}" --count "${count}" -o - 2>"${work}/native.err" >/dev/null ||
      fail "the native run ended with exit code $?"
    crc_lines "${work}/native.err" >"${expected}"
    [ "$(wc -l <"${expected}")" -eq "${count}" ] || fail "the native run wrote too few frames"
  else
    count=$(wc -l <"${expected}")
  fi
  started=$(date +%s)
  "${run_other[@]}" --seed "${seed}" --count "${count}" -o - 2>"${work}/other.err" >/dev/null ||
    fail "exit code $? for seed ${seed}: $(tr -d '\r' <"${work}/other.err" | tail -n 3)"
  crc_lines "${work}/other.err" >"${shot_dir}/other.txt"
  note "${other_name}: ${count} frames in $(($(date +%s) - started)) s"
  if cmp -s "${expected}" "${shot_dir}/other.txt"; then
    note "seed ${seed}: all ${count} frame CRCs equal"
    return 0
  fi
  local frame="" wanted got
  read -r _ frame _ wanted _ _ _ got < <(paste -d' ' "${expected}" "${shot_dir}/other.txt" |
    awk '$4 != $8 { print; exit }') || true
  [ -n "${frame:-}" ] || fail "seed ${seed}: $(wc -l <"${shot_dir}/other.txt") CRC lines from ${other_name}, ${count} expected"
  # The frame from both builds, for the first pixel that differs.
  local name
  name=$(printf 'f%03d.raw' "${frame}")
  "${native}" --seed "${seed}" --frame "${frame}" -o "${shot_dir}/native-${name}" >/dev/null
  (cd "${shot_dir}" && "${run_other[@]}" --seed "${seed}" --frame "${frame}" -o "other-${name}") >/dev/null 2>&1 || true
  local offset
  offset=$(cmp "${shot_dir}/native-${name}" "${shot_dir}/other-${name}" 2>/dev/null |
    awk '{ sub(",", "", $5); print $5 - 1 }' || true)
  if [ -n "${offset}" ]; then
    local pixel=$((offset / 4))
    read_pixel() { od -An -tx4 -j $((pixel * 4)) -N4 "$1" | tr -d ' '; }
    note "first difference at pixel ($((pixel % 640)), $((pixel / 640))):" \
      "native 0x$(read_pixel "${shot_dir}/native-${name}"), ${other_name} 0x$(read_pixel "${shot_dir}/other-${name}")"
  fi
  fail "seed ${seed}, frame ${frame}: expected CRC ${wanted}, ${other_name} CRC ${got}" \
    "(frames kept in ${shot_dir}; all ${other_name} CRCs in other.txt there)"
}

scenario_closed_pipe() {
  local status
  # The reader stops 100 bytes into frame 2 of 50.
  set +o pipefail
  "${run_other[@]}" --seed 1 --count 50 -o - 2>"${work}/other.err" |
    head -c $((2 * kFrameBytes + 100)) >"${work}/got"
  status=${PIPESTATUS[0]}
  set -o pipefail
  tr -d '\r' <"${work}/other.err" >"${shot_dir}/other.err"
  [ "${status}" -eq 1 ] || fail "exit code ${status} after the reader closed the pipe, wanted 1"
  [ "$(cut -d' ' -f1-2 "${shot_dir}/other.err" | tr '\n' ' ')" = "frame 0 frame 1 " ] ||
    fail "standard error holds more than frames 0 and 1: $(head -c 300 "${shot_dir}/other.err")"
  "${native}" --seed 1 --count 2 -o - 2>/dev/null >"${work}/native"
  cmp -s -n $((2 * kFrameBytes)) "${work}/got" "${work}/native" ||
    fail "the bytes of frames 0 and 1 differ from the native build's"
  note "ended quietly with 1; frames 0 and 1 reported, their bytes as the native build writes them"
}

case "${1:-}" in
  crc) scenario_crc "$4" "$5" ;;
  closed-pipe) scenario_closed_pipe ;;
  *)
    echo "usage: snapshot_crc.sh crc NATIVE OTHER SEED RECORDING|COUNT | closed-pipe NATIVE OTHER" >&2
    exit 2
    ;;
esac
