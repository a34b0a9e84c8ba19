#!/usr/bin/env bash
# scripts/install-deps.sh against a package mirror in mid-sync, with stand-ins
# for apt-get, dpkg-query, sudo and sleep first on PATH: the update fails the
# way a syncing mirror makes it fail, and the script must retry, go on to the
# install, and name what it could not install. Then its emulation set-up
# against a stand-in binfmt_misc folder: it registers an architecture only
# where no entry has it, and touches no other entry.
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
# Every package installed for the machine's architecture and, as multiarch
# libraries are, for arm64 too: one line each.
case "$*" in
  *Version*) printf '1:10.0.2' ;;
  *) printf 'install ok installed %s\ninstall ok installed arm64\n' "$(dpkg --print-architecture)" ;;
esac
EOF
cat >"$standins/mount" <<'EOF'
#!/usr/bin/env bash
echo "mount: permission denied" >&2
exit 32
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

# run_script UPDATE_FAILS INSTALL_FAILS [MISSING]: runs the script for the demo
# group with the packages MISSING (libsdl2-dev and zlib1g-dev unless given)
# missing; its output goes to $work/out.
run_script() {
  export STANDIN_STATE=$work/state
  rm -rf "$STANDIN_STATE" && mkdir "$STANDIN_STATE"
  printf '%s\n' ${3-libsdl2-dev zlib1g-dev} >"$STANDIN_STATE/missing"
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

# Nothing missing, multiarch libraries among it: no apt-get at all.
run_script 0 no ""
check "nothing missing: exit 0 (got $status; $(tail -1 "$work/out"))" test "$status" -eq 0
check "nothing missing: no apt-get (got $(cat "$STANDIN_STATE/calls"))" test ! -s "$STANDIN_STATE/calls"

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

# run_emulate ARCH: the emulation set-up alone, qemu-user 10 taken as
# installed, against the folder $binfmt; its output goes to $work/out.
binfmt=$work/binfmt_misc
run_emulate() {
  : >"$STANDIN_STATE/calls"
  : >"$STANDIN_STATE/missing"
  INSTALL_DEPS_BINFMT=$binfmt PATH=$standins:$PATH timeout 20 bash "$script" --emulate "$1" >"$work/out" 2>&1
  status=$?
}
one_line() { test "$(grep -c "$1" "$work/out")/$(wc -l <"$work/out")" = 1/1; }
mkdir -p "$binfmt"
: >"$binfmt/register"
echo enabled >"$binfmt/status"
printf 'enabled\ninterpreter /usr/bin/qemu-i386-static\nflags: OCF\noffset 0\nmagic 7f454c4601010100000000000000000002000300\nmask fffffffffffefe00fffffffffffffffffeffffff\n' >"$binfmt/i386-by-hand"
printf 'enabled\ninterpreter /usr/bin/python3\nflags: \nextension .py\n' >"$binfmt/python"
printf 'enabled\ninterpreter /usr/bin/qemu-x86_64\nflags: F\noffset 0\nmagic 7f454c4602010100000000000000000002003e00\nmask fffffffffffefe00fffffffffffffffffeffffff\n' >"$binfmt/x86_64"
cp -r "$binfmt" "$work/binfmt_before"
aarch64_entry=':qemu-aarch64:M::\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00:\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-aarch64:F'

# An entry for 32-bit x86 under another name: nothing registered, one line.
run_emulate i386
check "i386 present: exit 0 (got $status; $(cat "$work/out"))" test "$status" -eq 0
check "i386 present: nothing registered (got '$(cat "$binfmt/register")')" test ! -s "$binfmt/register"
check "i386 present: one line naming the entry ($(cat "$work/out"))" one_line 'i386-by-hand.*left as it is'

# aarch64 missing, beside another 64-bit machine's entry: registered with its
# own magic; no other entry changed.
run_emulate aarch64
check "aarch64 missing: exit 0 (got $status; $(cat "$work/out"))" test "$status" -eq 0
check "aarch64 missing: its entry registered (got '$(cat "$binfmt/register")')" \
  test "$(cat "$binfmt/register")" = "$aarch64_entry"
check "aarch64 missing: one line saying so ($(cat "$work/out"))" one_line 'aarch64 programs now run under'
check "aarch64 missing: the other entries untouched" diff -r -x register "$work/binfmt_before" "$binfmt"
check "aarch64 missing: no apt-get, qemu-user 10 being there (got $(cat "$STANDIN_STATE/calls"))" \
  test ! -s "$STANDIN_STATE/calls"

# No binfmt_misc, and it cannot be mounted: says so, fails, installs nothing.
rm -rf "$binfmt"
run_emulate i386
check "no binfmt_misc: exit non-zero (got $status)" test "$status" -ne 0
check "no binfmt_misc: says it cannot be mounted ($(cat "$work/out"))" grep -q 'binfmt_misc cannot be mounted' "$work/out"
check "no binfmt_misc: no apt-get (got $(cat "$STANDIN_STATE/calls"))" test ! -s "$STANDIN_STATE/calls"
[ "$failures" -eq 0 ] || { echo "--- script output:"; cat "$work/out"; }

finish install-deps
