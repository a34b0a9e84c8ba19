#!/usr/bin/env bash
# A Windows program must run with nothing beside it: console subsystem, and
# imports from system DLLs only (the C++ runtime, libgcc and zlib are linked
# in; DirectDraw is loaded at run time, never imported).
#
#   check_pe_imports.sh PRESET EXE DLL...    the DLLs EXE, built by PRESET, may
#                                            import, in any order
set -euo pipefail
# shellcheck source=tests/check.sh
source "$(dirname "$0")/../check.sh"

preset=$1
exe=$2
shift 2
[ -f "${exe}" ] || fail "${exe} is not built; run: cmake --preset ${preset} && cmake --build --preset ${preset}"
case "${preset}" in
  mingw64) objdump=x86_64-w64-mingw32-objdump package=binutils-mingw-w64-x86-64 ;;
  *) objdump=i686-w64-mingw32-objdump package=binutils-mingw-w64-i686 ;;
esac
command -v "${objdump}" >/dev/null || fail "${objdump} is missing; install the Debian package ${package}"
headers=$("${objdump}" -p "${exe}")
subsystem=$(echo "${headers}" | awk '$1 == "Subsystem" { print $2 }')
[ "${subsystem}" = 00000003 ] || fail "subsystem ${subsystem}, wanted 3 (console)"

imports=$(echo "${headers}" | awk '/DLL Name:/ { print toupper($3) }' | sort)
allowed=$(printf '%s\n' "$@" | tr '[:lower:]' '[:upper:]' | sort)
unexpected=$(comm -23 <(echo "${imports}") <(echo "${allowed}"))
echo "imports: $(echo "${imports}" | tr '\n' ' ')"
[ -z "${unexpected}" ] || fail "unexpected imports: ${unexpected}"
