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
# Environment: see windows_program.sh.
set -euo pipefail
# shellcheck source=tests/wine/windows_program.sh
source "$(dirname "$0")/windows_program.sh"

readonly kScreenWidth=1024 kScreenHeight=768

expect_screen_visual() {
  local depth=$1 visual
  visual=$(x_tool visual)
  note "X visual: ${visual}"
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
  note "client area at (${x}, ${y}), ${width} x ${height}"
  if [ "${width}" -lt 640 ] || [ "${width}" -gt 660 ] || [ "${height}" -lt 480 ] || [ "${height}" -gt 500 ]; then
    fail "client area ${width} x ${height} is not about the 640 x 480 frame"
  fi
  local across=$((2 * x + width - kScreenWidth)) down=$((2 * y + height - kScreenHeight))
  [ "${across#-}" -le 1 ] || fail "not centred across: left margin ${x}, right $((kScreenWidth - x - width))"
  if [ "${down}" -lt 0 ] || [ "${down}" -gt 80 ]; then
    fail "not centred down: top margin ${y}, bottom $((kScreenHeight - y - height))"
  fi
}

scenario_spin() {
  local depth=$1 window x y width height
  start_xvfb "${kScreenWidth}x${kScreenHeight}x${depth}"
  expect_screen_visual "${depth}"
  start_windows_program "$2"
  window=$(window_titled "${kTitle}" "${kStartSeconds}")
  read -r x y width height <<<"$(geometry "${window}")"
  expect_centred "${x} ${y} ${width} ${height}"
  wait_for_torus "${x}" "${y}" "${width}" "${height}" torus
  expect_spinning spin
  expect_keys $((x + width / 2)) $((y + height / 2))
}

scenario_close() {
  local window
  start_xvfb "${kScreenWidth}x${kScreenHeight}x$1"
  start_windows_program "$2"
  window=$(window_titled "${kTitle}" "${kStartSeconds}")
  # shellcheck disable=SC2046
  wait_for_torus $(geometry "${window}") torus
  "${X11_TEST_HELPER}" close "${window}"
  expect_exit 0 "${kExitSeconds}" "a close request"
}

case "${1:-}" in
  spin) scenario_spin "$2" "$3" ;;
  close) scenario_close "$2" "$3" ;;
  no-ddraw) expect_no_ddraw_exit "$2" "${kScreenWidth}x${kScreenHeight}x24" ;;
  *)
    echo "usage: windowed_e2e.sh spin|close DEPTH EXE | no-ddraw EXE" >&2
    exit 2
    ;;
esac
note "passed"
