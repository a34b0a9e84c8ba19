# shellcheck shell=bash
# Which Windows build the Wine tests run, and how (source it from the top of the
# tree). They run the 32-bit programs we ship (mingw preset) under Wine's usual
# loader wherever 32-bit x86 programs run: natively, or through a CPU emulator
# where the kernel refuses them and a binfmt_misc entry hands them to one
# (scripts/install-deps.sh all sets that up). Where neither works, every 32-bit
# program fails with "Exec format error", Wine's 32-bit loader included, and the
# same tests run the 64-bit build of the programs (mingw64 preset) under Wine's
# 64-bit loader instead.
# Sets:
#   wine_route       native or emulated (the 32-bit build either way), or 64-bit
#   wine_route_note  what that means, for the test command's start and end
#   wine_preset      the preset whose programs the Wine tests run
#   wine_loader      the Wine loader that runs them
#   wine_soak_preset the preset whose windowed program the Wine soak runs
#   wine_cmake_args  the debug preset's settings that point the tests at them
#   no_32bit_reason  empty where 32-bit programs run, else the kernel's answer

# i386_emulator: the emulator that an enabled binfmt_misc entry hands 32-bit x86
# programs to (ELF class 32, little-endian, machine 3); fails where there is none.
i386_emulator() {
  local entry magic
  for entry in /proc/sys/fs/binfmt_misc/*; do
    magic=$(sed -n 's/^magic //p' "${entry}" 2>/dev/null) || continue
    if [ "${magic:0:12}" = 7f454c460101 ] && [ "${magic:36:4}" = 0300 ] && grep -qx enabled "${entry}"; then
      sed -n 's/^interpreter //p' "${entry}"
      return 0
    fi
  done
  return 1
}

no_32bit_reason=
wine_soak_preset=
wine_soak_args=(-DDEMO_WINE_SOAK_BUILD_DIR= -DDEMO_WINE_SOAK_LOADER=)
if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
  wine_preset=mingw
  wine_loader=wine
  if emulator=$(i386_emulator); then
    wine_route=emulated
    wine_route_note="the Wine tests run the 32-bit Windows programs (mingw) emulated by ${emulator}"
    # The emulator's own translation buffers would swamp the soak's memory
    # figure: it runs the 64-bit build, natively.
    wine_soak_preset=mingw64
    wine_soak_args=(-DDEMO_WINE_SOAK_BUILD_DIR="${PWD}/build/mingw64" -DDEMO_WINE_SOAK_LOADER=/usr/lib/wine/wine64)
  else
    wine_route=native
    wine_route_note="the Wine tests run the 32-bit Windows programs (mingw) natively"
  fi
else
  no_32bit_reason="/lib/ld-linux.so.2: $( (/lib/ld-linux.so.2 --version 2>&1 || true) | head -n1 | sed 's/.*: //')"
  wine_route=64-bit
  wine_preset=mingw64
  wine_loader=/usr/lib/wine/wine64
  wine_route_note="this kernel runs no 32-bit x86 programs (${no_32bit_reason}) and no emulator is set up for them:
the Wine tests (wine.*) run the 64-bit Windows build (${wine_preset}) under ${wine_loader};
the 32-bit .exe files are built and checked without Wine (windows.*)"
fi
wine_soak_preset=${wine_soak_preset:-${wine_preset}}
wine_cmake_args=(-DDEMO_WINE_BUILD_DIR="${PWD}/build/${wine_preset}" -DDEMO_WINE_LOADER="${wine_loader}"
  "${wine_soak_args[@]}")
