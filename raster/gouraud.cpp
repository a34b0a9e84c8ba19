#include "raster/gouraud.h"

#include <algorithm>
#include <utility>

#include "raster/gouraud_packed.h"
#include "raster/gouraud_sse2.h"

namespace {

struct Channel {
    Fixed16 start;
    Fixed16 step;
};

// The visible part of a run: `count` pixels from `pixel`, none when count is 0.
struct SpanRun {
    PackedColor* pixel;
    std::int32_t count;
    Channel red, green, blue;
};

// A run that is not clipped steps over its own length. A clipped one takes the
// step over the full, unclipped length and moves the start on by the pixels
// cut away on the left, so that it shows the part of the gradient that falls on
// the screen.
template <bool kPlain>
Channel SpanChannel(Fixed16 first, Fixed16 second, std::int64_t fullLength, std::int64_t cutLeft,
                    bool clipped) {
    const std::int32_t difference = WrapSubtract(second, first);
    if (!clipped) {
        const auto length = static_cast<std::int32_t>(fullLength);
        return {first, kPlain ? difference / length : DivideTruncating(difference, length)};
    }
    const auto step = static_cast<Fixed16>(difference / fullLength);
    return {WrapAddTimes(first, step, static_cast<std::uint64_t>(cutLeft)), step};
}

template <bool kPlain>
SpanRun PrepareSpan(FrameBuffer& frameBuffer, std::int32_t x1, std::int32_t y, std::int32_t x2,
                    Fixed16 r1, Fixed16 r2, Fixed16 g1, Fixed16 g2, Fixed16 b1, Fixed16 b2) {
    SpanRun run{};
    if (y < 0 || y >= kFrameHeight) return run;
    if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(r1, r2);
        std::swap(g1, g2);
        std::swap(b1, b2);
    }
    if (x1 >= kFrameWidth || x2 < 0) return run;
    const std::int64_t fullLength = std::int64_t{x2} - x1 + 1;
    const std::int32_t first = std::max(x1, 0);
    const std::int32_t last = std::min(x2, kFrameWidth - 1);
    const std::int64_t cutLeft = std::int64_t{first} - x1;
    const bool clipped = first != x1 || last != x2;
    run.pixel = frameBuffer.pixels.data() + y * kFrameWidth + first;
    run.count = last - first + 1;
    run.red = SpanChannel<kPlain>(r1, r2, fullLength, cutLeft, clipped);
    run.green = SpanChannel<kPlain>(g1, g2, fullLength, cutLeft, clipped);
    run.blue = SpanChannel<kPlain>(b1, b2, fullLength, cutLeft, clipped);
    return run;
}

// Only blue is masked; red keeps its upper bits, green is shifted with its sign.
PackedColor ComposePixel(Fixed16 r, Fixed16 g, Fixed16 b) {
    return (static_cast<std::uint32_t>(r) & 0xFFFF0000u) |
           (static_cast<std::uint32_t>(g >> 16) << 8) | (static_cast<std::uint32_t>(b >> 16) & 0xFFu);
}

void WriteRunPlain(const SpanRun& run) {
    Fixed16 r = run.red.start, g = run.green.start, b = run.blue.start;
    PackedColor* pixel = run.pixel;
    for (std::int32_t count = run.count; count > 0; --count) {
        *pixel++ = ComposePixel(r, g, b);
        r = WrapAdd(r, run.red.step);
        g = WrapAdd(g, run.green.step);
        b = WrapAdd(b, run.blue.step);
    }
}

#if defined(__SSE2__)
// Whether every value the channel takes over the run lies in 0..0x00FFFFFF,
// where the packed writer composes exactly as ComposePixel does. A straight
// line is inside the range when both its ends are.
bool StaysInByteRange(const Channel& channel, std::int32_t count) {
    const std::int64_t end = channel.start + std::int64_t{channel.step} * (count - 1);
    return channel.start >= 0 && channel.start <= 0x00FFFFFF && end >= 0 && end <= 0x00FFFFFF;
}

bool FitsPackedWriter(const FrameBuffer& frameBuffer, const SpanRun& run) {
    const PackedColor* frameEnd = frameBuffer.pixels.data() + kFramePixelCount;
    return frameEnd - (run.pixel + run.count) >= 7 && StaysInByteRange(run.red, run.count) &&
           StaysInByteRange(run.green, run.count) && StaysInByteRange(run.blue, run.count);
}

void WriteRunPacked(const SpanRun& run) {
    gouraud_sse2::WriteSpan(run.pixel, run.count,
                            _mm_setr_epi32(run.blue.start, run.green.start, run.red.start, 0),
                            _mm_setr_epi32(run.blue.step, run.green.step, run.red.step, 0));
}
#endif

}  // namespace

void GouraudSpanPlain(FrameBuffer& frameBuffer, std::int32_t x1, std::int32_t y, std::int32_t x2,
                      Fixed16 r1, Fixed16 r2, Fixed16 g1, Fixed16 g2, Fixed16 b1, Fixed16 b2) {
    WriteRunPlain(PrepareSpan<true>(frameBuffer, x1, y, x2, r1, r2, g1, g2, b1, b2));
}

void GouraudSpan(FrameBuffer& frameBuffer, std::int32_t x1, std::int32_t y, std::int32_t x2,
                 Fixed16 r1, Fixed16 r2, Fixed16 g1, Fixed16 g2, Fixed16 b1, Fixed16 b2) {
    const SpanRun run = PrepareSpan<false>(frameBuffer, x1, y, x2, r1, r2, g1, g2, b1, b2);
    if (run.count == 0) return;
#if defined(__SSE2__)
    if (FitsPackedWriter(frameBuffer, run)) {
        WriteRunPacked(run);
        return;
    }
#endif
    WriteRunPlain(run);
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

// x and the three channels as 16.16 values; one set per side of the triangle,
// and one set of per-row changes per edge.
struct EdgeValues {
    Fixed16 x, r, g, b;
};

EdgeValues StartAt(const Corner& corner) {
    return {ToFixed16(corner.x), ToFixed16(corner.r), ToFixed16(corner.g), ToFixed16(corner.b)};
}

// Per-row change along an edge: (difference << 16) / height, truncated; all
// zero for a flat edge.
template <bool kPlain>
EdgeValues EdgeSteps(const Corner& from, const Corner& to) {
    const std::int32_t height = WrapSubtract(to.y, from.y);
    if (height == 0) return {0, 0, 0, 0};
    const auto step = [&](std::int32_t fromValue, std::int32_t toValue) {
        const Fixed16 difference = ToFixed16(WrapSubtract(toValue, fromValue));
        return kPlain ? WrapDivide(difference, height) : DivideTruncating(difference, height);
    };
    return {step(from.x, to.x), step(from.r, to.r), step(from.g, to.g), step(from.b, to.b)};
}

void Advance(EdgeValues& side, const EdgeValues& step, std::uint64_t rows = 1) {
    side.x = WrapAddTimes(side.x, step.x, rows);
    side.r = WrapAddTimes(side.r, step.r, rows);
    side.g = WrapAddTimes(side.g, step.g, rows);
    side.b = WrapAddTimes(side.b, step.b, rows);
}

// Rows firstRow..lastRow of one part of the triangle. Rows above the screen are
// passed over in one step (the same values as stepping row by row), and the walk
// stops below the screen, where the span fill would reject every row.
template <bool kPlain>
void FillRows(FrameBuffer& frameBuffer, std::int64_t firstRow, std::int64_t lastRow,
              EdgeValues& split, const EdgeValues& splitStep, EdgeValues& longSide,
              const EdgeValues& longStep) {
    if (firstRow > lastRow) return;
    if (firstRow < 0) {
        const std::int64_t rowsAbove = std::min<std::int64_t>(lastRow + 1, 0) - firstRow;
        Advance(split, splitStep, static_cast<std::uint64_t>(rowsAbove));
        Advance(longSide, longStep, static_cast<std::uint64_t>(rowsAbove));
        firstRow += rowsAbove;
    }
    lastRow = std::min<std::int64_t>(lastRow, kFrameHeight - 1);
    for (std::int64_t y = firstRow; y <= lastRow; ++y) {
        (kPlain ? GouraudSpanPlain : GouraudSpan)(frameBuffer, split.x >> 16, static_cast<std::int32_t>(y),
                                                  longSide.x >> 16, split.r, longSide.r, split.g,
                                                  longSide.g, split.b, longSide.b);
        Advance(split, splitStep);
        Advance(longSide, longStep);
    }
}

template <bool kPlain>
void FillTriangle(FrameBuffer& frameBuffer, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                  std::int32_t y2, std::int32_t x3, std::int32_t y3, PackedColor c1, PackedColor c2,
                  PackedColor c3) {
    Corner top = MakeCorner(x1, y1, c1);
    Corner middle = MakeCorner(x2, y2, c2);
    Corner bottom = MakeCorner(x3, y3, c3);
    // Three compare-exchanges in this order; not a stable sort, and which of two
    // corners on one row becomes the middle one shows in the picture.
    if (middle.y < top.y) std::swap(top, middle);
    if (bottom.y < top.y) std::swap(top, bottom);
    if (bottom.y < middle.y) std::swap(middle, bottom);

    const EdgeValues upperStep = EdgeSteps<kPlain>(top, middle);
    const EdgeValues lowerStep = EdgeSteps<kPlain>(middle, bottom);
    // The long edge takes top minus bottom over y1 - y3: both signs reversed.
    const EdgeValues longStep = EdgeSteps<kPlain>(bottom, top);
    EdgeValues split = StartAt(top);
    EdgeValues longSide = StartAt(top);

    FillRows<kPlain>(frameBuffer, top.y, std::int64_t{middle.y} - 1, split, upperStep, longSide, longStep);
    split = StartAt(middle);  // the lower part starts exactly at the middle corner
    FillRows<kPlain>(frameBuffer, middle.y, bottom.y, split, lowerStep, longSide, longStep);
}

}  // namespace

void GouraudTriangle(FrameBuffer& frameBuffer, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                     std::int32_t y2, std::int32_t x3, std::int32_t y3, PackedColor c1,
                     PackedColor c2, PackedColor c3) {
    const ScreenTriangle triangle{x1, y1, x2, y2, x3, y3, c1, c2, c3};
    GouraudTriangles(frameBuffer, &triangle, 1);
}

void GouraudTriangles(FrameBuffer& frameBuffer, const ScreenTriangle* triangles, std::size_t count) {
#if defined(__SSE2__)
    // The choice of fill, made here alone: the widest packed walk the
    // processor runs, for the triangles it may take.
    static const auto packedFills = ProcessorHasAvx512Walk() ? FillTrianglesPackedAvx512
                                    : ProcessorHasAvx2()     ? FillTrianglesPackedAvx2
                                                             : FillTrianglesPackedSse2;
    // Runs of triangles the packed walks may fill go to them together; any
    // other triangle takes the general fill in its place in the order.
    std::size_t runStart = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const ScreenTriangle& t = triangles[k];
        if (FitsPackedTriangle(t.x1, t.y1, t.x2, t.y2, t.x3, t.y3, t.c1, t.c2, t.c3)) continue;
        packedFills(frameBuffer, triangles + runStart, k - runStart);
        FillTriangle<false>(frameBuffer, t.x1, t.y1, t.x2, t.y2, t.x3, t.y3, t.c1, t.c2, t.c3);
        runStart = k + 1;
    }
    packedFills(frameBuffer, triangles + runStart, count - runStart);
#else
    for (std::size_t k = 0; k < count; ++k) {
        const ScreenTriangle& t = triangles[k];
        FillTriangle<false>(frameBuffer, t.x1, t.y1, t.x2, t.y2, t.x3, t.y3, t.c1, t.c2, t.c3);
    }
#endif
}

void GouraudTrianglePlain(FrameBuffer& frameBuffer, std::int32_t x1, std::int32_t y1,
                          std::int32_t x2, std::int32_t y2, std::int32_t x3, std::int32_t y3,
                          PackedColor c1, PackedColor c2, PackedColor c3) {
    FillTriangle<true>(frameBuffer, x1, y1, x2, y2, x3, y3, c1, c2, c3);
}
