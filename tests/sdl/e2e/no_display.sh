#!/usr/bin/env bash
# With no display to open, the program named by the variable PROGRAM_VARIABLE
# ends at once (without retrying) with exit code 255 (-1) and prints nothing.
#   no_display.sh PROGRAM_VARIABLE
program_variable=${1:?variable naming the program}
E2E_NAME="no-display-${program_variable}"
# shellcheck source=tests/e2e_lib.sh
source "$(dirname "$0")/../../e2e_lib.sh"
program=${!program_variable:?}

# run_without_display [VAR=VALUE...]: no X, no Wayland, no session directory.
run_without_display() {
  local code=0 start elapsed_ms
  start=$(date +%s%N)
  env -u DISPLAY -u WAYLAND_DISPLAY -u XDG_RUNTIME_DIR -u SDL_VIDEODRIVER "$@" \
    timeout 30 "${program}" >"${program_out}" 2>"${program_err}" || code=$?
  elapsed_ms=$((($(date +%s%N) - start) / 1000000))
  [ "${code}" -eq 255 ] || fail "exit code ${code} with $*, expected 255"
  expect_no_output
  # Nothing named to wait for: no retries. Their pauses alone add up to 1810 ms
  # (display/sdl/video_start.cpp); a loaded machine may take a second to start.
  [ "${elapsed_ms}" -lt 1750 ] || fail "took ${elapsed_ms} ms to give up with $*"
  note "exit code 255 after ${elapsed_ms} ms, nothing printed (${*:-SDL_VIDEODRIVER unset})"
}

run_without_display SDL_VIDEODRIVER=x11
# Left to itself SDL also tries the console's graphics devices; where this
# machine has one that could be opened, it is a display after all.
if compgen -G "/dev/dri/card*" >/dev/null; then
  note "skipped SDL_VIDEODRIVER unset: this machine has /dev/dri"
else
  run_without_display
fi
note "passed"
