// The conversions a user would otherwise reach for, run over a whole frame so
// that the row converters can be timed against them: a plain per-pixel loop,
// SDL_ConvertPixels and pixman's SRC composite.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "display/converters.h"
#include "raster/frame_buffer.h"

using FrameBytes = std::vector<std::uint8_t>;

using PlainLoop = void (*)(const PackedColor* source, std::uint8_t* destination, std::size_t count);

struct BenchLayout {
    const char* name;  // the PixelLayout whose converter is timed
    std::size_t bytesPerPixel;
    // The bits of an output pixel that carry colour; the others are unused in
    // the layout, and the peers may leave them as they like.
    std::uint32_t colourBits;
    PlainLoop plainLoop;
    std::uint32_t sdlFormat;     // an SDL_PixelFormatEnum
    std::uint32_t pixmanFormat;  // a pixman_format_code_t
};

extern const BenchLayout kBenchLayouts[8];

// A conversion of one frame into one destination buffer of the layout's frame
// size, both fixed when it is made; each call converts the whole frame again.
using FrameConversion = std::function<void()>;
using MakeConversion = FrameConversion (*)(const BenchLayout& layout, const FrameBuffer& frame,
                                           std::uint8_t* destination);

// Our converters, called row by row as the display does.
FrameConversion MakeRowConverterConversion(const BenchLayout& layout, const FrameBuffer& frame,
                                           std::uint8_t* destination);
// The layout's formula in a plain loop over the frame.
FrameConversion MakePlainLoopConversion(const BenchLayout& layout, const FrameBuffer& frame,
                                        std::uint8_t* destination);
FrameConversion MakeSdlConversion(const BenchLayout& layout, const FrameBuffer& frame, std::uint8_t* destination);
FrameConversion MakePixmanConversion(const BenchLayout& layout, const FrameBuffer& frame,
                                     std::uint8_t* destination);

// Empty when `actual` equals `expected` in every colour bit, else where the
// first difference is and the two pixel values, in hex.
std::string CompareColourBits(const BenchLayout& layout, const FrameBytes& expected, const FrameBytes& actual);
