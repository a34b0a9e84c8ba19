# shellcheck shell=bash
# Which Windows build the Wine tests run (source it from the top of the tree).
# Where the kernel runs 32-bit x86 programs: the 32-bit build (mingw preset)
# under Wine's usual loader. Some virtual machines switch 32-bit programs off,
# and then every one fails with "Exec format error", Wine's 32-bit loader
# included: there the same tests run the 64-bit build of the same programs
# (mingw64 preset) under Wine's 64-bit loader.
# Sets:
#   wine_preset      the preset whose programs the Wine tests run
#   wine_loader      the Wine loader that runs them
#   wine_cmake_args  the debug preset's settings that point the tests at them
#   no_32bit_reason  empty where 32-bit programs run, else the kernel's answer
no_32bit_reason=
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  wine_preset=mingw
  wine_loader=wine
else
  no_32bit_reason="/lib/ld-linux.so.2: $( (/lib/ld-linux.so.2 --version 2>&1 || true) | head -n1 | sed 's/.*: //')"
  wine_preset=mingw64
  wine_loader=/usr/lib/wine/wine64
fi
wine_cmake_args=(-DDEMO_WINE_BUILD_DIR="${PWD}/build/${wine_preset}" -DDEMO_WINE_LOADER="${wine_loader}")
