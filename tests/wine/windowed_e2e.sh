#!/usr/bin/env bash
# demo-windowed.exe under Wine, end to end.
#
#   windowed_e2e.sh spin DEPTH EXE      the window comes up centred with the torus
#                                       spinning; another key changes nothing; Esc
#                                       ends it with exit code 0
#   windowed_e2e.sh close DEPTH EXE     a close request ends it with exit code 0
#   windowed_e2e.sh no-ddraw EXE        with DirectDraw unavailable it ends at once
#                                       with exit code -1 (255 as Wine reports it)
#
# DEPTH is the Xvfb screen depth: 24 (32-bit pixels) or 16 (5-6-5).
# Environment: see wine_session.sh.
set -euo pipefail
# shellcheck source=tests/wine/wine_session.sh
source "$(dirname "$0")/wine_session.sh"

# The window title as an extended regular expression for xdotool search.
readonly kTitle='^Quillon 32 - Kestav Opalix\(Numbrae\)$'
readonly kScreenWidth=1024 kScreenHeight=768
readonly kStartSeconds=60   # a first start in a prefix starts Wine's services too
readonly kExitSeconds=20

# Prints the value after NAME in a line of "name value" pairs.
field() { echo "$1" | awk -v name="$2" '{ for (i = 1; i < NF; i++) if ($i == name) print $(i + 1) }'; }

expect_screen_visual() {
  local depth=$1 visual
  visual=$(x_tool visual)
  log "X visual: ${visual}"
  case "${depth}" in
    24) [ "${visual}" = "depth 24 red 0xff0000 green 0xff00 blue 0xff" ] ;;
    16) [ "${visual}" = "depth 16 red 0xf800 green 0x7e0 blue 0x1f" ] ;;
  esac || fail "the Xvfb screen is not the layout this test is meant for"
}

# The outer size is centred, so the client area (all of the X window without a
# window manager) is centred across and sits lower by about half the caption.
expect_centred() {
  local x y width height
  read -r x y width height <<<"$1"
  log "client area at (${x}, ${y}), ${width} x ${height}"
  if [ "${width}" -lt 640 ] || [ "${width}" -gt 660 ] || [ "${height}" -lt 480 ] || [ "${height}" -gt 500 ]; then
    fail "client area ${width} x ${height} is not about the 640 x 480 frame"
  fi
  local across=$((2 * x + width - kScreenWidth)) down=$((2 * y + height - kScreenHeight))
  [ "${across#-}" -le 1 ] || fail "not centred across: left margin ${x}, right $((kScreenWidth - x - width))"
  if [ "${down}" -lt 0 ] || [ "${down}" -gt 80 ]; then
    fail "not centred down: top margin ${y}, bottom $((kScreenHeight - y - height))"
  fi
}

# Prints the hash of the client area after checking that the torus is there:
# coloured pixels around the centre, black corners where the white root would
# show if the window were not drawn.
expect_frame_shown() {
  local x y width height centre corner sample
  read -r x y width height <<<"$1"
  centre=$(x_tool sample $((x + width / 2 - 160)) $((y + height / 2 - 160)) 320 320)
  local coloured=$(($(field "${centre}" pixels) - $(field "${centre}" black) - $(field "${centre}" white)))
  [ "${coloured}" -ge 2000 ] || fail "only ${coloured} coloured pixels around the centre: ${centre}"
  for corner in "${x} ${y}" "$((x + width - 16)) ${y}" "${x} $((y + height - 16))" \
    "$((x + width - 16)) $((y + height - 16))"; do
    # shellcheck disable=SC2086
    sample=$(x_tool sample ${corner} 16 16)
    [ "$(field "${sample}" black)" = 256 ] || fail "corner at ${corner} is not black: ${sample}"
  done
  sample=$(x_tool sample "${x}" "${y}" "${width}" "${height}")
  log "client area: ${sample}; ${coloured} coloured pixels around the centre"
  field "${sample}" hash
}

expect_spinning() {
  local geometry=$1 first second
  first=$(expect_frame_shown "${geometry}")
  sleep 0.5
  second=$(expect_frame_shown "${geometry}")
  [ "${first}" != "${second}" ] || fail "the picture did not change in 0.5 s"
}

expect_exit() {
  local wanted=$1
  wait_for_exit "${kExitSeconds}" || fail "still running ${kExitSeconds} s after $2"
  [ "${program_status}" = "${wanted}" ] || fail "exit code ${program_status} after $2, wanted ${wanted}"
}

scenario_spin() {
  local depth=$1 exe=$2 window geometry x y width height
  require_program "${exe}"
  start_screen "${kScreenWidth}x${kScreenHeight}x${depth}"
  expect_screen_visual "${depth}"
  start_program "${exe}"
  window=$(wait_for_window "${kTitle}" "${kStartSeconds}")
  geometry=$(x_tool geometry "${window}")
  expect_centred "${geometry}"
  sleep 1  # the first frames
  expect_spinning "${geometry}"
  screenshot spinning

  read -r x y width height <<<"${geometry}"
  focus_window $((x + width / 2)) $((y + height / 2))
  xdotool key a
  sleep 1
  program_running || fail "a key other than Esc ended the program"
  expect_spinning "${geometry}"
  log "still spinning after the key A"

  xdotool key Escape
  expect_exit 0 "Esc"
  [ ! -s "${DEMO_WINE_ARTIFACTS}/program.out" ] || fail "the program wrote to its console"
}

scenario_close() {
  local depth=$1 exe=$2 window
  require_program "${exe}"
  start_screen "${kScreenWidth}x${kScreenHeight}x${depth}"
  start_program "${exe}"
  window=$(wait_for_window "${kTitle}" "${kStartSeconds}")
  sleep 1
  expect_frame_shown "$(x_tool geometry "${window}")" >/dev/null
  x_tool close "${window}"
  expect_exit 0 "a close request"
}

scenario_no_ddraw() {
  local exe=$1 started
  require_program "${exe}"
  start_screen "${kScreenWidth}x${kScreenHeight}x24"
  started=$(date +%s)
  WINEDLLOVERRIDES=ddraw=d start_program "${exe}"
  expect_exit 255 "a failed open"
  log "ended $(($(date +%s) - started)) s after the start"
  [ -z "$(xdotool search --name "${kTitle}" 2>/dev/null || true)" ] || fail "a window was left on screen"
}

case "${1:-}" in
  spin) scenario_spin "$2" "$3" ;;
  close) scenario_close "$2" "$3" ;;
  no-ddraw) scenario_no_ddraw "$2" ;;
  *)
    echo "usage: windowed_e2e.sh spin|close DEPTH EXE | no-ddraw EXE" >&2
    exit 2
    ;;
esac
log "passed"
