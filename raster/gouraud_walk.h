// The fast triangle fill's packed walk over a triangle's rows, which the SSE2,
// AVX2 and AVX-512 fills share, each with its own span fill. A pixel's three
// channels travel together in one register as four 32-bit lanes (blue, green,
// red, x), 16.16 each, so that a side's values and its per-row change are one
// register each. Included only where the build has SSE2 (cpu/build_contents.h).
#pragma once

#include <emmintrin.h>

#include "cpu/build_contents.h"
#if defined(DEMO_BUILD_AVX2)
#include <immintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "raster/gouraud_fast.h"

namespace gouraud_walk {

struct alignas(16) Lanes {
    std::uint32_t v[4];
};

inline __m128i Load(const Lanes& lanes) { return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes.v)); }

// Two doubles truncated toward zero into the low lanes. WebAssembly's SSE2
// header does _mm_cvttpd_epi32 one lane at a time through lrint; its own
// instruction gives the same for every value that fits, as all here do.
inline __m128i TruncatePair(__m128d pair) {
#if defined(DEMO_BUILD_WASM_SIMD)
    return wasm_i32x4_trunc_sat_f64x2_zero(pair);
#else
    return _mm_cvttpd_epi32(pair);
#endif
}

// Each lane of n divided by d, truncated toward zero; |lane| < 2^27, d in 0..1023.
inline __m128i DivideLanes(__m128i n, std::ptrdiff_t d) {
    const __m128d r = _mm_set1_pd(packed_divide::kReciprocals[static_cast<std::size_t>(d)]);
    const __m128i low = TruncatePair(_mm_mul_pd(_mm_cvtepi32_pd(n), r));
    const __m128i high = TruncatePair(_mm_mul_pd(_mm_cvtepi32_pd(_mm_unpackhi_epi64(n, n)), r));
    return _mm_unpacklo_epi64(low, high);
}

// (blue, green, red, x) as 16.16 lanes from a colour with a zero top byte and a
// column in 0..32767.
inline __m128i CornerLanes(PackedColor colour, std::int32_t x) {
    const __m128i zero = _mm_setzero_si128();
    __m128i lanes = _mm_cvtsi32_si128(static_cast<int>(colour));
    lanes = _mm_unpacklo_epi16(_mm_unpacklo_epi8(lanes, zero), zero);
    lanes = _mm_insert_epi16(lanes, static_cast<std::int16_t>(x), 6);
    return _mm_slli_epi32(lanes, 16);
}

// A corner packed into one integer that sorts by row first: row in bits 34 and
// up, column in bits 24-33, colour in bits 0-23.
inline constexpr int kRowShift = 34;
inline constexpr std::uint64_t kRowBits = ~((std::uint64_t{1} << kRowShift) - 1);

inline std::uint64_t PackCorner(std::int32_t x, std::int32_t y, PackedColor c) {
    return std::uint64_t{static_cast<std::uint32_t>(y)} << kRowShift |
           std::uint64_t{static_cast<std::uint32_t>(x)} << 24 | c;
}

// "If b's row is above a's, exchange them", without a branch to mispredict.
inline void CompareExchange(std::uint64_t& a, std::uint64_t& b) {
    const std::uint64_t exchange = std::uint64_t{0} - static_cast<std::uint64_t>(b < (a & kRowBits));
    const std::uint64_t flip = (a ^ b) & exchange;
    a ^= flip;
    b ^= flip;
}

inline std::int32_t RowOf(std::uint64_t corner) { return static_cast<std::int32_t>(corner >> kRowShift); }

inline __m128i LanesOf(std::uint64_t corner) {
    return CornerLanes(static_cast<PackedColor>(corner & 0x00FFFFFFu), static_cast<std::int32_t>((corner >> 24) & 0x3FFu));
}

// What the walk starts from: the corners sorted by row exactly as the plain
// fill sorts them (three compare-exchanges, in its order), and the per-row
// change of each edge. The long edge's step equals (top - bottom) / (y1 - y3)
// because truncation is symmetric.
struct PackedTriangle {
    PackedColor* topRowPixels;
    std::int32_t topRow, middleRow, bottomRow;
    __m128i top, middle;
    __m128i upperStep, lowerStep, longStep;
};

inline PackedTriangle SetUpTriangle(FrameBuffer& frameBuffer, const ScreenTriangle& s) {
    std::uint64_t top = PackCorner(s.x1, s.y1, s.c1);
    std::uint64_t middle = PackCorner(s.x2, s.y2, s.c2);
    std::uint64_t bottom = PackCorner(s.x3, s.y3, s.c3);
    CompareExchange(top, middle);
    CompareExchange(top, bottom);
    CompareExchange(middle, bottom);
    PackedTriangle t;
    t.topRow = RowOf(top);
    t.middleRow = RowOf(middle);
    t.bottomRow = RowOf(bottom);
    t.topRowPixels = frameBuffer.pixels.data() + t.topRow * kFrameWidth;
    t.top = LanesOf(top);
    t.middle = LanesOf(middle);
    const __m128i bottomLanes = LanesOf(bottom);
    t.upperStep = DivideLanes(_mm_sub_epi32(t.middle, t.top), t.middleRow - t.topRow);
    t.lowerStep = DivideLanes(_mm_sub_epi32(bottomLanes, t.middle), t.bottomRow - t.middleRow);
    t.longStep = DivideLanes(_mm_sub_epi32(bottomLanes, t.top), t.bottomRow - t.topRow);
    return t;
}

// The x lane of a side's values or steps.
inline std::ptrdiff_t XOf(__m128i lanes) { return _mm_cvtsi128_si32(_mm_shuffle_epi32(lanes, 3)); }

// One side of the triangle as the walk carries it: its four lanes, and its x
// again as a plain integer, where its whole column costs a shift.
struct Side {
    __m128i lanes;
    std::ptrdiff_t x;
};

// A span fill writes count >= 1 pixels from `pixel`, pixel k holding
// start + k * (towardEnd / count) in each channel, the division truncated, and
// composed as the plain fill composes it. It may read and write back the seven
// pixels after the span, unchanged.
using SpanFill = void (*)(PackedColor* pixel, std::ptrdiff_t count, __m128i start, __m128i towardEnd);

// One row: the span from the split side to the long side, ordered as the plain
// span orders its ends. The split side is the first end, and keeps its colour
// when both ends share a column.
template <SpanFill kFillSpan>
[[gnu::always_inline]] inline void FillSpanBetween(PackedColor* row, const Side& split, const Side& longSide) {
    const std::ptrdiff_t splitColumn = split.x >> 16;
    const std::ptrdiff_t longColumn = longSide.x >> 16;
    const bool exchanged = longColumn < splitColumn;
    const std::ptrdiff_t left = exchanged ? longColumn : splitColumn;
    const std::ptrdiff_t right = exchanged ? splitColumn : longColumn;
    // The same comparison on the x lanes, spread to all four: fewer instructions
    // than a table of masks read by it.
    const __m128i longLeft = _mm_cmpgt_epi32(_mm_srai_epi32(split.lanes, 16), _mm_srai_epi32(longSide.lanes, 16));
    const __m128i mask = _mm_shuffle_epi32(longLeft, 0xFF);
    const __m128i difference = _mm_sub_epi32(longSide.lanes, split.lanes);
    const __m128i start = _mm_add_epi32(split.lanes, _mm_and_si128(difference, mask));
    const __m128i towardEnd = _mm_sub_epi32(_mm_xor_si128(difference, mask), mask);  // negated where exchanged
    kFillSpan(row + left, right - left + 1, start, towardEnd);
}

// `rows` rows from `row` on, both sides stepping once per row; returns the row after them.
template <SpanFill kFillSpan>
[[gnu::always_inline]] inline PackedColor* WalkPart(PackedColor* row, std::int32_t rows, Side& split,
                                                    __m128i splitStep, Side& longSide, __m128i longStep) {
    const std::ptrdiff_t splitXStep = XOf(splitStep), longXStep = XOf(longStep);
    for (; rows > 0; --rows, row += kFrameWidth) {
        FillSpanBetween<kFillSpan>(row, split, longSide);
        split = {_mm_add_epi32(split.lanes, splitStep), split.x + splitXStep};
        longSide = {_mm_add_epi32(longSide.lanes, longStep), longSide.x + longXStep};
    }
    return row;
}

// The upper part, rows top to middle - 1, then the lower part, rows middle to bottom.
template <SpanFill kFillSpan>
[[gnu::always_inline]] inline void WalkTriangle(const PackedTriangle& t) {
    Side split{t.top, XOf(t.top)};
    Side longSide = split;
    PackedColor* row = WalkPart<kFillSpan>(t.topRowPixels, t.middleRow - t.topRow, split, t.upperStep, longSide,
                                          t.longStep);
    split = {t.middle, XOf(t.middle)};  // the lower part starts exactly at the middle corner
    WalkPart<kFillSpan>(row, t.bottomRow - t.middleRow + 1, split, t.lowerStep, longSide, t.longStep);
}

// Triangles are set up a batch ahead of their walks: the corner sorting and
// the divisions of the next triangles then overlap the rows being written,
// instead of waiting behind the mispredicted end of the last row loop. A
// triangle the walk cannot take goes to the plain fill in its place in the
// order, since later triangles paint over earlier ones.
inline constexpr std::size_t kSetUpAhead = 16;

template <SpanFill kFillSpan>
[[gnu::always_inline]] inline void FillTrianglesPacked(FrameBuffer& frameBuffer, const ScreenTriangle* triangles,
                                                       std::size_t count) {
    PackedTriangle setUp[kSetUpAhead];
    for (std::size_t next = 0; next < count;) {
        // The triangles from here that the walk takes, then the one that ends them.
        std::size_t walkEnd = next;
        while (walkEnd < count && FitsPackedWalk(triangles[walkEnd])) ++walkEnd;
        while (next < walkEnd) {
            const std::size_t batch = std::min(walkEnd - next, kSetUpAhead);
            for (std::size_t k = 0; k < batch; ++k) setUp[k] = SetUpTriangle(frameBuffer, triangles[next + k]);
            for (std::size_t k = 0; k < batch; ++k) WalkTriangle<kFillSpan>(setUp[k]);
            next += batch;
        }
        if (next < count) FillTrianglesPlain(frameBuffer, &triangles[next++], 1);
    }
}

// The last one to eight pixels of a span go out as two groups of four merged
// with what the frame holds: `take` selects the new pixels (and clears their top
// byte, where the x lane lands), `keep` the frame's own.
struct TailMasks {
    Lanes take[2];
    Lanes keep[2];
};

inline constexpr auto kTailMasks = [] {
    std::array<TailMasks, 9> masks{};
    for (std::uint32_t count = 0; count <= 8; ++count) {
        for (std::uint32_t lane = 0; lane < 8; ++lane) {
            const bool fresh = lane < count;
            masks[count].take[lane / 4].v[lane % 4] = fresh ? 0x00FFFFFFu : 0u;
            masks[count].keep[lane / 4].v[lane % 4] = fresh ? 0u : 0xFFFFFFFFu;
        }
    }
    return masks;
}();

#if defined(DEMO_BUILD_AVX2)
// DivideLanes in one register of four doubles.
DEMO_TARGET_AVX2 inline __m128i DivideLanesAvx(__m128i n, std::ptrdiff_t d) {
    const __m256d r = _mm256_set1_pd(packed_divide::kReciprocals[static_cast<std::size_t>(d)]);
    return _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_cvtepi32_pd(n), r));
}

DEMO_TARGET_AVX2 inline __m256i BothHalves(__m128i lanes) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lanes), lanes, 1);
}
#endif

}  // namespace gouraud_walk
