#!/usr/bin/env bash
# Creates or removes the Wine prefix that the Wine end-to-end tests share
# (one at a time: they hold a ctest resource lock).
#
#   wine_prefix.sh create PREFIX   a fresh prefix (about 20 s)
#   wine_prefix.sh remove PREFIX   stops its Wine processes and deletes it
set -euo pipefail

action=$1
prefix=$2
export WINEPREFIX=${prefix} WINEDEBUG=-all
# No window system is needed to set a prefix up, and none may be disturbed.
unset DISPLAY WAYLAND_DISPLAY

case "${action}" in
  create)
    [ ! -d "${prefix}" ] || { wineserver -k 2>/dev/null || true; rm -rf "${prefix}"; }
    mkdir -p "$(dirname "${prefix}")"
    started=$(date +%s)
    # The programs need neither the .NET nor the HTML engine: skip their installers.
    WINEDLLOVERRIDES="mscoree=d;mshtml=d" wineboot --init >/dev/null 2>&1
    wineserver --wait
    [ -f "${prefix}/system.reg" ] || { echo "wineboot made no prefix at ${prefix}"; exit 1; }
    echo "Wine prefix ready at ${prefix} in $(($(date +%s) - started)) s"
    ;;
  remove)
    if [ -d "${prefix}" ]; then
      wineserver -k 2>/dev/null || true
      rm -rf "${prefix}"
    fi
    echo "Wine prefix removed"
    ;;
  *)
    echo "usage: wine_prefix.sh create|remove PREFIX" >&2
    exit 2
    ;;
esac
