#!/usr/bin/env bash
# A Windows program must run with nothing beside it: console subsystem, and
# imports from system DLLs only (the C++ runtime, libgcc and zlib are linked
# in; DirectDraw is loaded at run time, never imported).
#
#   check_pe_imports.sh EXE DLL...    the DLLs EXE may import, in any order
set -euo pipefail
# shellcheck source=tests/check.sh
source "$(dirname "$0")/../check.sh"

exe=$1
shift
[ -f "${exe}" ] || fail "${exe} is not built; run: cmake --preset mingw && cmake --build --preset mingw"
command -v i686-w64-mingw32-objdump >/dev/null ||
  fail "i686-w64-mingw32-objdump is missing; install the Debian package binutils-mingw-w64-i686"
headers=$(i686-w64-mingw32-objdump -p "${exe}")
subsystem=$(echo "${headers}" | awk '$1 == "Subsystem" { print $2 }')
[ "${subsystem}" = 00000003 ] || fail "subsystem ${subsystem}, wanted 3 (console)"

imports=$(echo "${headers}" | awk '/DLL Name:/ { print toupper($3) }' | sort)
allowed=$(printf '%s\n' "$@" | tr '[:lower:]' '[:upper:]' | sort)
unexpected=$(comm -23 <(echo "${imports}") <(echo "${allowed}"))
echo "imports: $(echo "${imports}" | tr '\n' ' ')"
[ -z "${unexpected}" ] || fail "unexpected imports: ${unexpected}"
