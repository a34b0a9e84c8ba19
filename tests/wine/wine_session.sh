# shellcheck shell=bash
# Shared by the Wine end-to-end tests (source it): one Windows program under
# Wine on a private Xvfb screen, with bounded waits and a clean-up that runs
# however the test ends.
#
# The caller sets, before sourcing:
#   WINEPREFIX           an initialised prefix (wine_prefix.sh create), used by
#                        one test at a time
#   DEMO_WINE_ARTIFACTS  a folder for this test's screenshots and logs
#   DEMO_X_WINDOW_TOOL   the x-window-tool program
# Exit codes: 0 passed, 1 failed; a program that is not built is a failure.

set -euo pipefail

export WINEDEBUG=-all
unset WINEDLLOVERRIDES

session_dir=$(mktemp -d "${TMPDIR:-/tmp}/demo-wine.XXXXXX")
xvfb_pid=
program_pid=
program_status=

# Progress goes to stderr so that functions can print results on stdout.
log() { echo "[$(date +%H:%M:%S.%N | cut -c1-12)] $*" >&2; }
fail() {
  log "FAIL: $*"
  exit 1
}

# Fails the test when the program has not been cross-built, saying how to build it.
require_program() {
  [ -f "$1" ] || fail "$1 is not built; run: cmake --preset mingw && cmake --build --preset mingw"
}

session_end() {
  local status=$?
  if [ -n "${program_pid}" ] && kill -0 "${program_pid}" 2>/dev/null; then
    kill -KILL "${program_pid}" 2>/dev/null || true
  fi
  wineserver -k 2>/dev/null || true
  if [ -n "${xvfb_pid}" ]; then
    kill "${xvfb_pid}" 2>/dev/null || true
    wait "${xvfb_pid}" 2>/dev/null || true
  fi
  rm -rf "${session_dir}"
  exit "${status}"
}
trap session_end EXIT
trap 'exit 1' INT TERM

mkdir -p "${DEMO_WINE_ARTIFACTS}"
rm -f "${DEMO_WINE_ARTIFACTS}"/*

# Starts Xvfb on a free display with one screen of the given WIDTHxHEIGHTxDEPTH
# and a white root window, so that anything the program draws black stands
# out from the background.
start_screen() {
  local screen=$1 display_file="${session_dir}/display"
  Xvfb -displayfd 3 -screen 0 "${screen}" -wr -nolisten tcp \
    3>"${display_file}" >"${DEMO_WINE_ARTIFACTS}/xvfb.log" 2>&1 &
  xvfb_pid=$!
  local waited=0
  until [ -s "${display_file}" ]; do
    kill -0 "${xvfb_pid}" 2>/dev/null || fail "Xvfb did not start (see xvfb.log)"
    [ "${waited}" -lt 100 ] || fail "Xvfb gave no display number within 10 s"
    sleep 0.1
    waited=$((waited + 1))
  done
  DISPLAY=":$(cat "${display_file}")"
  export DISPLAY
  log "Xvfb ${screen} on ${DISPLAY}"
}

# Starts the program under Wine in the background: start_program EXE [ARGS...]
start_program() {
  wine "$@" >"${DEMO_WINE_ARTIFACTS}/program.out" 2>"${DEMO_WINE_ARTIFACTS}/program.err" &
  program_pid=$!
  log "started $(basename "$1") (pid ${program_pid})"
}

program_running() { kill -0 "${program_pid}" 2>/dev/null; }

# Waits up to SECONDS for the program to end; sets program_status. Returns 1
# if it is still running then.
wait_for_exit() {
  local limit=$(($1 * 10)) waited=0
  while program_running; do
    [ "${waited}" -lt "${limit}" ] || return 1
    sleep 0.1
    waited=$((waited + 1))
  done
  program_status=0
  wait "${program_pid}" || program_status=$?
  log "program ended with exit code ${program_status}"
}

# Prints the id of the first window whose title matches the extended regular
# expression PATTERN, waiting up to SECONDS: wait_for_window PATTERN SECONDS
wait_for_window() {
  local title=$1 limit=$(($2 * 4)) waited=0 id
  while :; do
    id=$(xdotool search --name "${title}" 2>/dev/null | head -n 1 || true)
    [ -z "${id}" ] || break
    program_running || fail "the program ended before its window appeared"
    [ "${waited}" -lt "${limit}" ] || fail "no window matching ${title} within $2 s"
    sleep 0.25
    waited=$((waited + 1))
  done
  echo "${id}"
}

x_tool() { "${DEMO_X_WINDOW_TOOL}" "$@"; }

# Saves the whole screen as a PNG picture in the artifacts folder.
screenshot() { import -window root "${DEMO_WINE_ARTIFACTS}/$1.png"; }

# There is no window manager: keys go to the window that was clicked last.
focus_window() { xdotool mousemove "$1" "$2" click 1; }
