# shellcheck shell=bash
# What the tests of the Windows programs under Wine share (source it): the
# end-to-end harness with Wine in use, the programs' window title and the
# checks both programs pass.
#
# The test's environment (tests/CMakeLists.txt) gives, beside the harness's
# variables, WINEPREFIX: an initialised prefix (wine_prefix.sh create) used by
# one test at a time; WINE_LOADER, the Wine loader (wine unless set); and
# WINDOWS_PRESET, the preset that builds the programs (mingw unless set).
# shellcheck source=tests/e2e_lib.sh
source "$(dirname "${BASH_SOURCE[0]}")/../e2e_lib.sh"
use_wine

# The window title as an extended regular expression for xdotool search.
readonly kTitle='^Quillon 32 - Kestav Opalix\(Numbrae\)$'
# shellcheck disable=SC2034  # read by the scripts that source this
readonly kStartSeconds=60 # a first start in a prefix starts Wine's services too
readonly kExitSeconds=20

x_tool() { "${X11_TEST_HELPER:?}" "$@"; }

readonly kWindowsPreset=${WINDOWS_PRESET:-mingw}
# The 64-bit loader runs the 64-bit build, any other the 32-bit one.
if [ "${wine_loader##*/}" = wine64 ]; then kWindowsBits=64; else kWindowsBits=32; fi
readonly kWindowsBits

# start_windows_program EXE: EXE of the cross build, under Wine.
start_windows_program() {
  require_built "$1" "${kWindowsPreset}"
  start_program "${wine_loader}" "$1"
}

# Wine writes its own messages to stderr; the program's console is stdout.
expect_quiet_console() {
  [ ! -s "${program_out}" ] || fail "the program wrote to its console: $(head -c 200 "${program_out}")"
}

# expect_keys X Y: after a click at (X, Y), where there is no window manager to
# give it the keys, the key A leaves the torus spinning and Esc ends the program
# with exit code 0.
expect_keys() {
  click_at "$1" "$2"
  xdotool key a
  expect_spinning after-key-a
  note "still spinning after the key A"
  xdotool key Escape
  expect_exit 0 "${kExitSeconds}" Esc
  expect_quiet_console
}

# expect_no_ddraw_exit EXE SCREEN: with DirectDraw unavailable the program ends
# at once with exit code -1 (255 as Wine reports it) and leaves no window.
expect_no_ddraw_exit() {
  local started
  start_xvfb "$2"
  started=$(date +%s%N)
  WINEDLLOVERRIDES=ddraw=d start_windows_program "$1"
  expect_exit 255 "${kExitSeconds}" "a failed open"
  note "ended $((($(date +%s%N) - started) / 1000000)) ms after the start"
  [ -z "$(xdotool search --name "${kTitle}" 2>/dev/null || true)" ] || fail "a window was left on screen"
}
