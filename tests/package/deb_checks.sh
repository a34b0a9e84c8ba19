# shellcheck shell=bash
# What the Debian package tests share (source it after tests/check.sh).
#   check_lintian DEB            no error; a warning not named in
#                                allowed_warnings fails too, so that each one
#                                left in the package is a decision with its
#                                reason beside it
#   check_snapshot_frames PROGRAM  a packaged demo-snapshot draws the recorded
#                                frames, and the menu icons as kept in
#                                packaging/icons
deb_checks_tests=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

allowed_warnings=(
)
known_warning() {
  local allowed
  for allowed in "${allowed_warnings[@]}"; do [ "$allowed" = "$1" ] && return 0; done
  return 1
}
check_lintian() {
  local code warning
  echo "== lintian"
  lintian --fail-on error --display-info --tag-display-limit 0 "$1" >"$work/lintian" 2>&1
  code=$?
  cat "$work/lintian"
  check "lintian: exit 0 (1: errors, 2: lintian failed), got $code" test "$code" -eq 0
  check "lintian: no error" bash -c "! grep -q '^E: ' '$work/lintian'"
  for warning in $(sed -n 's/^W: torus-demo[^:]*: \([a-z0-9-]*\).*/\1/p' "$work/lintian" | sort -u); do
    check "lintian warning $warning is one of the known ones" known_warning "$warning"
  done
}

check_snapshot_frames() {
  local program=$1 seed_frame seed frame expected actual
  for seed_frame in "1 0" "4242 359"; do
    read -r seed frame <<<"$seed_frame"
    expected=$(sed -n "$((frame + 1))p" "$deb_checks_tests/data/frame_crcs_seed$seed.txt")
    actual=$("$program" --seed "$seed" --frame "$frame" -o - 2>&1 >/dev/null)
    check "$program seed $seed frame $frame: '$actual', recorded '$expected'" test "$actual" = "$expected"
  done
  check "icons: $program draws them as kept in packaging/icons" \
    python3 "$deb_checks_tests/../packaging/make_icons.py" "$program" "$deb_checks_tests/../packaging/icons" --check
}
