#!/usr/bin/env bash
# demo-windowed.exe under Wine for SECONDS: its resident memory is sampled every
# second and must not grow beyond noise, it must not crash, and Esc must still
# end it with exit code 0.
#
#   soak_wine.sh SECONDS EXE
# Environment: see tests/wine/wine_session.sh.
set -euo pipefail
seconds=${1:?seconds}
exe=${2:?exe}
# shellcheck source=tests/wine/wine_session.sh
source "$(dirname "$0")/../wine/wine_session.sh"
note() { log "$*"; }
# shellcheck source=tests/soak/memory.sh
source "$(dirname "$0")/memory.sh"

require_program "${exe}"
start_screen 1024x768x24
start_program "${exe}"
window=$(wait_for_window '^Quillon 32 - Kestav Opalix\(Numbrae\)$' 60)
read -r x y width height <<<"$(x_tool geometry "${window}")"
focus_window $((x + width / 2)) $((y + height / 2))

sample_memory "${program_pid}" "${seconds}" || fail "the program ended during the run"
program_running || fail "the program ended during the run"
screenshot after-soak
xdotool key Escape
wait_for_exit 20 || fail "still running 20 s after Esc"
[ "${program_status}" -eq 0 ] || fail "Esc ended it with exit code ${program_status}"
expect_flat_memory
note "passed after ${seconds} s"
