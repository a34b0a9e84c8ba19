#!/usr/bin/env bash
# The Debian package of a cross build (the arm64 preset's), which this machine
# cannot install, checked as far as it can be here: lintian; Depends from the
# programs' own libraries; the host package's files and control fields, the
# programs and what depends on them aside; programs for the package's
# processor, stripped; and the programs unpacked and run under emulation:
# demo-snapshot draws the recorded frames and the icons, demo-windowed and
# demo-fullscreen show the torus on Xvfb and end with 0.
#
#   deb_cross_test.sh BUILD HOST_BUILD
#     BUILD       holds the one torus-demo_*.deb its package target made
#     HOST_BUILD  holds the host package (the release preset's package target)
#                 and the screenshot helper tests/sdl/x11_test_helper
set -u
build=$1
host_build=$2
tests=$(cd "$(dirname "$0")/.." && pwd)
source "$tests/check.sh"
source "$tests/package/deb_checks.sh"

for tool in dpkg-deb:dpkg lintian:lintian file:file python3:python3; do
  command -v "${tool%%:*}" >/dev/null ||
    fail "${tool%%:*} is missing: install ${tool#*:} (bash scripts/install-deps.sh)"
done
one_deb() {
  local debs=("$1"/torus-demo_*.deb)
  [ -f "${debs[0]}" ] && [ "${#debs[@]}" -eq 1 ] || return 1
  realpath "${debs[0]}"
}
deb=$(one_deb "$build") ||
  fail "want exactly one torus-demo_*.deb in $build: cmake --build --preset $(basename "$build") --target package"
host_deb=$(one_deb "$host_build") ||
  fail "want exactly one torus-demo_*.deb in $host_build: cmake --build --preset $(basename "$host_build") --target package"
arch=$(dpkg-deb -f "$deb" Architecture)
[ "$arch" != "$(dpkg-deb -f "$host_deb" Architecture)" ] ||
  fail "$deb is for this machine's architecture ($arch): tests/package/deb_test.sh checks it"
case "$arch" in
  arm64) machine="ARM aarch64" ;;
  *) fail "no program type known for architecture $arch" ;;
esac

echo "== dpkg-deb -I $(basename "$deb")"
dpkg-deb -I "$deb"
echo "== dpkg-deb -c $(basename "$deb")"
dpkg-deb -c "$deb"

# dpkg-shlibdeps found the arm64 packages of the programs' libraries: the host
# package's, but ISA-L's, which the cross build does without
# (tools/CMakeLists.txt).
depends_names() { dpkg-deb -f "$1" Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//' | sort; }
check "Depends names the host package's libraries but libisal2: $(depends_names "$deb" | tr '\n' ' ')" \
  test "$(depends_names "$deb")" = "$(depends_names "$host_deb" | grep -vx libisal2)"
other_fields() { dpkg-deb -f "$1" | grep -vE '^(Architecture|Depends|Installed-Size):'; }
check "control fields as the host package's, but Architecture, Depends and Installed-Size" \
  diff <(other_fields "$deb") <(other_fields "$host_deb")
# Mode, owner and path of every entry; then every file's bytes but the programs'.
entries() { dpkg-deb -c "$1" | awk '{ print $1, $2, $6 }' | sort; }
check "the host package's files and folders, with their modes and owners" diff <(entries "$deb") <(entries "$host_deb")
sums_but_programs() { dpkg-deb -I "$1" md5sums | grep -v ' usr/bin/' | sort; }
check "every file but the programs the same as the host package's" \
  diff <(sums_but_programs "$deb") <(sums_but_programs "$host_deb")

check_lintian "$deb"

root=$work/root
dpkg-deb -x "$deb" "$root"
for program in demo-windowed demo-fullscreen demo-snapshot; do
  type=$(file -b "$root/usr/bin/$program")
  echo "usr/bin/$program: $type"
  check "usr/bin/$program is a stripped $machine program" \
    grep -qE "^ELF 64-bit LSB pie executable, $machine,.*, stripped$" <<<"$type"
done

# Run here under emulation, with the arm64 libraries the build linked.
check_snapshot_frames "$root/usr/bin/demo-snapshot"
export X11_TEST_HELPER=${X11_TEST_HELPER:-$host_build/tests/sdl/x11_test_helper}
[ -x "$X11_TEST_HELPER" ] ||
  fail "$X11_TEST_HELPER is not built: cmake --build --preset $(basename "$host_build")"
export E2E_OUT_DIR=$build/package-e2e
check "the packaged demo-windowed shows the torus and ends with 0 on a close request" \
  env DEMO_WINDOWED="$root/usr/bin/demo-windowed" bash "$tests/sdl/e2e/windowed.sh" close 24
check "the packaged demo-fullscreen shows the torus and ends with 0 on Esc" \
  env DEMO_FULLSCREEN="$root/usr/bin/demo-fullscreen" bash "$tests/sdl/e2e/fullscreen.sh" 640x480x24

finish deb-cross
