#!/usr/bin/env bash
# demo-snapshot.exe under Wine.
#
#   snapshot_crc.sh crc NATIVE EXE SEED RECORDING
#       a turn of SEED's frames, written to standard output, has the CRC-32 of
#       each frame that RECORDING (tests/data) holds; on a difference it names
#       the first differing frame and pixel, against the native demo-snapshot
#       NATIVE, with both values in hex, and keeps both frames
#   snapshot_crc.sh closed-pipe NATIVE EXE
#       a reader that closes the pipe in frame 2 ends it quietly with exit
#       code 1: only frames 0 and 1 reported, their bytes those NATIVE writes
#
# Environment: see windows_program.sh (no screen is needed).
set -euo pipefail
# shellcheck source=tests/wine/windows_program.sh
source "$(dirname "$0")/windows_program.sh"

readonly kFrameBytes=$((640 * 480 * 4))
native=$(realpath "$2")
exe=$(realpath -m "$3")
require_built "${exe}" "${kWindowsPreset}"

# The CRC lines of a run's standard error, without Windows line ends.
crc_lines() { tr -d '\r' <"$1" | grep '^frame ' || true; }

scenario_crc() {
  local seed=$1 recording=$2 count started
  count=$(wc -l <"${recording}")
  started=$(date +%s)
  "${wine_loader}" "${exe}" --seed "${seed}" --count "${count}" -o - 2>"${work}/wine.err" >/dev/null ||
    fail "exit code $? for seed ${seed}: $(tr -d '\r' <"${work}/wine.err" | tail -n 3)"
  crc_lines "${work}/wine.err" >"${shot_dir}/wine.txt"
  note "under Wine: ${count} frames in $(($(date +%s) - started)) s"
  if cmp -s "${recording}" "${shot_dir}/wine.txt"; then
    note "seed ${seed}: all ${count} frame CRCs equal the recording"
    return 0
  fi
  local frame="" wanted got
  read -r _ frame _ wanted _ _ _ got < <(paste -d' ' "${recording}" "${shot_dir}/wine.txt" |
    awk '$4 != $8 { print; exit }') || true
  [ -n "${frame:-}" ] || fail "seed ${seed}: $(wc -l <"${shot_dir}/wine.txt") CRC lines under Wine, ${count} recorded"
  # The frame from both builds, for the first pixel that differs.
  local name
  name=$(printf 'f%03d.raw' "${frame}")
  "${native}" --seed "${seed}" --frame "${frame}" -o "${shot_dir}/native-${name}" >/dev/null
  (cd "${shot_dir}" && "${wine_loader}" "${exe}" --seed "${seed}" --frame "${frame}" -o "wine-${name}") >/dev/null 2>&1 || true
  local offset
  offset=$(cmp "${shot_dir}/native-${name}" "${shot_dir}/wine-${name}" 2>/dev/null |
    awk '{ sub(",", "", $5); print $5 - 1 }' || true)
  if [ -n "${offset}" ]; then
    local pixel=$((offset / 4))
    read_pixel() { od -An -tx4 -j $((pixel * 4)) -N4 "$1" | tr -d ' '; }
    note "first difference at pixel ($((pixel % 640)), $((pixel / 640))):" \
      "native 0x$(read_pixel "${shot_dir}/native-${name}"), Wine 0x$(read_pixel "${shot_dir}/wine-${name}")"
  fi
  fail "seed ${seed}, frame ${frame}: recorded CRC ${wanted}, Wine CRC ${got}" \
    "(frames kept in ${shot_dir}; all Wine CRCs in wine.txt there)"
}

scenario_closed_pipe() {
  local status
  # The reader stops 100 bytes into frame 2 of 50.
  set +o pipefail
  "${wine_loader}" "${exe}" --seed 1 --count 50 -o - 2>"${work}/wine.err" |
    head -c $((2 * kFrameBytes + 100)) >"${work}/got"
  status=${PIPESTATUS[0]}
  set -o pipefail
  tr -d '\r' <"${work}/wine.err" >"${shot_dir}/wine.err"
  [ "${status}" -eq 1 ] || fail "exit code ${status} after the reader closed the pipe, wanted 1"
  [ "$(cut -d' ' -f1-2 "${shot_dir}/wine.err" | tr '\n' ' ')" = "frame 0 frame 1 " ] ||
    fail "standard error holds more than frames 0 and 1: $(head -c 300 "${shot_dir}/wine.err")"
  "${native}" --seed 1 --count 2 -o - 2>/dev/null >"${work}/native"
  cmp -s -n $((2 * kFrameBytes)) "${work}/got" "${work}/native" ||
    fail "the bytes of frames 0 and 1 differ from the native build's"
  note "ended quietly with 1; frames 0 and 1 reported, their bytes as the native build writes them"
}

case "${1:-}" in
  crc) scenario_crc "$4" "$5" ;;
  closed-pipe) scenario_closed_pipe ;;
  *)
    echo "usage: snapshot_crc.sh crc NATIVE EXE SEED RECORDING | closed-pipe NATIVE EXE" >&2
    exit 2
    ;;
esac
