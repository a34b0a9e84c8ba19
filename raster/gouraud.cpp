#include "raster/gouraud.h"

#include <algorithm>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

struct Channel {
    Fixed16 start;
    Fixed16 step;
};

// The step is taken over the full, unclipped length, and the start is moved on
// by the pixels cut away on the left: a clipped run shows the part of the
// gradient that falls on the screen.
Channel ClippedChannel(Fixed16 first, Fixed16 second, std::int64_t fullLength, std::int64_t cutLeft) {
    const std::int32_t difference = WrapSubtract(second, first);
    const auto step = static_cast<Fixed16>(difference / fullLength);
    return {WrapAddTimes(first, step, static_cast<std::uint64_t>(cutLeft)), step};
}

Channel WholeChannel(Fixed16 first, Fixed16 second, std::int32_t length, std::uint64_t reciprocal) {
    return {first, DivideByReciprocal(WrapSubtract(second, first), length, reciprocal)};
}

// Only blue is masked; red keeps its upper bits, green is shifted with its sign.
PackedColor ComposePixel(Fixed16 r, Fixed16 g, Fixed16 b) {
    return (static_cast<std::uint32_t>(r) & 0xFFFF0000u) |
           (static_cast<std::uint32_t>(g >> 16) << 8) | (static_cast<std::uint32_t>(b >> 16) & 0xFFu);
}

#if defined(__SSE2__)
// Four consecutive pixels of a run, from the channels' values at the first.
struct PixelLanes {
    __m128i r, g, b;
};

// (start, start + step, start + 2 step, start + 3 step).
__m128i FirstLanes(Channel c) {
    const __m128i step = _mm_set1_epi32(c.step);
    const __m128i multiples = _mm_add_epi32(_mm_add_epi32(_mm_slli_si128(step, 4), _mm_slli_si128(step, 8)),
                                            _mm_slli_si128(step, 12));
    return _mm_add_epi32(_mm_set1_epi32(c.start), multiples);
}

// The lanes moved on by k pixels.
__m128i LanesAfter(__m128i lanes, Channel c, std::uint32_t k) {
    return _mm_add_epi32(lanes, _mm_set1_epi32(static_cast<int>(static_cast<std::uint32_t>(c.step) * k)));
}

__m128i Compose(const PixelLanes& lanes) {
    const __m128i redBits = _mm_set1_epi32(static_cast<int>(0xFFFF0000u));
    const __m128i blueBits = _mm_set1_epi32(0xFF);
    return _mm_or_si128(
        _mm_or_si128(_mm_and_si128(lanes.r, redBits), _mm_slli_epi32(_mm_srai_epi32(lanes.g, 16), 8)),
        _mm_and_si128(_mm_srai_epi32(lanes.b, 16), blueBits));
}

void Store4(PackedColor* pixel, __m128i value) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixel), value);
}
#endif

// Pixel k of a run has each channel at start + k * step (wrapping): a pure
// function of k, so pixels can be made four at a time, and a group that
// overlaps one already written writes the same values again.
void WriteRun(PackedColor* pixel, std::int32_t count, Channel red, Channel green, Channel blue,
              [[maybe_unused]] bool fourMoreReadable) {
#if defined(__SSE2__)
    const PixelLanes first{FirstLanes(red), FirstLanes(green), FirstLanes(blue)};
    if (count >= 4) {
        PixelLanes lanes = first;
        const auto fourSteps = [](Channel c) {
            return _mm_set1_epi32(static_cast<int>(static_cast<std::uint32_t>(c.step) << 2));
        };
        const __m128i dr = fourSteps(red), dg = fourSteps(green), db = fourSteps(blue);
        for (std::int32_t k = 0; k + 4 < count; k += 4) {
            Store4(pixel + k, Compose(lanes));
            lanes = {_mm_add_epi32(lanes.r, dr), _mm_add_epi32(lanes.g, dg), _mm_add_epi32(lanes.b, db)};
        }
        // The last four pixels, overlapping the previous group where count is
        // not a multiple of four.
        const auto last = static_cast<std::uint32_t>(count - 4);
        Store4(pixel + last, Compose({LanesAfter(first.r, red, last), LanesAfter(first.g, green, last),
                                      LanesAfter(first.b, blue, last)}));
        return;
    }
    if (fourMoreReadable) {
        // Under four pixels: merge them into the four the frame already holds.
        const __m128i keep = _mm_cmpgt_epi32(_mm_setr_epi32(1, 2, 3, 4), _mm_set1_epi32(count));
        const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixel));
        const __m128i fresh = Compose(first);
        Store4(pixel, _mm_or_si128(_mm_and_si128(keep, old), _mm_andnot_si128(keep, fresh)));
        return;
    }
#endif
    Fixed16 r = red.start, g = green.start, b = blue.start;
    for (; count > 0; --count) {
        *pixel++ = ComposePixel(r, g, b);
        r = WrapAdd(r, red.step);
        g = WrapAdd(g, green.step);
        b = WrapAdd(b, blue.step);
    }
}

// Whether the four pixels from this one all lie inside the frame.
bool FourMoreReadable(const FrameBuffer& frameBuffer, const PackedColor* pixel) {
    return pixel + 4 <= frameBuffer.pixels.data() + kFramePixelCount;
}

inline void FillSpan(FrameBuffer& frameBuffer, std::int32_t x1, std::int32_t y, std::int32_t x2,
                     Fixed16 r1, Fixed16 r2, Fixed16 g1, Fixed16 g2, Fixed16 b1, Fixed16 b2) {
    if (y < 0 || y >= kFrameHeight) return;
    if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(r1, r2);
        std::swap(g1, g2);
        std::swap(b1, b2);
    }
    if (x1 >= kFrameWidth || x2 < 0) return;
    PackedColor* row = frameBuffer.pixels.data() + y * kFrameWidth;
    if (x1 >= 0 && x2 < kFrameWidth) {
        const std::int32_t length = x2 - x1 + 1;
        const std::uint64_t reciprocal = exact_divide::kReciprocals[static_cast<std::size_t>(length)];
        WriteRun(row + x1, length, WholeChannel(r1, r2, length, reciprocal),
                 WholeChannel(g1, g2, length, reciprocal), WholeChannel(b1, b2, length, reciprocal),
                 FourMoreReadable(frameBuffer, row + x1));
        return;
    }
    const std::int64_t fullLength = std::int64_t{x2} - x1 + 1;
    const std::int32_t first = std::max(x1, 0);
    const std::int32_t last = std::min(x2, kFrameWidth - 1);
    const std::int64_t cutLeft = std::int64_t{first} - x1;
    WriteRun(row + first, last - first + 1, ClippedChannel(r1, r2, fullLength, cutLeft),
             ClippedChannel(g1, g2, fullLength, cutLeft), ClippedChannel(b1, b2, fullLength, cutLeft),
             FourMoreReadable(frameBuffer, row + first));
}

}  // namespace

void GouraudSpan(FrameBuffer& frameBuffer, std::int32_t x1, std::int32_t y, std::int32_t x2,
                 Fixed16 r1, Fixed16 r2, Fixed16 g1, Fixed16 g2, Fixed16 b1, Fixed16 b2) {
    FillSpan(frameBuffer, x1, y, x2, r1, r2, g1, g2, b1, b2);
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
EdgeValues EdgeSteps(const Corner& from, const Corner& to) {
    const std::int32_t height = WrapSubtract(to.y, from.y);
    if (height == 0) return {0, 0, 0, 0};
    const auto step = [&](std::int32_t fromValue, std::int32_t toValue) {
        return DivideTruncating(ToFixed16(WrapSubtract(toValue, fromValue)), height);
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
        FillSpan(frameBuffer, split.x >> 16, static_cast<std::int32_t>(y), longSide.x >> 16,
                    split.r, longSide.r, split.g, longSide.g, split.b, longSide.b);
        Advance(split, splitStep);
        Advance(longSide, longStep);
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

    const EdgeValues upperStep = EdgeSteps(top, middle);
    const EdgeValues lowerStep = EdgeSteps(middle, bottom);
    // The long edge takes top minus bottom over y1 - y3: both signs reversed.
    const EdgeValues longStep = EdgeSteps(bottom, top);
    EdgeValues split = StartAt(top);
    EdgeValues longSide = StartAt(top);

    FillRows(frameBuffer, top.y, std::int64_t{middle.y} - 1, split, upperStep, longSide, longStep);
    split = StartAt(middle);  // the lower part starts exactly at the middle corner
    FillRows(frameBuffer, middle.y, bottom.y, split, lowerStep, longSide, longStep);
}
