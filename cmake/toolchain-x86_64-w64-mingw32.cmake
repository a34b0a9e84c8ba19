# Cross build for 64-bit Windows with Debian's MinGW-w64 compilers: the same
# programs as the 32-bit build, for machines (and Wine set-ups) that run only
# 64-bit programs.
set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# 64-bit Windows keeps the stack aligned to 16 bytes, and GCC cannot realign it
# there for the 32- and 64-byte registers of the AVX2 and AVX-512 paths: an
# aligned move of such a register to or from the stack could fault. The
# assembler writes every aligned vector move as an unaligned one, which costs
# nothing on aligned data.
set(CMAKE_C_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
set(CMAKE_CXX_FLAGS_INIT "-Wa,-muse-unaligned-vector-move")
