#!/usr/bin/env bash
# demo-windowed.exe under Wine for SECONDS: its resident memory is sampled every
# second and must not grow beyond noise, it must not crash, and Esc must still
# end it with exit code 0.
#
#   soak_wine.sh SECONDS EXE
# Environment: see tests/wine/windows_program.sh.
set -euo pipefail
seconds=${1:?seconds}
exe=${2:?exe}
# shellcheck source=tests/wine/windows_program.sh
source "$(dirname "$0")/../wine/windows_program.sh"
# shellcheck source=tests/soak/memory.sh
source "$(dirname "$0")/memory.sh"

start_xvfb 1024x768x24
start_windows_program "${exe}"
window=$(window_titled "${kTitle}" "${kStartSeconds}")
read -r x y width height <<<"$(geometry "${window}")"
click_at $((x + width / 2)) $((y + height / 2))

sample_memory "${program_pid}" "${seconds}" || fail "the program ended during the run"
expect_running "during the run"
shoot after-soak >/dev/null
xdotool key Escape
expect_exit 0 "${kExitSeconds}" Esc
expect_flat_memory
note "passed after ${seconds} s"
