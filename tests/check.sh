# shellcheck shell=bash
# Sourced by every shell test: the one way they report failures, and a scratch
# folder $work. A failure prints "FAIL: WHAT" on stderr, so that a function
# whose output is its answer still shows it.
#   check WHAT COMMAND...  when COMMAND fails, counts WHAT as a failure
#   failure WHAT           counts WHAT as a failure; the test goes on
#   fail WHAT              a failure that ends the test at once, exit code 1
#   finish NAME            prints "NAME: N failure(s)" and ends the test, 1 if N > 0
# `cleanup` runs on exit; a test that redefines it removes $work itself.
failures=0
failure() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
fail() { failure "$@"; exit 1; }
check() { "${@:2}" || failure "$1"; }
finish() { echo "$1: ${failures} failure(s)"; exit $((failures > 0)); }
work=$(mktemp -d)
cleanup() { rm -rf "${work}"; }
trap cleanup EXIT
trap 'exit 1' INT TERM
