#!/usr/bin/env bash
# Creates or removes the Wine prefix that the Wine end-to-end tests share
# (one at a time: they hold a ctest resource lock).
#
#   wine_prefix.sh create PREFIX [LOADER]   a fresh prefix (about 20 s), made by
#                                          LOADER: wine (the default), or
#                                          /usr/lib/wine/wine64 for 64-bit
#                                          programs alone
#   wine_prefix.sh remove PREFIX            stops its Wine processes and deletes it
set -euo pipefail
# shellcheck source=tests/check.sh
source "$(dirname "$0")/../check.sh"

action=$1
prefix=$2
loader=${3:-wine}
export WINEPREFIX=${prefix} WINEDEBUG=-all
# No window system is needed to set a prefix up, and none may be disturbed.
unset DISPLAY WAYLAND_DISPLAY

create() {
  if ! command -v "${loader}" >/dev/null; then
    case "${loader##*/}" in
      wine64) fail "${loader} is not installed; install the Debian package wine64 (bash scripts/install-deps.sh all)" ;;
      *) fail "${loader} is not installed; install the Debian package wine (bash scripts/install-deps.sh all)" ;;
    esac
  fi
  # The 64-bit loader alone makes a 64-bit prefix, and starts every program of
  # it (the prefix's own services too) itself.
  if [ "${loader##*/}" = wine64 ]; then export WINEARCH=win64 WINELOADER=${loader}; fi
  [ ! -d "${prefix}" ] || { wineserver -k 2>/dev/null || true; rm -rf "${prefix}"; }
  mkdir -p "$(dirname "${prefix}")"
  local started log=${prefix}.log
  started=$(date +%s)
  # The programs need neither the .NET nor the HTML engine: skip their
  # installers. Where the kernel runs no 32-bit programs, wineboot says it
  # cannot start the prefix's 32-bit programs (syswow64) and still makes a
  # prefix for the 64-bit ones; that is checked below by running one.
  if ! WINEDLLOVERRIDES="mscoree=d;mshtml=d" "${loader}" wineboot --init >"${log}" 2>&1; then
    cat "${log}"
    fail "${loader} wineboot --init failed"
  fi
  wineserver --wait
  [ -f "${prefix}/system.reg" ] || { cat "${log}"; fail "wineboot made no prefix at ${prefix}"; }
  local answer
  answer=$("${loader}" cmd /c echo ready 2>>"${log}" | tr -d '\r') || true
  wineserver --wait
  if [ "${answer}" != ready ]; then
    cat "${log}"
    fail "the prefix at ${prefix} runs no program: cmd answered '${answer}', wanted 'ready'"
  fi
  echo "Wine prefix ready at ${prefix} (${loader}) in $(($(date +%s) - started)) s"
  grep -v '^$' "${log}" | sed 's/^/wineboot: /' || true
  rm -f "${log}"
}

case "${action}" in
  create) create ;;
  remove)
    if [ -d "${prefix}" ]; then
      wineserver -k 2>/dev/null || true
      rm -rf "${prefix}"
    fi
    echo "Wine prefix removed"
    ;;
  *)
    echo "usage: wine_prefix.sh create PREFIX [LOADER] | remove PREFIX" >&2
    exit 2
    ;;
esac
