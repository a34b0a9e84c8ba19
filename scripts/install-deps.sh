#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, and only those
# that are missing. Safe to run again: it does nothing when all are present.
set -euo pipefail

host_packages=(
  cmake g++ ninja-build pkg-config python3
  libgtest-dev libgmock-dev libbenchmark-dev
  zlib1g-dev libstb-dev
  libsdl2-dev libpixman-1-dev libosmesa6-dev
  clang libclang-rt-14-dev
  xvfb xauth xdotool imagemagick libx11-dev libxfixes-dev
  libwayland-dev sway grim wtype weston
  g++-mingw-w64-i686 libz-mingw-w64-dev
  emscripten chromium  # the web page: its build, and the browser that tests it
)
# Wine runs the 32-bit Windows programs; its DirectDraw needs OpenGL for
# video-memory surfaces, which Xvfb provides in software through Mesa.
i386_packages=(wine wine32:i386 wine64 libgl1:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386)

is_installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed$'
}

missing=()
for package in "${host_packages[@]}" "${i386_packages[@]}"; do
  is_installed "$package" || missing+=("$package")
done
if [ "${#missing[@]}" -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi
echo "install-deps: installing ${missing[*]}"
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
