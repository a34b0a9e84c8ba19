# Sourced by the shell tests: a scratch folder $work, removed on exit, and
# check DESCRIPTION COMMAND..., which counts in $failures the commands that fail.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {
  local what=$1
  shift
  if ! "$@"; then
    echo "FAIL: $what"
    failures=$((failures + 1))
  fi
}
