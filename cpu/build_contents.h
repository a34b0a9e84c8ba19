// What each build contains: which vector levels have code compiled in, per
// architecture and compiler. This is the one header that reads the compiler's
// architecture macros; every file with a fast path asks it, and code for a
// level this build leaves out is not compiled at all.
//
// | build                                   | SSE2 | AVX2 | AVX-512 | processor asked |
// |-----------------------------------------|------|------|---------|-----------------|
// | x86-64, GCC or Clang                    | yes  | yes  | yes     | at start-up     |
// | 32-bit x86, GCC (MinGW, -msse2)         | yes  | yes  | no      | at start-up     |
// | WebAssembly, emscripten -msimd128 -msse2| yes  | no   | no      | no: SSE2 always |
// | 64-bit ARM (aarch64), GCC               | no   | no   | no      | no: plain       |
// | WebAssembly without those, and the rest | no   | no   | no      | no: plain       |
//
// The portable build undefines __SSE2__ and so gets the last row's paths on an
// x86 processor. A level with code compiled in runs only where the processor
// has it (cpu/simd_level.h).
#pragma once

// Each row also says which entries of a stage's SimdPaths table
// (cpu/simd_level.h) the build keeps: DEMO_SIMD_PATHS(plain, sse2, avx2,
// avx512) is the table, with the path of every level the build leaves out
// dropped unnamed, so that it need not exist, and none in its place. Every
// stage fills its table so, and the tests' lists of levels come from the same
// entries: no other file asks which levels a build has.
#if defined(__SSE2__) && defined(__GNUC__) && defined(__x86_64__)
#define DEMO_BUILD_X86 1
#define DEMO_BUILD_SSE2 1
#define DEMO_BUILD_AVX2 1
#define DEMO_BUILD_AVX512 1
#define DEMO_SIMD_PATHS(plain, sse2, avx2, avx512) {plain, sse2, avx2, avx512}
#elif defined(__SSE2__) && defined(__GNUC__) && defined(__i386__)
// No AVX-512: 32-bit Windows does not keep the stack aligned for 64-byte
// registers.
#define DEMO_BUILD_X86 1
#define DEMO_BUILD_SSE2 1
#define DEMO_BUILD_AVX2 1
#define DEMO_SIMD_PATHS(plain, sse2, avx2, avx512) {plain, sse2, avx2, nullptr}
#elif defined(__EMSCRIPTEN__) && defined(__SSE2__)
// With -msimd128 -msse2, emscripten defines __SSE2__ and gives the SSE2
// intrinsics headers, built on WebAssembly's 128-bit vectors: the web build's
// SSE2 paths are the x86 ones, compiled from this row. WebAssembly has no
// wider vectors and the compiler no target("avx2") attribute, so nothing
// above SSE2. A browser without WebAssembly SIMD refuses the whole module, so
// the level cannot be chosen at run time inside one: the web build is made
// twice (CMake's DEMO_WEB_SIMD) and the page loads the one the browser
// validates. Where the SSE2 header spells an operation out one lane at a
// time, the paths take WebAssembly's own instruction instead
// (DEMO_BUILD_WASM_SIMD).
#define DEMO_BUILD_SSE2 1
#define DEMO_BUILD_WASM_SIMD 1
#define DEMO_SIMD_PATHS(plain, sse2, avx2, avx512) {plain, sse2, nullptr, nullptr}
#else
// The plain paths only, 64-bit ARM among them: a NEON path would have to show
// on a real ARM processor that it pays for its lines, and emulated time says
// nothing about that.
#define DEMO_SIMD_PATHS(plain, sse2, avx2, avx512) {plain, nullptr, nullptr, nullptr}
#endif

// Functions of the wider levels are compiled for their instructions one by
// one, so that the rest of the program keeps the baseline; they run only on a
// processor that has them.
#if defined(DEMO_BUILD_AVX2)
#define DEMO_TARGET_AVX2 __attribute__((target("avx2")))
#endif
#if defined(DEMO_BUILD_AVX512)
#define DEMO_TARGET_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl,avx512vbmi")))
#endif
