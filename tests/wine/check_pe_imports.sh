#!/usr/bin/env bash
# A Windows program must run with nothing beside it: console subsystem, and
# imports from system DLLs only (the C++ runtime, libgcc and zlib are linked
# in; DirectDraw is loaded at run time, never imported).
#
#   check_pe_imports.sh PRESET EXE DLL...    the DLLs EXE, built by PRESET, may
#                                            import, in any order
set -euo pipefail

preset=$1
exe=$2
shift 2
if [ ! -f "${exe}" ]; then
  echo "FAIL: ${exe} is not built; run: cmake --preset ${preset} && cmake --build --preset ${preset}"
  exit 1
fi

command -v i686-w64-mingw32-objdump >/dev/null || {
  echo "FAIL: i686-w64-mingw32-objdump is missing; install the Debian package binutils-mingw-w64-i686"
  exit 1
}
headers=$(i686-w64-mingw32-objdump -p "${exe}")
subsystem=$(echo "${headers}" | awk '$1 == "Subsystem" { print $2 }')
[ "${subsystem}" = 00000003 ] || { echo "FAIL: subsystem ${subsystem}, wanted 3 (console)"; exit 1; }

imports=$(echo "${headers}" | awk '/DLL Name:/ { print toupper($3) }' | sort)
allowed=$(printf '%s\n' "$@" | tr '[:lower:]' '[:upper:]' | sort)
unexpected=$(comm -23 <(echo "${imports}") <(echo "${allowed}"))
echo "imports: $(echo "${imports}" | tr '\n' ' ')"
[ -z "${unexpected}" ] || { echo "FAIL: unexpected imports: ${unexpected}"; exit 1; }
