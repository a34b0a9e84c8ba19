#!/usr/bin/env bash
# demo-snapshot.exe under Wine must render exactly the frames the native
# demo-snapshot renders: same seed, same frames, same CRC-32 for each.
#
#   snapshot_crc.sh NATIVE EXE SEED COUNT
#
# On a difference it names the first differing frame and pixel, with both
# values in hex, and keeps both frames in the artifacts folder.
# Environment: see windows_program.sh (no screen is needed).
set -euo pipefail
# shellcheck source=tests/wine/windows_program.sh
source "$(dirname "$0")/windows_program.sh"

native=$(realpath "$1")
exe=$(realpath -m "$2")
seed=$3
count=$4
require_built "${exe}" "${kWindowsPreset}"

# Renders into DIR and prints "frame N crc32 X" lines: render DIR PROGRAM...
render() {
  local dir=$1
  shift
  mkdir -p "${dir}"
  (cd "${dir}" && "$@" --seed "${seed}" --count "${count}" -o "f%03d.raw") | tr -d '\r'
}

started=$(date +%s)
render "${work}/native" "${native}" >"${shot_dir}/native.txt"
note "native: ${count} frames in $(($(date +%s) - started)) s"
started=$(date +%s)
render "${work}/wine" "${wine_loader}" "${exe}" >"${shot_dir}/wine.txt"
note "under Wine: ${count} frames in $(($(date +%s) - started)) s"

[ "$(wc -l <"${shot_dir}/native.txt")" -eq "${count}" ] || fail "the native run wrote too few frames"
if cmp -s "${shot_dir}/native.txt" "${shot_dir}/wine.txt"; then
  note "seed ${seed}: all ${count} frame CRCs equal"
  exit 0
fi

read -r _ frame _ native_crc _ _ _ wine_crc < <(paste -d' ' "${shot_dir}/native.txt" \
  "${shot_dir}/wine.txt" | awk '$4 != $8 { print; exit }')
name=$(printf 'f%03d.raw' "${frame}")
cp "${work}/native/${name}" "${shot_dir}/native-${name}"
cp "${work}/wine/${name}" "${shot_dir}/wine-${name}" 2>/dev/null || true
offset=$(cmp "${work}/native/${name}" "${work}/wine/${name}" 2>/dev/null | awk '{ sub(",", "", $5); print $5 - 1 }' || true)
if [ -n "${offset}" ]; then
  pixel=$((offset / 4))
  read_pixel() { od -An -tx4 -j $((pixel * 4)) -N4 "$1" | tr -d ' '; }
  note "first difference at pixel ($((pixel % 640)), $((pixel / 640))):" \
    "native 0x$(read_pixel "${work}/native/${name}"), Wine 0x$(read_pixel "${work}/wine/${name}")"
fi
fail "seed ${seed}, frame ${frame}: native CRC ${native_crc}, Wine CRC ${wine_crc}" \
  "(frames kept in ${shot_dir}; all CRCs in native.txt and wine.txt there)"
