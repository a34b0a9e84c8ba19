#!/usr/bin/env bash
# The program named by PROGRAM_VARIABLE, launched LAUNCHES times in a row on
# Xvfb while another client opens and closes X connections without pause, as
# a busy desktop does at log-in. The X server then turns a new client away now
# and then (XOpenDisplay fails with EAGAIN); every launch must still show its
# window. Each launch is closed as
# soon as its window is seen, and must end with 0.
#   churn.sh PROGRAM_VARIABLE LAUNCHES
program_variable=${1:?variable naming the program} launches=${2:?launches}
E2E_NAME="churn-${program_variable}"
# shellcheck source=tests/e2e_lib.sh
source "$(dirname "$0")/../../e2e_lib.sh"
program=${!program_variable:?}
: "${X11_CHURN:?}"

churn_pid=
stop_churn() {
  if [ -n "${churn_pid}" ]; then kill "${churn_pid}" 2>/dev/null || true; fi
}
trap 'stop_churn; cleanup' EXIT

# In its bursts the churning client takes every place the server has, and
# keeps replacing its connections: a new one of the program's is then refused.
max_clients=64
start_xvfb 1024x768x24 -maxclients "${max_clients}"
"${X11_CHURN}" "${max_clients}" 600 2>/dev/null &
churn_pid=$!

shown=0
for launch in $(seq "${launches}"); do
  start_program "${program}"
  if window=$("${X11_TEST_HELPER}" window-of-pid "${program_pid}" 20000 2>/dev/null); then
    shown=$((shown + 1))
    "${X11_TEST_HELPER}" close "${window}" 2>/dev/null  # Xlib reports each refusal
    wait_for_exit 5 >/dev/null
    [ "${exit_code}" -eq 0 ] || failure "launch ${launch}: a close request ended it with ${exit_code}"
  else
    wait_for_exit 5 >/dev/null
    failure "launch ${launch}: no window, exit code ${exit_code}"
  fi
  expect_no_output
done
kill -0 "${churn_pid}" || fail "the churning client was not running to the end"
note "${shown} of ${launches} launches showed a window"
[ "${failures}" -eq 0 ] || fail "${failures} of ${launches} launches failed"
note "passed"
