#!/usr/bin/env bash
# demo-windowed on a 1024 x 768 Xvfb screen of the given depth.
#   windowed.sh show DEPTH    the spinning torus, centred, in a 640 x 480 window,
#                             changing between every two of several samples
#   windowed.sh keys DEPTH    other keys leave it running, Esc ends it with 0
#   windowed.sh close DEPTH   a close request ends it with 0
scenario=${1:?scenario} depth=${2:?depth}
E2E_NAME="windowed-${scenario}-${depth}"
# shellcheck source=tests/e2e_lib.sh
source "$(dirname "$0")/../../e2e_lib.sh"
: "${DEMO_WINDOWED:?}"

# expect_no_stall NAME COUNT: COUNT changes of the window, sampled one after the
# other. A sample equal to the one before is taken again; the window may stay
# the same for at most STALL_MS, longer is a stall. A busy X server can hold one
# present back for a moment, and on a loaded 2-core machine a sample takes about
# a second (6 in 6.1 s at a load of 12), so one repeated sample already spans
# two of them. The picture repeats exactly every 360 frames,
# so the samples follow each other without a pause: even a release build does
# not draw 360 frames in the time of one screenshot.
STALL_MS=${STALL_MS:-3000}
expect_no_stall() {
  local name=$1 count=$2 previous current taken changed_at first_taken longest=0 changes=0 sample=0
  previous=$(shoot "${name}-0")
  changed_at=$(date +%s%N)
  first_taken=${changed_at}
  while [ "${changes}" -lt "${count}" ]; do
    sample=$((sample + 1))
    current=$(shoot "${name}-${sample}")
    taken=$(date +%s%N)
    if [ "$(differing "${previous}" "${current}")" -gt 0 ]; then
      changes=$((changes + 1))
      changed_at=${taken}
    elif [ $(((taken - changed_at) / 1000000)) -gt "${STALL_MS}" ]; then
      fail "${previous##*/} to ${current##*/}: the window stayed the same for $(((taken - changed_at) / 1000000)) ms"
    fi
    [ $(((taken - changed_at) / 1000000)) -gt "${longest}" ] && longest=$(((taken - changed_at) / 1000000))
    previous=${current}
  done
  note "no stall: ${count} changes in ${sample} samples over $(((taken - first_taken) / 1000000)) ms, longest unchanged ${longest} ms"
}

start_xvfb "1024x768x${depth}"
start_program "${DEMO_WINDOWED}"
window=$(program_window)
expect_geometry "${window}" "192 144 640 480"
wait_for_torus 192 144 640 480 torus

case "${scenario}" in
  show)
    expect_no_stall spin 6
    ;;
  keys)
    focus "${window}"
    xdotool key a space Return q F4 Tab
    expect_spinning after-keys
    start=$(date +%s%N)
    xdotool key Escape
    expect_exit 0 10 Esc
    note "Esc to exit: $((($(date +%s%N) - start) / 1000000)) ms"
    ;;
  close)
    "${X11_TEST_HELPER}" close "${window}"
    expect_exit 0 10 "a close request"
    ;;
  *) fail "unknown scenario ${scenario}" ;;
esac
expect_no_output
note "passed"
