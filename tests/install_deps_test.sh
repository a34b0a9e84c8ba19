#!/usr/bin/env bash
# scripts/install-deps.sh against a package mirror in mid-sync, with stand-ins
# for apt-get, dpkg-query, sudo and sleep first on PATH: the update fails the
# way a syncing mirror makes it fail, and the script must retry, go on to the
# install, and name what it could not install.
#   install_deps_test.sh SCRIPT
set -u
script=$1
source "$(dirname "$0")/check.sh"

standins=$work/bin
mkdir -p "$standins"
# State in $work: `missing` lists the packages not installed; `update_fails`
# how many updates still fail; `install_fails`, when present, makes the
# install fail; `calls` records every apt-get and sleep call.
cat >"$standins/apt-get" <<'EOF'
#!/usr/bin/env bash
state=$STANDIN_STATE
echo "apt-get $*" >>"$state/calls"
case " $* " in
  *" update "*)
    left=$(cat "$state/update_fails")
    if [ "$left" -gt 0 ]; then
      echo $((left - 1)) >"$state/update_fails"
      echo "E: Failed to fetch http://mirror/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 127.0.0.1 80]" >&2
      exit 100
    fi ;;
  *" install "*)
    if [ -e "$state/install_fails" ]; then
      echo "E: Unable to correct problems, you have held broken packages." >&2
      exit 100
    fi
    : >"$state/missing" ;;
esac
exit 0
EOF
cat >"$standins/dpkg-query" <<'EOF'
#!/usr/bin/env bash
package=${!#}
grep -qx "$package" "$STANDIN_STATE/missing" && exit 1
printf 'install ok installed'
EOF
cat >"$standins/sleep" <<'EOF'
#!/usr/bin/env bash
echo "sleep $*" >>"$STANDIN_STATE/calls"
EOF
cat >"$standins/sudo" <<'EOF'
#!/usr/bin/env bash
exec "$@"
EOF
chmod +x "$standins"/*

# run_script UPDATE_FAILS INSTALL_FAILS: runs the script for the demo group with
# libsdl2-dev and zlib1g-dev missing; its output goes to $work/out.
run_script() {
  export STANDIN_STATE=$work/state
  rm -rf "$STANDIN_STATE" && mkdir "$STANDIN_STATE"
  printf 'libsdl2-dev\nzlib1g-dev\n' >"$STANDIN_STATE/missing"
  echo "$1" >"$STANDIN_STATE/update_fails"
  [ "$2" = yes ] && touch "$STANDIN_STATE/install_fails"
  : >"$STANDIN_STATE/calls"
  PATH=$standins:$PATH timeout 20 bash "$script" demo >"$work/out" 2>&1
  status=$?
  updates=$(grep -c '^apt-get update' "$STANDIN_STATE/calls")
  installs=$(grep -c '^apt-get install.*libsdl2-dev zlib1g-dev' "$STANDIN_STATE/calls")
  pauses=$(grep '^sleep' "$STANDIN_STATE/calls" | cut -d' ' -f2 | tr '\n' ' ')
}
in_range() { [ "$1" -ge "$2" ] && [ "$1" -le "$3" ]; }

# One failed update: tried again after a pause of 10 to 60 s, then installed.
run_script 1 no
check "one failed update: exit 0 (got $status; $(tail -1 "$work/out"))" test "$status" -eq 0
check "one failed update: updated twice (got $updates)" test "$updates" -eq 2
check "one failed update: one pause of 10 to 60 s (got '$pauses')" in_range "${pauses:-0}" 10 60
check "one failed update: the missing packages installed (got $installs installs)" test "$installs" -eq 1

# The index fails every time: three tries, then the install from what apt has.
INSTALL_DEPS_UPDATE_PAUSE=3 run_script 99 no
check "index always fails: exit 0 (got $status; $(tail -1 "$work/out"))" test "$status" -eq 0
check "index always fails: three tries (got $updates)" test "$updates" -eq 3
check "index always fails: INSTALL_DEPS_UPDATE_PAUSE sets the pauses (got '$pauses')" test "$pauses" = "3 3 "
check "index always fails: the install still runs (got $installs installs)" test "$installs" -eq 1

# And the install fails too: the packages it could not install are named.
INSTALL_DEPS_UPDATE_PAUSE=0 run_script 99 yes
check "install fails: exit non-zero (got $status)" test "$status" -ne 0
check "install fails: names the packages ($(grep 'could not' "$work/out"))" \
  grep -q 'could not install: libsdl2-dev zlib1g-dev$' "$work/out"
check "install fails: says the mirror may be mid-sync" grep -q 'mirror may be mid-sync' "$work/out"
[ "$failures" -eq 0 ] || { echo "--- script output:"; cat "$work/out"; }

finish install-deps
