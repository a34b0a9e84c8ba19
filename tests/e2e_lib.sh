# shellcheck shell=bash
# The end-to-end tests' harness, for the runs on X (Xvfb), on Wayland and under
# Wine alike: a private display, one program under test, screenshots and the
# checks made on them, bounded waits, and clean-up whatever happens. Sourced by
# the scenario scripts.
#
# The caller sets, before sourcing:
#   E2E_NAME      the run's name: its screenshots and logs go to E2E_OUT_DIR/E2E_NAME
#   E2E_OUT_DIR   where the runs keep them for a look afterwards
# and for the checks on screenshots X11_TEST_HELPER, the x11_test_helper program.
# Progress lines go to stdout, failures (check.sh's) to stderr; a function that
# answers prints only its answer. The script ends 0 when it passes and 1 at its
# first failure; a tool or a build that is missing is a failure that says what
# to install or run.
set -euo pipefail

: "${E2E_OUT_DIR:?}" "${E2E_NAME:?}"
# shellcheck source=tests/check.sh
source "$(dirname "${BASH_SOURCE[0]}")/check.sh"

xvfb_pid=
program_pid=
exit_code= # of the program, set by wait_for_exit
wine_used=

cleanup() {
  if [ -n "${program_pid}" ] && kill -0 "${program_pid}" 2>/dev/null; then
    kill -KILL "${program_pid}" 2>/dev/null || true
  fi
  # Every Wine process of this test's own prefix.
  if [ -n "${wine_used}" ]; then wineserver -k 2>/dev/null || true; fi
  if [ -n "${xvfb_pid}" ]; then
    kill "${xvfb_pid}" 2>/dev/null || true
    wait "${xvfb_pid}" 2>/dev/null || true
  fi
  # The program's output, kept beside the screenshots.
  cp "${work}/stdout" "${shot_dir}/program.out" 2>/dev/null || true
  cp "${work}/stderr" "${shot_dir}/program.err" 2>/dev/null || true
  rm -rf "${work}"
}

note() { echo "-- $*"; }

# require_tool COMMAND PACKAGE: a test that cannot run fails, naming what to install.
require_tool() {
  command -v "$1" >/dev/null || fail "$1 is not installed; install the Debian package $2" \
    "(bash scripts/install-deps.sh all)"
}

# require_built FILE PRESET: FILE comes from the build of PRESET.
require_built() {
  [ -f "$1" ] || fail "$1 is not built; run: cmake --preset $2 && cmake --build --preset $2"
}

# Screenshots and the program's output are kept here for a look after the run.
shot_dir="${E2E_OUT_DIR}/${E2E_NAME}"
rm -rf "${shot_dir}"
mkdir -p "${shot_dir}"

# start_xvfb WIDTHxHEIGHTxDEPTH [XVFB OPTION...]: a server on a display number
# it picks itself. The white root shows through wherever no window covers it.
start_xvfb() {
  local screen=$1 display_file="${work}/display"
  shift
  require_tool Xvfb xvfb
  require_tool xdotool xdotool
  require_tool import imagemagick
  Xvfb -displayfd 3 -screen 0 "${screen}" -nolisten tcp -noreset -wr "$@" \
    3>"${display_file}" >"${work}/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 200); do
    if [ -s "${display_file}" ]; then
      DISPLAY=":$(head -n1 "${display_file}")"
      export DISPLAY
      note "Xvfb ${screen} on ${DISPLAY}"
      return 0
    fi
    kill -0 "${xvfb_pid}" 2>/dev/null || break
    sleep 0.05
  done
  cat "${work}/xvfb.log" >&2
  fail "Xvfb did not start"
}

# use_wine: the program runs under Wine, in the prefix WINEPREFIX (made by
# tests/wine/wine_prefix.sh), quietly; clean-up ends every process of it.
# WINE_LOADER names the loader, wine unless set: /usr/lib/wine/wine64 runs the
# 64-bit build where the kernel runs no 32-bit programs, and then starts every
# program of the prefix itself.
wine_loader=wine
use_wine() {
  : "${WINEPREFIX:?an initialised Wine prefix}"
  wine_loader=${WINE_LOADER:-wine}
  if [ "${wine_loader##*/}" = wine64 ]; then
    require_tool "${wine_loader}" wine64
    export WINELOADER=${wine_loader}
  else
    require_tool "${wine_loader}" wine
  fi
  export WINEDEBUG=-all
  unset WINEDLLOVERRIDES
  wine_used=1
}

# start_program COMMAND [ARGUMENT...]: runs it in the background, its output
# kept to be checked (and afterwards as program.out and program.err in the
# run's folder).
program_out="${work}/stdout"
program_err="${work}/stderr"
start_program() {
  "$@" >"${program_out}" 2>"${program_err}" &
  program_pid=$!
}

program_window() {
  "${X11_TEST_HELPER}" window-of-pid "${program_pid}" 30000 ||
    fail "no window of the program appeared"
}

# window_titled TITLE SECONDS: the id of the first window whose title matches
# the extended regular expression TITLE.
window_titled() {
  local id
  for _ in $(seq $(($2 * 10))); do
    id=$(xdotool search --name "$1" 2>/dev/null | head -n 1 || true)
    if [ -n "${id}" ]; then
      echo "${id}"
      return 0
    fi
    expect_running "before its window appeared"
    sleep 0.1
  done
  fail "no window titled $1 within $2 s"
}

# wait_for_exit SECONDS: the program's exit code, or failure when it runs on.
wait_for_exit() {
  local limit_ms=$(($1 * 1000)) waited_ms=0
  while kill -0 "${program_pid}" 2>/dev/null; do
    [ "${waited_ms}" -lt "${limit_ms}" ] || fail "still running after $1 s"
    sleep 0.05
    waited_ms=$((waited_ms + 50))
  done
  local code=0
  wait "${program_pid}" || code=$?
  program_pid=
  note "exited with code ${code} after about ${waited_ms} ms"
  # shellcheck disable=SC2034  # read by the scenario scripts
  exit_code=${code}
}

# expect_exit CODE SECONDS WHAT: WHAT ends the program within SECONDS with CODE.
expect_exit() {
  wait_for_exit "$2"
  [ "${exit_code}" -eq "$1" ] || fail "$3 ended it with exit code ${exit_code}, wanted $1"
}

expect_running() {
  kill -0 "${program_pid}" 2>/dev/null || fail "the program ended: $*"
}

expect_no_output() {
  if [ -s "${program_out}" ] || [ -s "${program_err}" ]; then
    cat "${program_out}" "${program_err}" >&2
    fail "the program wrote to the console"
  fi
}

# shoot NAME: a PNG of the whole screen, its path on stdout. The screen, not the
# window: on a 16-bit screen `import` misreads the colours of a window of its own.
shoot() {
  local path="${shot_dir}/$1.png"
  import -silent -window root "${path}" || fail "screenshot failed"
  echo "${path}"
}

coloured() { "${X11_TEST_HELPER:?}" png-coloured "$@"; }
nonblack() { "${X11_TEST_HELPER:?}" png-nonblack "$@"; }
differing() { "${X11_TEST_HELPER:?}" png-differ "$1" "$2"; }

# The torus has at least about 5800 coloured pixels in the middle half of the
# frame at any angle; an empty black or white screen has none.
least_torus=3000
# Where the torus was last seen: X Y W H on the screen, set by wait_for_torus.
torus_box=

# expect_torus PNG X Y W H: the frame at (X, Y) on the screen shows the torus:
# many coloured pixels around its centre, black corners.
expect_torus() {
  local png=$1 x=$2 y=$3 w=$4 h=$5 c=16
  local centre
  centre=$(coloured "${png}" $((x + w / 4)) $((y + h / 4)) $((w / 2)) $((h / 2)))
  [ "${centre}" -ge "${least_torus}" ] || fail "only ${centre} coloured pixels around the centre of ${png}"
  local corner
  for corner in "${x} ${y}" "$((x + w - c)) ${y}" "${x} $((y + h - c))" \
    "$((x + w - c)) $((y + h - c))"; do
    # shellcheck disable=SC2086
    [ "$(nonblack "${png}" ${corner} ${c} ${c})" -eq 0 ] || fail "corner at ${corner} of ${png} is not black"
  done
  note "torus in ${png##*/}: ${centre} coloured pixels around the centre, black corners"
}

# wait_for_torus X Y W H NAME: polls screenshots until the torus shows there.
wait_for_torus() {
  local x=$1 y=$2 w=$3 h=$4 name=$5 png
  for attempt in $(seq 100); do
    png=$(shoot "${name}")
    if [ "$(coloured "${png}" $((x + w / 4)) $((y + h / 4)) $((w / 2)) $((h / 2)))" -ge "${least_torus}" ]; then
      expect_torus "${png}" "${x}" "${y}" "${w}" "${h}"
      torus_box="${x} ${y} ${w} ${h}"
      return 0
    fi
    [ "${attempt}" -lt 100 ] || break
    expect_running "before the torus showed"
    sleep 0.1
  done
  fail "the torus did not show; last screenshot ${png}"
}

# expect_spinning NAME: the torus where wait_for_torus saw it, in two
# screenshots that differ, and the program still running after them. After a
# key or a change of focus this is the proof that the program went on drawing
# (and so read its input) and did not end over it.
expect_spinning() {
  local name=$1 first second count
  [ -n "${torus_box}" ] || fail "expect_spinning needs wait_for_torus first"
  first=$(shoot "${name}-a")
  # shellcheck disable=SC2086
  expect_torus "${first}" ${torus_box}
  for attempt in $(seq 100); do
    sleep 0.1
    second=$(shoot "${name}-b")
    count=$(differing "${first}" "${second}")
    if [ "${count}" -gt 0 ]; then
      # shellcheck disable=SC2086
      expect_torus "${second}" ${torus_box}
      expect_running "after ${name}"
      note "spinning: ${count} pixels changed, still running"
      return 0
    fi
    [ "${attempt}" -lt 100 ] || break
  done
  fail "the picture did not change in 10 s"
}

# wait_until_still NAME: polls until two screenshots half a second apart are
# the same.
wait_until_still() {
  local name=$1 first second count
  for attempt in $(seq 20); do
    first=$(shoot "${name}-a")
    sleep 0.5
    second=$(shoot "${name}-b")
    count=$(differing "${first}" "${second}")
    if [ "${count}" -eq 0 ]; then
      note "still: nothing changed in half a second"
      return 0
    fi
    [ "${attempt}" -lt 20 ] || break
  done
  fail "the picture kept changing (${count} pixels in half a second)"
}

geometry() { "${X11_TEST_HELPER}" geometry "$1"; }

expect_geometry() {
  local window=$1 expected=$2 actual
  actual=$(geometry "${window}")
  [ "${actual}" = "${expected}" ] || fail "window at '${actual}', expected '${expected}'"
  note "window at ${actual}"
}

focus() {
  "${X11_TEST_HELPER}" focus "$1"
}

# click_at X Y: with no window manager, a click is how a window gets the keys.
click_at() { xdotool mousemove "$1" "$2" click 1; }

wait_for_hidden_cursor() {
  local report
  for attempt in $(seq 100); do
    if report=$("${X11_TEST_HELPER}" cursor-hidden); then
      note "${report}"
      return 0
    fi
    [ "${attempt}" -lt 100 ] || break
    sleep 0.05
  done
  fail "the cursor still shows: ${report}"
}
