#!/usr/bin/env bash
# demo-windowed (SDL) on Xvfb for SECONDS: its resident memory is sampled every
# second and must not grow beyond noise, it must not crash, and Esc must still
# end it with exit code 0. Prints the frames presented and the memory figures.
#
#   soak_sdl.sh SECONDS
seconds=${1:?seconds}
E2E_NAME="soak-sdl"
# shellcheck source=tests/e2e_lib.sh
source "$(dirname "$0")/../e2e_lib.sh"
# shellcheck source=tests/soak/memory.sh
source "$(dirname "$0")/memory.sh"
: "${DEMO_WINDOWED:?}" "${DEMO_PRESENT_COUNTER:?}"

export DEMO_PRESENT_COUNT_FILE="${work}/presented"
start_xvfb 1024x768x24
LD_PRELOAD="${DEMO_PRESENT_COUNTER}" start_program "${DEMO_WINDOWED}"
window=$(program_window)
focus "${window}"

sample_memory "${program_pid}" "${seconds}" || fail "the program ended during the run"
expect_running "after ${seconds} s"
xdotool key Escape
wait_for_exit 5
[ "${exit_code}" -eq 0 ] || fail "Esc ended it with exit code ${exit_code}"
expect_no_output
frames=$(cat "${DEMO_PRESENT_COUNT_FILE}" 2>/dev/null || echo 0)
note "frames presented: ${frames} in about ${seconds} s"
[ "${frames}" -gt 0 ] || fail "no frame was presented"
expect_flat_memory
note "passed"
