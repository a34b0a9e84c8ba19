// The triangle fills by level, which FillTriangles chooses from, and the fast
// fill's two rules, which its tests also check directly: which triangles its
// packed walk takes (raster/gouraud_walk.h), and how it divides without a
// divide instruction.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "raster/frame_buffer.h"
#include "raster/gouraud.h"

// GouraudTriangle for each triangle in turn: the reference.
void FillTrianglesPlain(FrameBuffer& frameBuffer, const ScreenTriangle* triangles, std::size_t count);
// The packed walk with a span fill in 128-, 256- and 512-bit registers, in
// gouraud_sse2.cpp, gouraud_avx2.cpp and gouraud_avx512.cpp; a build has those
// cpu/build_contents.h names.
void FillTrianglesSse2(FrameBuffer& frameBuffer, const ScreenTriangle* triangles, std::size_t count);
void FillTrianglesAvx2(FrameBuffer& frameBuffer, const ScreenTriangle* triangles, std::size_t count);
void FillTrianglesAvx512(FrameBuffer& frameBuffer, const ScreenTriangle* triangles, std::size_t count);

// Whether the packed walk may fill this triangle: every corner on the screen
// and above the last row, every colour with a zero top byte. It then gives
// exactly the pixels of GouraudTriangle: there is nothing to clip, every side
// value stays between two corners' values (steps truncate toward zero), so
// every channel stays in 0..0x00FF0000, and every span has seven more pixels of
// frame after it for the span fills' last group. Any other triangle takes
// GouraudTriangle itself.
inline bool FitsPackedWalk(const ScreenTriangle& t) {
    const auto fits = [](std::int32_t x, std::int32_t y) {
        return static_cast<std::uint32_t>(x) < static_cast<std::uint32_t>(kFrameWidth) &&
               static_cast<std::uint32_t>(y) < static_cast<std::uint32_t>(kFrameHeight - 1);
    };
    return fits(t.x1, t.y1) && fits(t.x2, t.y2) && fits(t.x3, t.y3) && ((t.c1 | t.c2 | t.c3) >> 24) == 0;
}

// Exact truncating division by multiplying with a reciprocal, in double
// precision: for |n| < 2^27 and d in 1..1023, trunc(n * r) = trunc(n / d) when
// r is 1/d rounded up. Where n / d is a whole q, n * r >= q and stays far below
// q + 1; otherwise n / d is at least 1/d below the next whole number while
// n * r exceeds n / d by under 2^27 * 2^-51, and rounding the product cannot
// close a gap of 1/1023. Division by 0 is given as 0 (a flat edge has no
// steps). Every quotient of the walk fits: edge heights below 479 and span
// lengths up to 640, 16.16 differences of columns and levels below 2^26.
namespace packed_divide {
inline constexpr std::int32_t kDivisorLimit = 1024;
inline constexpr std::int32_t kNumeratorLimit = 1 << 27;

inline constexpr auto kReciprocals = [] {
    std::array<double, kDivisorLimit> reciprocals{};
    for (std::size_t d = 1; d < reciprocals.size(); ++d) {
        // The builtin: the web build's standard library has no std::bit_cast yet.
        const auto bits = __builtin_bit_cast(std::uint64_t, 1.0 / static_cast<double>(d));
        reciprocals[d] = __builtin_bit_cast(double, bits + 1);
    }
    return reciprocals;
}();
}  // namespace packed_divide
