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
  emscripten chromium firefox-esr  # the web page: its build, and the two browsers that test it
)
# Wine runs the 32-bit Windows programs; its DirectDraw needs OpenGL for
# video-memory surfaces, which Xvfb provides in software through Mesa.
i386_packages=(wine wine32:i386 wine64 libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386)

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
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
