#!/usr/bin/env bash
# Another build's demo-snapshot must render exactly the frames the native
# demo-snapshot renders: same seed, same frames, same CRC-32 for each. The
# other build is the Windows one, under Wine, or a cross build for another
# processor (arm64), under emulation.
#
#   snapshot_crc.sh NATIVE OTHER SEED COUNT
#
# OTHER ending in .exe runs under Wine (environment: see windows_program.sh);
# any other runs as it is, and HOST_PRESET and OTHER_PRESET name the presets
# that build NATIVE and OTHER. On a difference it names the first differing
# frame and pixel, with both values in hex, and keeps both frames in the
# artifacts folder. No screen is needed.
set -euo pipefail
other=$(realpath -m "$2")
if [[ "${other}" == *.exe ]]; then
  # shellcheck source=tests/wine/windows_program.sh
  source "$(dirname "$0")/windows_program.sh"
  other_preset=${kWindowsPreset}
  other_name=Wine
  run_other=("${wine_loader}" "${other}")
else
  # shellcheck source=tests/e2e_lib.sh
  source "$(dirname "$0")/../e2e_lib.sh"
  require_built "$1" "${HOST_PRESET:?}"
  other_preset=${OTHER_PRESET:?}
  other_name=${OTHER_PRESET}
  run_other=("${other}")
fi

native=$(realpath "$1")
seed=$3
count=$4
require_built "${other}" "${other_preset}"

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
render "${work}/other" "${run_other[@]}" >"${shot_dir}/other.txt"
note "${other_name}: ${count} frames in $(($(date +%s) - started)) s"

[ "$(wc -l <"${shot_dir}/native.txt")" -eq "${count}" ] || fail "the native run wrote too few frames"
if cmp -s "${shot_dir}/native.txt" "${shot_dir}/other.txt"; then
  note "seed ${seed}: all ${count} frame CRCs equal"
  exit 0
fi

read -r _ frame _ native_crc _ _ _ other_crc < <(paste -d' ' "${shot_dir}/native.txt" \
  "${shot_dir}/other.txt" | awk '$4 != $8 { print; exit }')
name=$(printf 'f%03d.raw' "${frame}")
cp "${work}/native/${name}" "${shot_dir}/native-${name}"
cp "${work}/other/${name}" "${shot_dir}/other-${name}" 2>/dev/null || true
offset=$(cmp "${work}/native/${name}" "${work}/other/${name}" 2>/dev/null | awk '{ sub(",", "", $5); print $5 - 1 }' || true)
if [ -n "${offset}" ]; then
  pixel=$((offset / 4))
  read_pixel() { od -An -tx4 -j $((pixel * 4)) -N4 "$1" | tr -d ' '; }
  note "first difference at pixel ($((pixel % 640)), $((pixel / 640))):" \
    "native 0x$(read_pixel "${work}/native/${name}"), ${other_name} 0x$(read_pixel "${work}/other/${name}")"
fi
fail "seed ${seed}, frame ${frame}: native CRC ${native_crc}, ${other_name} CRC ${other_crc}" \
  "(frames kept in ${shot_dir}; all CRCs in native.txt and other.txt there)"
