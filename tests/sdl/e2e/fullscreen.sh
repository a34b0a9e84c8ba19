#!/usr/bin/env bash
# demo-fullscreen on an Xvfb screen of WIDTHxHEIGHTxDEPTH. On 640 x 480 the
# frame is the whole screen; on a larger one, with no 640 x 480 mode to switch
# to, it sits in the middle of a black screen. Either way the cursor is hidden,
# drawing stops while another window has the focus, and Esc ends it with 0.
#   fullscreen.sh SCREEN [close]   with close, a close request ends it instead
screen=${1:?screen} ending=${2:-esc}
E2E_NAME="fullscreen-${screen}${2:+-$2}"
# shellcheck source=tests/e2e_lib.sh
source "$(dirname "$0")/../../e2e_lib.sh"
: "${DEMO_FULLSCREEN:?}"

IFS=x read -r width height _ <<<"${screen}"
frame_x=$(((width - 640) / 2))
frame_y=$(((height - 480) / 2))

start_xvfb "${screen}"
start_program "${DEMO_FULLSCREEN}"
window=$(program_window)
expect_geometry "${window}" "0 0 ${width} ${height}"

xdotool mousemove $((width / 2)) $((height / 2))
wait_for_hidden_cursor

focus "${window}"
wait_for_torus "${frame_x}" "${frame_y}" 640 480 torus
if [ "${width}" -ne 640 ] || [ "${height}" -ne 480 ]; then
  # Black around the frame too: the white root would show wherever the window
  # left the screen uncovered.
  expect_torus "${shot_dir}/torus.png" 0 0 "${width}" "${height}"
fi
expect_spinning spin

focus none
wait_until_still in-background
focus "${window}"
expect_spinning back-in-front

case "${ending}" in
  esc)
    xdotool key Escape
    expect_exit 0 10 Esc
    ;;
  close)
    "${X11_TEST_HELPER}" close "${window}"
    expect_exit 0 10 "a close request"
    ;;
  *) fail "unknown ending ${ending}" ;;
esac
expect_no_output
note "passed"
