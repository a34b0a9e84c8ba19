// The reference fills: one pixel and one division at a time, as the algorithm
// reads, every sum wrapping (raster/fixed_point.h).
#include "raster/gouraud.h"

#include <algorithm>
#include <span>
#include <utility>

#include "cpu/build_contents.h"
#include "cpu/simd_level.h"
#include "raster/gouraud_fast.h"

namespace {

// Only blue is masked; red keeps its upper bits, green is shifted with its sign.
PackedColor ComposePixel(Fixed16 r, Fixed16 g, Fixed16 b) {
    return (static_cast<std::uint32_t>(r) & 0xFFFF0000u) |
           (static_cast<std::uint32_t>(g >> 16) << 8) | (static_cast<std::uint32_t>(b >> 16) & 0xFFu);
}

// One channel of a span: its value at the first visible pixel and its step.
struct Channel {
    Fixed16 value, step;
};

// The step is taken over the span's full length, also where the span is clipped,
// and the start moves on by the pixels cut away on the left: the visible pixels
// show the part of the gradient that falls on the screen.
Channel ChannelOfSpan(Fixed16 first, Fixed16 second, std::int64_t length, std::int64_t cutLeft) {
    const auto step = static_cast<Fixed16>(WrapSubtract(second, first) / length);
    return {WrapAddTimes(first, step, static_cast<std::uint64_t>(cutLeft)), step};
}

}  // namespace

void GouraudSpan(FrameBuffer& frameBuffer, std::int32_t x1, std::int32_t y, std::int32_t x2,
                 Fixed16 r1, Fixed16 r2, Fixed16 g1, Fixed16 g2, Fixed16 b1, Fixed16 b2) {
    if (y < 0 || y >= kFrameHeight) return;
    if (x1 > x2) {  // every colour goes with its end
        std::swap(x1, x2);
        std::swap(r1, r2);
        std::swap(g1, g2);
        std::swap(b1, b2);
    }
    if (x1 >= kFrameWidth || x2 < 0) return;
    const std::int32_t first = std::max(x1, 0);
    const std::int32_t last = std::min(x2, kFrameWidth - 1);
    const std::int64_t length = std::int64_t{x2} - x1 + 1;
    const std::int64_t cutLeft = std::int64_t{first} - x1;
    Channel r = ChannelOfSpan(r1, r2, length, cutLeft);
    Channel g = ChannelOfSpan(g1, g2, length, cutLeft);
    Channel b = ChannelOfSpan(b1, b2, length, cutLeft);
    PackedColor* pixel = frameBuffer.pixels.data() + y * kFrameWidth + first;
    for (std::int32_t count = last - first + 1; count > 0; --count) {
        *pixel++ = ComposePixel(r.value, g.value, b.value);
        r.value = WrapAdd(r.value, r.step);
        g.value = WrapAdd(g.value, g.step);
        b.value = WrapAdd(b.value, b.step);
    }
}

namespace {

struct Corner {
    std::int32_t x, y;
    std::int32_t r, g, b;  // channel levels
};

// Red is the colour shifted down with its sign, unmasked; a colour with a zero
// top byte gives bits 16-23.
Corner MakeCorner(std::int32_t x, std::int32_t y, PackedColor c) {
    return {x, y, static_cast<std::int32_t>(c) >> 16, static_cast<std::int32_t>((c >> 8) & 0xFFu),
            static_cast<std::int32_t>(c & 0xFFu)};
}

// x and the three channels as 16.16 values: one set per side of the triangle,
// and one set of per-row changes per edge.
struct SideValues {
    Fixed16 x, r, g, b;
};

SideValues StartAt(const Corner& corner) {
    return {ToFixed16(corner.x), ToFixed16(corner.r), ToFixed16(corner.g), ToFixed16(corner.b)};
}

// Per-row change along an edge: (difference << 16) / height, truncated; all
// zero for a flat edge.
SideValues EdgeSteps(const Corner& from, const Corner& to) {
    const std::int32_t height = WrapSubtract(to.y, from.y);
    if (height == 0) return {0, 0, 0, 0};
    const auto step = [&](std::int32_t fromValue, std::int32_t toValue) {
        return WrapDivide(ToFixed16(WrapSubtract(toValue, fromValue)), height);
    };
    return {step(from.x, to.x), step(from.r, to.r), step(from.g, to.g), step(from.b, to.b)};
}

void Advance(SideValues& side, const SideValues& step, std::uint64_t rows) {
    side.x = WrapAddTimes(side.x, step.x, rows);
    side.r = WrapAddTimes(side.r, step.r, rows);
    side.g = WrapAddTimes(side.g, step.g, rows);
    side.b = WrapAddTimes(side.b, step.b, rows);
}

// Rows firstRow..lastRow of one part of the triangle, each a span from the
// split side to the long side. Rows above the screen are passed over in one
// step (the same values as stepping row by row), and the walk stops below the
// screen, where the span fill would reject every row.
void FillRows(FrameBuffer& frameBuffer, std::int64_t firstRow, std::int64_t lastRow, SideValues& split,
              const SideValues& splitStep, SideValues& longSide, const SideValues& longStep) {
    if (firstRow > lastRow) return;
    if (firstRow < 0) {
        const auto rowsAbove = static_cast<std::uint64_t>(std::min<std::int64_t>(lastRow + 1, 0) - firstRow);
        Advance(split, splitStep, rowsAbove);
        Advance(longSide, longStep, rowsAbove);
        firstRow += static_cast<std::int64_t>(rowsAbove);
    }
    lastRow = std::min<std::int64_t>(lastRow, kFrameHeight - 1);
    for (auto y = static_cast<std::int32_t>(firstRow); y <= lastRow; ++y) {
        GouraudSpan(frameBuffer, split.x >> 16, y, longSide.x >> 16, split.r, longSide.r, split.g, longSide.g,
                    split.b, longSide.b);
        Advance(split, splitStep, 1);
        Advance(longSide, longStep, 1);
    }
}

}  // namespace

void GouraudTriangle(FrameBuffer& frameBuffer, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                     std::int32_t y2, std::int32_t x3, std::int32_t y3, PackedColor c1,
                     PackedColor c2, PackedColor c3) {
    Corner top = MakeCorner(x1, y1, c1);
    Corner middle = MakeCorner(x2, y2, c2);
    Corner bottom = MakeCorner(x3, y3, c3);
    // Three compare-exchanges in this order; not a stable sort, and which of two
    // corners on one row becomes the middle one shows in the picture.
    if (middle.y < top.y) std::swap(top, middle);
    if (bottom.y < top.y) std::swap(top, bottom);
    if (bottom.y < middle.y) std::swap(middle, bottom);

    const SideValues upperStep = EdgeSteps(top, middle);
    const SideValues lowerStep = EdgeSteps(middle, bottom);
    const SideValues longStep = EdgeSteps(bottom, top);  // top minus bottom over y1 - y3: both signs reversed
    SideValues split = StartAt(top);
    SideValues longSide = StartAt(top);
    FillRows(frameBuffer, top.y, std::int64_t{middle.y} - 1, split, upperStep, longSide, longStep);
    split = StartAt(middle);  // the lower part starts exactly at the middle corner
    FillRows(frameBuffer, middle.y, bottom.y, split, lowerStep, longSide, longStep);
}

void FillTrianglesPlain(FrameBuffer& frameBuffer, const ScreenTriangle* triangles, std::size_t count) {
    for (const ScreenTriangle& t : std::span(triangles, count)) {
        GouraudTriangle(frameBuffer, t.x1, t.y1, t.x2, t.y2, t.x3, t.y3, t.c1, t.c2, t.c3);
    }
}

constexpr SimdPaths<decltype(&FillTrianglesPlain)> kTriangleListFills =
    DEMO_SIMD_PATHS(FillTrianglesPlain, FillTrianglesSse2, FillTrianglesAvx2, FillTrianglesAvx512);

void FillTriangles(FrameBuffer& frameBuffer, const ScreenTriangle* triangles, std::size_t count) {
    PathFor(kTriangleListFills, ActiveSimdLevel())(frameBuffer, triangles, count);
}
