#!/usr/bin/env bash
# A program on a private Wayland compositor, both run as an unprivileged user
# (wlroots compositors refuse to run as root).
#   wayland.sh keys PROGRAM_VARIABLE      sway: the spinning torus shows, other
#                                         keys leave it running, Esc ends it
#                                         with 0; the fullscreen one stops
#                                         drawing while it lacks the focus
#   wayland.sh close PROGRAM_VARIABLE     sway: a close request ends it with 0
#   wayland.sh passing-keyboard PROGRAM_VARIABLE
#   wayland.sh passing-keyboard-close PROGRAM_VARIABLE
#                                         sway, where a virtual keyboard came and
#                                         went beside one that stays just before
#                                         the start: the torus spins, and Esc
#                                         (or a close request) ends it with 0
#   wayland.sh wide-output DEMO_FULLSCREEN
#                                         sway on a 16:9 output at scale 2: the
#                                         frame is centred, not stretched (the
#                                         program's protocol log shows no buffer
#                                         scaled out of shape), Esc ends it with 0
#   wayland.sh seatless PROGRAM_VARIABLE  weston's headless back-end, which has
#                                         no input seat: exit 255, nothing printed
# A compositor or tool that is not installed is a failure that names its package.
scenario=${1:?scenario} program_variable=${2:?variable naming the program}
E2E_NAME="wayland-${scenario}-${program_variable}"
# shellcheck source=tests/e2e_lib.sh
source "$(dirname "$0")/../../e2e_lib.sh"
case "${scenario}" in
  seatless) require_tool weston weston ;;
  *) for tool in sway swaymsg grim wtype; do require_tool "${tool}" "${tool/swaymsg/sway}"; done ;;
esac
[ "$(id -u)" -ne 0 ] || require_tool setpriv util-linux
program=${!program_variable:?}
# Where the program's picture is on the 1024 x 768 screen: X Y W H. Both
# programs centre the frame; the fullscreen one on black.
picture_box="192 144 640 480"

compositor_pid=
keyboard_pid=
runtime_dir=$(mktemp -d)
stop_wayland() {
  local pid
  cleanup
  for pid in "${keyboard_pid}" "${compositor_pid}"; do
    [ -n "${pid}" ] || continue
    kill "${pid}" 2>/dev/null || true
    wait "${pid}" 2>/dev/null || true
  done
  rm -rf "${runtime_dir}"
}
trap stop_wayland EXIT

as_user=()
if [ "$(id -u)" -eq 0 ]; then
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
  chown nobody:nogroup "${runtime_dir}"
fi
wayland_display=
sway_socket=
# "${user_env[@]}" COMMAND...: COMMAND as that user, in the session's environment
# and nothing else (no X display to fall back to). A plain command, not a
# function, so that `... &` leaves COMMAND's own pid in $!.
set_user_env() {
  user_env=("${as_user[@]}" env -i PATH="${PATH}" HOME="${runtime_dir}"
    XDG_RUNTIME_DIR="${runtime_dir}")
  [ -z "${wayland_display}" ] || user_env+=(WAYLAND_DISPLAY="${wayland_display}")
  [ -z "${sway_socket}" ] || user_env+=(SWAYSOCK="${sway_socket}")
}
set_user_env

# wait_for_file PATTERN: the first file in the runtime directory that matches.
wait_for_file() {
  local found
  for _ in $(seq 200); do
    found=$(find "${runtime_dir}" -maxdepth 1 -name "$1" ! -name '*.lock' -print -quit)
    if [ -n "${found}" ]; then
      echo "${found}"
      return 0
    fi
    kill -0 "${compositor_pid}" 2>/dev/null || break
    sleep 0.05
  done
  cat "${work}/compositor.log" >&2
  fail "the compositor made no $1"
}

# start_sway [OUTPUT]: OUTPUT is the output's resolution and options, 1024x768
# unless given.
start_sway() {
  # No window decorations, and windows float at their own size: the windowed
  # program's picture is then a 640 x 480 box in the middle of the screen.
  printf '%s\n' "output HEADLESS-1 resolution ${1:-1024x768}" 'xwayland disable' \
    'default_border none' 'default_floating_border none' 'for_window [title=".*"] floating enable' \
    >"${runtime_dir}/config"
  "${user_env[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "${runtime_dir}/config" >"${work}/compositor.log" 2>&1 &
  compositor_pid=$!
  local socket
  socket=$(wait_for_file 'wayland-*')
  wayland_display=${socket##*/}
  sway_socket=$(wait_for_file 'sway-ipc.*.sock')
  set_user_env
  for _ in $(seq 100); do
    "${user_env[@]}" swaymsg -t get_outputs 2>/dev/null | grep -q HEADLESS-1 && break
    sleep 0.05
  done
  note "sway on ${wayland_display}"
}

start_weston() {
  "${user_env[@]}" weston --backend=headless-backend.so --socket=wayland-1 --no-config --idle-time=0 \
    >"${work}/compositor.log" 2>&1 &
  compositor_pid=$!
  wait_for_file wayland-1 >/dev/null
  wayland_display=wayland-1
  set_user_env
  note "weston (headless, no seat) on ${wayland_display}"
}

# start_user_program [VARIABLE=VALUE...]: with these set in its environment too.
start_user_program() {
  "${user_env[@]}" "$@" "${program}" >"${program_out}" 2>"${program_err}" &
  program_pid=$!
}

# fail_if_ended WHEN: a program that has ended fails the test, with its exit
# code (139: a crash).
fail_if_ended() {
  kill -0 "${program_pid}" 2>/dev/null && return 0
  wait_for_exit 1
  fail "the program ended with exit code ${exit_code} $1"
}

wait_for_window() {
  for _ in $(seq 300); do
    if "${user_env[@]}" swaymsg -r -t get_tree | grep -Eq "\"pid\": *${program_pid}[,}]"; then
      note "window of pid ${program_pid} in the tree"
      return 0
    fi
    fail_if_ended "before its window appeared"
    sleep 0.1
  done
  fail "no window of the program appeared"
}

# Screenshots of the output, for the shared checks of e2e_lib.sh.
shoot() {
  local path="${shot_dir}/$1.png"
  "${user_env[@]}" grim - >"${path}" || fail "screenshot failed"
  echo "${path}"
}

# press KEY...: types the keys on a virtual keyboard that lives for this call,
# after a pause in which the program binds it.
press() {
  local keys=() key
  for key; do keys+=(-k "${key}"); done
  "${user_env[@]}" wtype -s 1500 "${keys[@]}" -s 300
}

# Sway gives a window the keyboard focus only while there is a keyboard: a
# virtual one, lent until it is taken back.
lend_keyboard() {
  "${user_env[@]}" wtype -s 100000 &
  keyboard_pid=$!
}

# Waits until sway lists COUNT keyboards.
wait_for_keyboards() {
  for _ in $(seq 100); do
    [ "$("${user_env[@]}" swaymsg -r -t get_inputs | grep -c '"type": "keyboard"')" -eq "$1" ] && return 0
    sleep 0.05
  done
  fail "sway does not list $1 keyboard(s)"
}

# expect_undistorted: the program's protocol log (WAYLAND_DEBUG on its stderr)
# shows no buffer scaled out of shape: where a viewport scales a buffer, its
# destination has the source's width-to-height ratio.
expect_undistorted() {
  python3 - "${program_err}" <<'PY' || fail "the picture is scaled out of shape (protocol log above)"
import re, sys
buffer = cropped = None  # the last buffer's size; the viewport's source, if set
scaled = 0
for line in open(sys.argv[1], errors="replace"):
    if "->" not in line:
        continue  # events; only the program's requests tell
    m = re.search(r"create_buffer\(new id [^,]+, \d+, (\d+), (\d+),", line)
    if m:
        buffer = (int(m.group(1)), int(m.group(2)))
    m = re.search(r"wp_viewport@\d+\.set_source\(([^)]*)\)", line)
    if m:
        w, h = (float(v) for v in m.group(1).split(",")[2:])
        cropped = (w, h) if w > 0 else None
    m = re.search(r"wp_viewport@\d+\.set_destination\((-?\d+), (-?\d+)\)", line)
    if m and int(m.group(1)) > 0:
        w, h = int(m.group(1)), int(m.group(2))
        source = cropped or buffer
        scaled += 1
        print(line.strip())
        if source is None or abs(w * source[1] - h * source[0]) > max(w, h):
            print("a %s x %s picture shown as %d x %d" % (*(source or ("?", "?")), w, h))
            sys.exit(1)
print("-- %d viewport scaling(s), none out of shape" % scaled)
PY
}

take_keyboard_back() {
  kill "${keyboard_pid}"
  wait "${keyboard_pid}" 2>/dev/null || true
  keyboard_pid=
}

case "${scenario}" in
  keys | close)
    start_sway
    start_user_program
    wait_for_window
    lend_keyboard
    # shellcheck disable=SC2086
    wait_for_torus ${picture_box} torus
    expect_spinning spin
    ;;&
  keys)
    press a space Return q Tab
    expect_spinning after-keys
    note "still spinning after a, space, Return, q and Tab"
    if [ "${program_variable}" = DEMO_FULLSCREEN ]; then
      take_keyboard_back
      note "keyboard gone, so no focus"
      wait_until_still without-focus
      lend_keyboard
      expect_spinning focus-back
    fi
    press Escape
    expect_exit 0 10 Esc
    ;;
  passing-keyboard | passing-keyboard-close)
    start_sway
    lend_keyboard
    wait_for_keyboards 1
    # A second keyboard types a key and goes: sway's seat is left with no
    # active keyboard, so the program's keyboard gets modifiers before a keymap.
    "${user_env[@]}" wtype -s 300 -k a -s 300
    wait_for_keyboards 1
    start_user_program
    wait_for_window
    sleep 2
    fail_if_ended "after its window appeared"
    # shellcheck disable=SC2086
    wait_for_torus ${picture_box} torus
    expect_spinning spin
    ;;&
  passing-keyboard)
    press Escape
    wait_for_exit 5
    [ "${exit_code}" -eq 0 ] || fail "Esc ended it with exit code ${exit_code}"
    ;;
  wide-output)
    start_sway "1920x1080 scale 2"
    lend_keyboard
    start_user_program WAYLAND_DEBUG=1
    wait_for_window
    # 960 x 540 on the desktop, twice that on the screen: the frame's place.
    wait_for_torus 320 60 1280 960 torus
    expect_undistorted
    press Escape
    wait_for_exit 5
    [ "${exit_code}" -eq 0 ] || fail "Esc ended it with exit code ${exit_code}"
    sed -i '/^\[ *[0-9.]*\] /d' "${program_err}"  # the protocol log; the rest must be empty
    ;;
  close | passing-keyboard-close)
    "${user_env[@]}" swaymsg "[pid=${program_pid}] kill" >/dev/null || fail "swaymsg could not send the close request"
    expect_exit 0 10 "a close request"
    ;;
  seatless)
    start_weston
    start_user_program
    expect_exit 255 30 "a compositor with no seat"
    ;;
  *) fail "unknown scenario ${scenario}" ;;
esac
expect_no_output
note "passed"
