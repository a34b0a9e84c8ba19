#!/usr/bin/env bash
# The Debian package as a user meets it: lintian, installed with apt-get, the
# programs, menu entries, icons and manual pages in place, then removed with
# nothing of it left.
#
#   deb_test.sh BUILD   BUILD holds the one torus-demo_*.deb that
#                       `cmake --build --preset release --target package` made
#
# It installs a system package, so it runs as root (or with sudo), and only on
# a machine without torus-demo: whatever happens, it purges what it installed.
set -u
build=$1
tests=$(cd "$(dirname "$0")/.." && pwd)
source "$tests/check.sh"
source "$tests/package/deb_checks.sh"

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo -n)
for tool in dpkg-deb:dpkg lintian:lintian desktop-file-validate:desktop-file-utils man:man-db \
  apt-get:apt python3:python3; do
  command -v "${tool%%:*}" >/dev/null ||
    fail "${tool%%:*} is missing: install ${tool#*:} (bash scripts/install-deps.sh)"
done
[ "${#sudo_cmd[@]}" -eq 0 ] || "${sudo_cmd[@]}" true 2>/dev/null ||
  fail "installing a package needs root: run as root or with password-less sudo"

debs=("$build"/torus-demo_*.deb)
[ -f "${debs[0]}" ] && [ "${#debs[@]}" -eq 1 ] ||
  fail "want exactly one torus-demo_*.deb in $build, found: ${debs[*]}"
deb=$(realpath "${debs[0]}")
dpkg-query -W -f='${Status}' torus-demo 2>/dev/null | grep -q 'installed\|config-files' &&
  fail "torus-demo is already installed here; this test would remove it (apt-get purge torus-demo first)"

echo "== dpkg-deb -c $(basename "$deb")"
dpkg-deb -c "$deb"
echo "== dpkg-deb -f $(basename "$deb")"
dpkg-deb -f "$deb"
depends=$(dpkg-deb -f "$deb" Depends)
for library in libc6 libsdl2-2.0-0 libwayland-client0 libisal2 zlib1g; do
  check "Depends, from the programs' libraries, names $library" grep -qE "(^|, )$library( |,|$)" <<<"$depends"
done

check_lintian "$deb"

# What the machine had, so that only what this test added is taken away again.
installed_packages() {
  dpkg-query -W -f='${db:Status-Status} ${binary:Package}\n' | sed -n 's/^installed //p' | sort
}
installed_packages >"$work/before"
remove_added() {
  installed_packages >"$work/after"
  local added
  added=$(comm -13 "$work/before" "$work/after")
  if [ -n "$added" ]; then
    echo "== removing: $added"
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get purge -y -qq -o DPkg::Lock::Timeout=300 $added >"$work/purge" 2>&1 ||
      cat "$work/purge"
  fi
}
trap 'remove_added; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM HUP

echo "== apt-get install $deb"
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq -o DPkg::Lock::Timeout=300 "$deb" >"$work/install" 2>&1
code=$?
grep -v '^N: Download is performed unsandboxed' "$work/install"
[ "$code" -eq 0 ] || fail "apt-get install: exit $code"
dpkg-query -L torus-demo | sort >"$work/files"

for program in demo-windowed demo-fullscreen demo-snapshot; do
  check "/usr/bin/$program installed and executable" test -x "/usr/bin/$program"
done

# The installed tool draws the recorded frames, and the icons.
check_snapshot_frames /usr/bin/demo-snapshot

for entry in demo-windowed demo-fullscreen; do
  desktop=/usr/share/applications/$entry.desktop
  check "$entry.desktop passes desktop-file-validate" desktop-file-validate "$desktop"
  check "$entry.desktop starts the installed $entry" grep -qx "Exec=$entry" "$desktop"
done
# The icon the entries name, in every size, each picture of the size its folder says.
check "icons: every size, each of its folder's size" python3 - <<'PY'
import struct, sys
ok = True
for size in (16, 22, 24, 32, 48, 64, 128, 256):
    path = "/usr/share/icons/hicolor/%dx%d/apps/torus-demo.png" % (size, size)
    try:
        head = open(path, "rb").read(24)
    except OSError as error:
        print(error); ok = False; continue
    if head[:8] != b"\x89PNG\r\n\x1a\n" or struct.unpack(">II", head[16:24]) != (size, size):
        print("%s: not a %d x %d PNG" % (path, size, size)); ok = False
sys.exit(0 if ok else 1)
PY

# man finds the page, and it has an entry for every option and layout --help lists.
# A machine whose dpkg leaves manual pages out (path-exclude) cannot pass.
check "man -w demo-snapshot: $(man -w demo-snapshot 2>&1) $(grep -rhs 'path-exclude.*man' /etc/dpkg/dpkg.cfg.d)" \
  test "$(man -w demo-snapshot 2>&1)" = /usr/share/man/man1/demo-snapshot.1.gz
LC_ALL=C MANWIDTH=200 man demo-snapshot 2>"$work/man-errors" >"$work/man"
sed -n '/^OPTIONS/,/^EXIT STATUS/p' "$work/man" >"$work/options"
check "man demo-snapshot: no warnings ($(head -c 300 "$work/man-errors"))" test ! -s "$work/man-errors"
for word in $(/usr/bin/demo-snapshot --help | grep -oE '(^| )--?[a-z]+' | sort -u) \
  $(/usr/bin/demo-snapshot --help | sed -n 's/.*display layout: //p'); do
  check "man demo-snapshot has an entry for $word" grep -qE -- "^ +(-[a-z], )?$word( [A-Z]+)?( |,|$)" "$work/options"
done
for text in 'EXIT STATUS' 'ffmpeg -f rawvideo'; do
  check "man demo-snapshot has $text" grep -qF -- "$text" "$work/man"
done
for page in demo-windowed demo-fullscreen; do  # one page, which the second names
  check "man $page finds its page" bash -c "LC_ALL=C man $page 2>/dev/null | grep -q 'EXIT STATUS'"
done

echo "== apt-get purge torus-demo"
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get purge -y -qq -o DPkg::Lock::Timeout=300 torus-demo >"$work/purge" 2>&1
code=$?
check "apt-get purge: exit 0, got $code ($(tail -1 "$work/purge"))" test "$code" -eq 0
check "dpkg knows torus-demo no more" bash -c "! dpkg-query -W torus-demo >/dev/null 2>&1"
# Of everything the package listed, only folders that other packages share
# and that hold other files may stay.
while read -r path; do
  if [ -d "$path" ] && [ -n "$(ls -A "$path")" ]; then
    echo "$path" >>"$work/kept-folders"
  elif [ -e "$path" ]; then
    failure "left after removal: $path"
  fi
done <"$work/files"
if [ -s "$work/kept-folders" ]; then
  xargs dpkg-query -S <"$work/kept-folders" 2>/dev/null | sed 's/.*: //' | sort -u >"$work/shared-folders"
  for path in $(comm -23 <(sort "$work/kept-folders") "$work/shared-folders"); do
    failure "left after removal, no other package's: $path"
  done
fi
check "the package listed its files" test -s "$work/files"

finish deb
