# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers: the same
# programs as the 32-bit build, for machines (and Wine set-ups) that run only
# 64-bit programs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Headers and libraries (zlib among them) come from the MinGW tree only.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs must run with nothing beside them: the C++ runtime, libgcc and
# zlib are linked in; only system DLLs are imported. main() gives the console
# subsystem.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON CACHE BOOL "Link zlib statically")

# 64-bit Windows keeps the stack aligned to 16 bytes, and GCC cannot realign it
# there for the 32- and 64-byte registers of the AVX2 and AVX-512 paths: an
# aligned move of such a register to or from the stack could fault. The
# assembler writes every aligned vector move as an unaligned one, which costs
# nothing on aligned data.
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
