#!/usr/bin/env bash
# Installs the Debian packages a group needs, and only those that are missing.
# Safe to run again: it does nothing when all are present.
#   install-deps.sh [demo|all] [--list]
#   install-deps.sh --emulate ARCH
#     demo    building and running the demo (scripts/run-demo.sh)
#     all     also the tests, benchmarks, fuzzers and the Windows programs
#             under Wine (the default); where the kernel runs no 32-bit x86
#             programs, sets up their emulation (see enable_emulation)
#     --list  prints the group's packages, one a line, and installs nothing
#     --emulate ARCH  only sets up the emulation of ARCH (i386, aarch64)
set -euo pipefail

group=all
list_only=false
emulate=
while [ "$#" -gt 0 ]; do
  case "$1" in
    demo | all) group=$1 ;;
    --list) list_only=true ;;
    --emulate)
      emulate=${2:?install-deps: --emulate needs an architecture}
      shift ;;
    *)
      echo "install-deps: unknown argument $1; use demo, all, --list or --emulate ARCH" >&2
      exit 2
      ;;
  esac
  shift
done

# The demo: compiler and build tools, SDL2 (the back-end asks Wayland's client
# library about input seats itself), and the PNG writer's deflate and zlib.
demo_packages=(
  cmake g++ ninja-build pkg-config
  libsdl2-dev libwayland-dev
  zlib1g-dev libstb-dev
  libisal-dev  # demo-snapshot compresses its PNG pictures with ISA-L
)
# Tests, benchmarks, sanitizers and fuzzers, the Windows cross build.
host_packages=(
  python3
  libgtest-dev libgmock-dev libbenchmark-dev
  libpixman-1-dev libosmesa6-dev
  libpng-dev  # reads demo-snapshot's pictures back in the tests; measured in bench/
  libspng-dev  # only measured in bench/
  clang libclang-rt-14-dev
  xvfb xauth xdotool imagemagick libx11-dev libxfixes-dev
  sway grim wtype weston
  g++-mingw-w64-i686 libz-mingw-w64-dev
  g++-mingw-w64-x86-64  # the 64-bit Windows build, which Wine runs where the kernel runs no 32-bit programs
  emscripten chromium firefox-esr webkit2gtk-driver  # the web page: its build, and the browsers that test it
  dpkg-dev file  # dpkg-shlibdeps and file: the Debian package's Depends
  lintian desktop-file-utils man-db  # the Debian package's checks
)
# Wine runs the 32-bit Windows programs (wine64 the 64-bit ones); its
# DirectDraw needs OpenGL for video-memory surfaces, which Xvfb provides in
# software through Mesa.
i386_packages=(wine wine32:i386 wine64 libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386
  libgl1:amd64 libgl1-mesa-dri:amd64 libglx-mesa0:amd64)

# The arm64 build (arm64 preset): Debian's cross compiler and the arm64 builds
# of what the programs and their unit tests link, installed beside the host's
# own (multiarch; none of them takes an amd64 package's place). Its tests run
# the programs under emulation (enable_emulation aarch64).
arm64_packages=(g++-aarch64-linux-gnu
  libsdl2-dev:arm64 libwayland-dev:arm64 libxkbcommon-dev:arm64 zlib1g-dev:arm64
  libgtest-dev:arm64 libgmock-dev:arm64 libpng-dev:arm64)

wanted=("${demo_packages[@]}")
if [ "${group}" = all ]; then wanted+=("${host_packages[@]}" "${i386_packages[@]}" "${arm64_packages[@]}"); fi

if "${list_only}"; then
  printf '%s\n' "${wanted[@]}"
  exit 0
fi

# is_installed NAME[:ARCH]: a name without an architecture is the machine's
# own (or an architecture-independent) package; dpkg lists one line for each
# architecture a multiarch library is installed for (read whole: grep -q
# stopping at the first line would fail the query, and so the pipeline).
is_installed() {
  local arch lines
  case "$1" in *:*) arch=${1#*:} ;; *) arch=$(dpkg --print-architecture) ;; esac
  lines=$(dpkg-query -W -f='${Status} ${Architecture}\n' "$1" 2>/dev/null) || return 1
  grep -qE "^install ok installed (${arch}|all)$" <<<"${lines}"
}

# enable_emulation ARCH (i386 or aarch64): lets the kernel run ARCH's Linux
# programs through qemu's user-mode emulator, by a binfmt_misc entry that hands
# them to its static qemu-ARCH. The emulator is the qemu-user package of the
# bookworm-backports suite, and nothing else comes from that suite: Debian 12's
# own qemu 7.2 takes Wine's MAP_FIXED_NOREPLACE reservations as hints and Wine
# cannot start under it. Mounts binfmt_misc where it is not mounted; registers
# only where no entry for ARCH exists and leaves every other entry alone.
# Prints one line saying what it did; returns non-zero where it could not.
enable_emulation() {
  local arch=$1 magic mask
  case "${arch}" in
    # The first 20 bytes of an ELF executable or shared object: class, byte
    # order and version, type, machine. The masks let the OS/ABI byte and the
    # type (executable or shared object) vary.
    i386)
      magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
      mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' ;;
    aarch64)
      magic='\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00'
      mask='\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' ;;
    *)
      echo "install-deps: no emulation known for ${arch}" >&2
      return 2 ;;
  esac
  # INSTALL_DEPS_BINFMT: another folder in its place, for the tests.
  local binfmt=${INSTALL_DEPS_BINFMT:-/proc/sys/fs/binfmt_misc}
  if [ ! -e "${binfmt}/register" ] &&
    ! "${sudo_cmd[@]}" mount -t binfmt_misc binfmt_misc "${binfmt}" 2>/dev/null; then
    echo "install-deps: ${arch} emulation not set up: binfmt_misc cannot be mounted on ${binfmt}" >&2
    return 1
  fi
  # An entry for ARCH is one whose magic names the same ELF class, byte order
  # and machine, whatever its name and flags.
  local want entry
  want=$(printf '%b' "${magic}" | od -An -tx1 -v | tr -d ' \n')
  for entry in "${binfmt}"/*; do
    case "${entry##*/}" in register | status) continue ;; esac
    local got
    got=$(sed -n 's/^magic //p' "${entry}")
    if grep -qx 'offset 0' "${entry}" && [ "${got:0:12}" = "${want:0:12}" ] &&
      [ "${got:36:4}" = "${want:36:4}" ]; then
      echo "install-deps: ${arch} programs already go to $(sed -n 's/^interpreter //p' "${entry}") (binfmt_misc entry ${entry##*/}, $(head -n1 "${entry}")); left as it is"
      return 0
    fi
  done
  local emulator=/usr/bin/qemu-${arch}
  if ! install_backports_qemu; then
    echo "install-deps: ${arch} emulation not set up: qemu-user could not be installed from bookworm-backports" >&2
    return 1
  fi
  # F: the kernel opens the emulator now, so the entry works in every mount
  # namespace and chroot.
  if ! printf ':qemu-%s:M::%s:%s:%s:F\n' "${arch}" "${magic}" "${mask}" "${emulator}" |
    "${sudo_cmd[@]}" tee "${binfmt}/register" >/dev/null; then
    echo "install-deps: ${arch} emulation not set up: the kernel refused the binfmt_misc entry" >&2
    return 1
  fi
  echo "install-deps: ${arch} programs now run under ${emulator} of qemu-user $(dpkg-query -W -f='${Version}' qemu-user) (binfmt_misc entry qemu-${arch})"
}

# qemu-user from bookworm-backports (qemu 10, static emulators; it breaks
# Debian 12's qemu-user-static). Unless a source has the suite already, it is
# added from the same mirror as the machine's bookworm source, pinned so that
# no other package ever comes from it.
install_backports_qemu() {
  local version
  version=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || true)
  if is_installed qemu-user && dpkg --compare-versions "${version}" ge 1:10; then return 0; fi
  local list=/etc/apt/sources.list.d/bookworm-backports.sources
  local pin=/etc/apt/preferences.d/bookworm-backports-qemu-only
  local update=()
  # shellcheck disable=SC2016 # apt's own $(FIELD) placeholders
  if ! apt-get indextargets --format '$(RELEASE)' | grep -qx bookworm-backports; then
    local mirror
    # shellcheck disable=SC2016
    mirror=$(apt-get indextargets --format '$(RELEASE) $(SITE)' 'Created-By: Packages' |
      awk '$1 == "bookworm" { print $2; exit }')
    [ -n "${mirror}" ] || return 1
    "${sudo_cmd[@]}" tee "${pin}" >/dev/null <<'PIN'
# Only qemu-user comes from bookworm-backports.
Package: qemu-user
Pin: release n=bookworm-backports
Pin-Priority: 500

Package: *
Pin: release n=bookworm-backports
Pin-Priority: -1
PIN
    printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nArchitectures: %s\n' \
      "${mirror}" "$(dpkg --print-architecture)" | "${sudo_cmd[@]}" tee "${list}" >/dev/null
    # Only the new source's index is fetched.
    update=(-o Dir::Etc::SourceList="${list}" -o Dir::Etc::SourceParts=- -o APT::Get::List-Cleanup=0)
  fi
  # apt's output is shown only where it fails, so that the set-up stays one line.
  local log status=0
  log=$(mktemp)
  { "${sudo_cmd[@]}" apt-get update -qq "${update[@]}" &&
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
      -o DPkg::Lock::Timeout=600 qemu-user/bookworm-backports; } >"${log}" 2>&1 || status=$?
  [ "${status}" -eq 0 ] || cat "${log}" >&2
  rm -f "${log}"
  return "${status}"
}

# The Wine tests run 32-bit programs: where this kernel runs none itself, they
# go through the emulator (else the tests fall back to the 64-bit build). The
# arm64 build's tests run its programs under emulation on any other processor;
# where that cannot be set up, their stage fails and says why.
set_up_emulation() {
  [ "${group}" = all ] || return 0
  if ! /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    enable_emulation i386 || true
  fi
  if [ "$(uname -m)" != aarch64 ]; then
    enable_emulation aarch64 || true
  fi
}

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
if [ -n "${emulate}" ]; then
  enable_emulation "${emulate}"
  exit
fi

missing=()
for package in "${wanted[@]}"; do
  is_installed "$package" || missing+=("$package")
done
if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: all packages of group ${group} present"
  set_up_emulation
  exit 0
fi

# Packages of another architecture (name:ARCH) need dpkg to know it first.
for arch in i386 arm64; do
  [ "${arch}" != "$(dpkg --print-architecture)" ] || continue
  for package in "${missing[@]}"; do
    case "${package}" in
      *:"${arch}")
        dpkg --print-foreign-architectures | grep -qx "${arch}" ||
          "${sudo_cmd[@]}" dpkg --add-architecture "${arch}"
        break
        ;;
    esac
  done
done
echo "install-deps: installing ${missing[*]}"

# A package mirror in mid-sync serves an index of the wrong size for a few
# minutes, and apt-get update then fails for that index alone. So the update is
# tried again after a pause, and if an index still fails the install goes on
# with the indexes apt has: most packages need nothing from the failed one.
# INSTALL_DEPS_UPDATE_PAUSE (seconds) replaces the pauses. Sources are never
# pinned, downgraded or dropped to get around it.
update_tries=3
update_pauses=(20 40)
index_failed=false
for ((try = 1; try <= update_tries; try++)); do
  if "${sudo_cmd[@]}" apt-get update -qq; then
    index_failed=false
    break
  fi
  index_failed=true
  if [ "${try}" -lt "${update_tries}" ]; then
    pause=${INSTALL_DEPS_UPDATE_PAUSE:-${update_pauses[try - 1]}}
    echo "install-deps: apt-get update failed (try ${try} of ${update_tries}); the package mirror may be mid-sync, trying again in ${pause} s" >&2
    sleep "${pause}"
  fi
done
if "${index_failed}"; then
  echo "install-deps: apt-get update failed ${update_tries} times; installing from the package indexes apt has" >&2
fi

if ! DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
  not_installed=()
  for package in "${missing[@]}"; do
    is_installed "$package" || not_installed+=("$package")
  done
  echo "install-deps: could not install: ${not_installed[*]:-(apt-get failed, see above)}" >&2
  echo "install-deps: the package mirror may be mid-sync; run this script again in a few minutes" >&2
  exit 1
fi
set_up_emulation
