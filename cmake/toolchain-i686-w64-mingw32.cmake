# Cross build for 32-bit Windows with Debian's MinGW-w64 compilers.
set(MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)

# Windows may call a window procedure with the stack aligned to 4 bytes only,
# while the code the procedure reaches keeps SSE2 values on the stack and
# assumes 16: every function realigns its own stack where it needs to.
set(CMAKE_C_FLAGS_INIT "-mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-mstackrealign")
