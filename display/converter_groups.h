// The fast paths behind the row converters. Each group path converts a start
// of the row in groups of pixels (the whole row, or all but fewer pixels than
// its widest group) and returns how many pixels that was; the converter does
// the rest one pixel at a time with the formula of display/pixel_formulas.h.
// A group path must give the formula's bytes exactly, read nothing past the
// row's `count` pixels and write nothing but the output bytes of the pixels it
// reports done. It is called with a count of 1 or more.
#pragma once

#include <cstdint>

using GroupPath = std::int32_t (*)(const std::uint8_t* source, std::uint8_t* destination,
                                   std::int32_t count);

// One group path per layout, in the order of the converters.
struct GroupPaths {
    GroupPath rgb32, bgr32, rgb24, bgr24, rgb565, bgr565, rgb555, bgr555;
};

// Does no groups: every pixel goes through the formula.
std::int32_t NoGroups(const std::uint8_t* source, std::uint8_t* destination, std::int32_t count);
// The whole row as one block copy: the frame's own layout where there is no
// fast path.
std::int32_t CopyWholeRow(const std::uint8_t* source, std::uint8_t* destination, std::int32_t count);

#if defined(__SSE2__)
#define DEMO_HAVE_SSE2_GROUPS 1
extern const GroupPaths kSse2GroupPaths;
#endif

// Built on any x86 compiler that can target AVX2 per function (not for
// WebAssembly, whose SSE2 comes from headers); run only at SimdLevel::Avx2 and above.
#if defined(DEMO_HAVE_SSE2_GROUPS) && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define DEMO_HAVE_AVX2_GROUPS 1
extern const GroupPaths kAvx2GroupPaths;
#endif
