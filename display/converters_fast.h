// The row converters' fast paths, by level: one group path per layout in
// converters_sse2.cpp and converters_avx2.cpp; a build has those
// cpu/build_contents.h names. Each group path converts a start of the row in
// groups of pixels (the whole row, or all but fewer pixels than its widest
// group) and returns how many pixels that was; the converter does the rest one
// pixel at a time with the formula of display/pixel_formulas.h. A group path
// must give the formula's bytes exactly, read nothing past the row's `count`
// pixels and write nothing but the output bytes of the pixels it reports done.
// It is called with a count of 1 or more.
#pragma once

#include <cstdint>

using GroupPath = std::int32_t (*)(const std::uint8_t* source, std::uint8_t* destination,
                                   std::int32_t count);

// One group path per layout, in the order of the converters.
struct GroupPaths {
    GroupPath rgb32, bgr32, rgb24, bgr24, rgb565, bgr565, rgb555, bgr555;
};

extern const GroupPaths kConvertersSse2;
extern const GroupPaths kConvertersAvx2;
