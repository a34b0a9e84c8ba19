#!/usr/bin/env bash
# Installs the Debian packages a group needs, and only those that are missing.
# Safe to run again: it does nothing when all are present.
#   install-deps.sh [demo|all] [--list]
#     demo    building and running the demo (scripts/run-demo.sh)
#     all     also the tests, benchmarks, fuzzers and the Windows programs
#             under Wine (the default)
#     --list  prints the group's packages, one a line, and installs nothing
set -euo pipefail

group=all
list_only=false
for argument in "$@"; do
  case "${argument}" in
    demo | all) group=${argument} ;;
    --list) list_only=true ;;
    *)
      echo "install-deps: unknown argument ${argument}; use demo, all or --list" >&2
      exit 2
      ;;
  esac
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

wanted=("${demo_packages[@]}")
if [ "${group}" = all ]; then wanted+=("${host_packages[@]}" "${i386_packages[@]}"); fi

if "${list_only}"; then
  printf '%s\n' "${wanted[@]}"
  exit 0
fi

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed$'
}

missing=()
for package in "${wanted[@]}"; do
  is_installed "$package" || missing+=("$package")
done
if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: all packages of group ${group} present"
  exit 0
fi

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
needs_i386=false
for package in "${missing[@]}"; do
  case "${package}" in *:i386) needs_i386=true ;; esac
done
if "${needs_i386}" && ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
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
