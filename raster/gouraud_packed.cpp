// The fast triangle fill: one packed walk over the triangle's rows, given a
// row fill of 128, 256 or 512 bits, and the choice among them by level. A
// pixel's three channels travel together in one register as four 32-bit lanes
// (blue, green, red, x), 16.16 each, so that a side's values and its per-row
// change are one register each.
#include "raster/gouraud_packed.h"

#include <algorithm>
#include <array>
#include <span>

#if defined(__SSE2__)
#include <emmintrin.h>
#define DEMO_HAVE_PACKED_WALK 1
#endif
#if defined(DEMO_HAVE_PACKED_WALK) && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define DEMO_HAVE_AVX2_ROW_FILL 1
#define DEMO_AVX2 __attribute__((target("avx2")))
#endif
// Only on 64-bit builds: 32-bit Windows does not keep the stack aligned for
// 64-byte registers.
#if defined(DEMO_HAVE_AVX2_ROW_FILL) && defined(__x86_64__)
#define DEMO_HAVE_AVX512_ROW_FILL 1
#define DEMO_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl,avx512vbmi")))
#endif

namespace {

void FillTrianglesPlain(FrameBuffer& frameBuffer, const ScreenTriangle* triangles, std::size_t count) {
    for (const ScreenTriangle& t : std::span(triangles, count)) {
        GouraudTriangle(frameBuffer, t.x1, t.y1, t.x2, t.y2, t.x3, t.y3, t.c1, t.c2, t.c3);
    }
}

}  // namespace

#if defined(DEMO_HAVE_PACKED_WALK)

namespace {

struct alignas(16) Lanes {
    std::uint32_t v[4];
};

inline __m128i Load(const Lanes& lanes) { return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes.v)); }

// Two doubles truncated toward zero into the low lanes. WebAssembly's SSE2
// header does _mm_cvttpd_epi32 one lane at a time through lrint; its own
// instruction gives the same for every value that fits, as all here do.
inline __m128i TruncatePair(__m128d pair) {
#if defined(__EMSCRIPTEN__)
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
constexpr int kRowShift = 34;
constexpr std::uint64_t kRowBits = ~((std::uint64_t{1} << kRowShift) - 1);

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

// A row fill writes count >= 1 pixels from `pixel`, pixel k holding
// start + k * (towardEnd / count) in each channel, the division truncated, and
// composed as the plain fill composes it. It may read and write back the seven
// pixels after the run, unchanged.
using RowFill = void (*)(PackedColor* pixel, std::ptrdiff_t count, __m128i start, __m128i towardEnd);

// One row: the run from the split side to the long side, ordered as the plain
// span orders its ends. The split side is the first end, and keeps its colour
// when both ends share a column.
template <RowFill kFillRow>
[[gnu::always_inline]] inline void FillRowBetween(PackedColor* row, const Side& split, const Side& longSide) {
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
    kFillRow(row + left, right - left + 1, start, towardEnd);
}

// `rows` rows from `row` on, both sides stepping once per row; returns the row after them.
template <RowFill kFillRow>
[[gnu::always_inline]] inline PackedColor* WalkPart(PackedColor* row, std::int32_t rows, Side& split,
                                                    __m128i splitStep, Side& longSide, __m128i longStep) {
    const std::ptrdiff_t splitXStep = XOf(splitStep), longXStep = XOf(longStep);
    for (; rows > 0; --rows, row += kFrameWidth) {
        FillRowBetween<kFillRow>(row, split, longSide);
        split = {_mm_add_epi32(split.lanes, splitStep), split.x + splitXStep};
        longSide = {_mm_add_epi32(longSide.lanes, longStep), longSide.x + longXStep};
    }
    return row;
}

// The upper part, rows top to middle - 1, then the lower part, rows middle to bottom.
template <RowFill kFillRow>
[[gnu::always_inline]] inline void WalkTriangle(const PackedTriangle& t) {
    Side split{t.top, XOf(t.top)};
    Side longSide = split;
    PackedColor* row = WalkPart<kFillRow>(t.topRowPixels, t.middleRow - t.topRow, split, t.upperStep, longSide,
                                          t.longStep);
    split = {t.middle, XOf(t.middle)};  // the lower part starts exactly at the middle corner
    WalkPart<kFillRow>(row, t.bottomRow - t.middleRow + 1, split, t.lowerStep, longSide, t.longStep);
}

// Triangles are set up a batch ahead of their walks: the corner sorting and
// the divisions of the next triangles then overlap the rows being written,
// instead of waiting behind the mispredicted end of the last row loop. A
// triangle the walk cannot take goes to the plain fill in its place in the
// order, since later triangles paint over earlier ones.
constexpr std::size_t kSetUpAhead = 16;

template <RowFill kFillRow>
[[gnu::always_inline]] inline void FillTrianglesPacked(FrameBuffer& frameBuffer, const ScreenTriangle* triangles,
                                                       std::size_t count) {
    PackedTriangle setUp[kSetUpAhead];
    for (std::size_t next = 0; next < count;) {
        // The run of triangles from here that the walk takes, then the one that ends it.
        std::size_t runEnd = next;
        while (runEnd < count && FitsPackedWalk(triangles[runEnd])) ++runEnd;
        while (next < runEnd) {
            const std::size_t batch = std::min(runEnd - next, kSetUpAhead);
            for (std::size_t k = 0; k < batch; ++k) setUp[k] = SetUpTriangle(frameBuffer, triangles[next + k]);
            for (std::size_t k = 0; k < batch; ++k) WalkTriangle<kFillRow>(setUp[k]);
            next += batch;
        }
        if (next < count) FillTrianglesPlain(frameBuffer, &triangles[next++], 1);
    }
}

// The last one to eight pixels of a run go out as two groups of four merged
// with what the frame holds: `take` selects the new pixels (and clears their top
// byte, where the x lane lands), `keep` the frame's own.
struct TailMasks {
    Lanes take[2];
    Lanes keep[2];
};

constexpr auto kTailMasks = [] {
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

// Four pixels from the lanes of four consecutive pixels. Blue, green and red
// must lie in 0..0x00FFFFFF, where the integer part is the byte the pixel
// shows; the x lane may hold anything and lands in the top byte.
inline __m128i PackFour(__m128i p0, __m128i p1, __m128i p2, __m128i p3) {
    const __m128i p01 = _mm_packs_epi32(_mm_srli_epi32(p0, 16), _mm_srli_epi32(p1, 16));
    const __m128i p23 = _mm_packs_epi32(_mm_srli_epi32(p2, 16), _mm_srli_epi32(p3, 16));
    return _mm_packus_epi16(p01, p23);
}

inline __m128i Merge(__m128i fresh, const PackedColor* pixel, const Lanes& take, const Lanes& keep) {
    const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixel));
    return _mm_or_si128(_mm_and_si128(fresh, Load(take)), _mm_and_si128(old, Load(keep)));
}

inline void Store(PackedColor* pixel, __m128i value) { _mm_storeu_si128(reinterpret_cast<__m128i*>(pixel), value); }

// Four pixels a group. Runs of up to eight pixels, three in four of a frame's,
// take no data-dependent branch.
inline void FillRow128(PackedColor* pixel, std::ptrdiff_t count, __m128i start, __m128i towardEnd) {
    const __m128i step = DivideLanes(towardEnd, count);
    __m128i p0 = start;
    __m128i p1 = _mm_add_epi32(p0, step);
    __m128i p2 = _mm_add_epi32(p1, step);
    __m128i p3 = _mm_add_epi32(p2, step);
    const __m128i fourSteps = _mm_slli_epi32(step, 2);
    const auto advance = [&] {
        p0 = _mm_add_epi32(p0, fourSteps);
        p1 = _mm_add_epi32(p1, fourSteps);
        p2 = _mm_add_epi32(p2, fourSteps);
        p3 = _mm_add_epi32(p3, fourSteps);
    };
    while (count > 8) {
        Store(pixel, _mm_and_si128(PackFour(p0, p1, p2, p3), _mm_set1_epi32(0x00FFFFFF)));
        advance();
        pixel += 4;
        count -= 4;
    }
    const TailMasks& masks = kTailMasks[static_cast<std::size_t>(count)];
    const __m128i first = PackFour(p0, p1, p2, p3);
    advance();
    const __m128i second = PackFour(p0, p1, p2, p3);
    const __m128i firstMerged = Merge(first, pixel, masks.take[0], masks.keep[0]);
    const __m128i secondMerged = Merge(second, pixel + 4, masks.take[1], masks.keep[1]);
    Store(pixel, firstMerged);
    Store(pixel + 4, secondMerged);
}

// The SSE2 level: the walk with the 128-bit row fill.
void FillTrianglesSse2(FrameBuffer& f, const ScreenTriangle* t, std::size_t n) {
    FillTrianglesPacked<FillRow128>(f, t, n);
}

}  // namespace

#endif

#if defined(DEMO_HAVE_AVX2_ROW_FILL)

namespace {

// DivideLanes in one register of four doubles.
DEMO_AVX2 inline __m128i DivideLanesAvx(__m128i n, std::ptrdiff_t d) {
    const __m256d r = _mm256_set1_pd(packed_divide::kReciprocals[static_cast<std::size_t>(d)]);
    return _mm256_cvttpd_epi32(_mm256_mul_pd(_mm256_cvtepi32_pd(n), r));
}

DEMO_AVX2 inline __m256i BothHalves(__m128i lanes) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lanes), lanes, 1);
}

// Eight pixels a group. The lanes travel in both halves of a 256-bit register,
// so that pixels (0, 4) and each next pair, a step on, share one register, and
// one byte shuffle of each takes every channel's whole level (the third byte of
// its lane) to the pixel's place, with a zero top byte.

// For each pixel place 0..3 of a half: bytes 2, 6 and 10 (blue, green, red)
// to that place, zero everywhere else; the same in both halves.
struct alignas(32) PlaceShuffle {
    std::int8_t bytes[32];
};

constexpr auto kPlaceShuffles = [] {
    std::array<PlaceShuffle, 4> shuffles{};
    for (int place = 0; place < 4; ++place) {
        for (int half = 0; half < 2; ++half) {
            std::int8_t* bytes = shuffles[static_cast<std::size_t>(place)].bytes + 16 * half;
            for (int b = 0; b < 16; ++b) bytes[b] = -128;
            bytes[4 * place] = 2;
            bytes[4 * place + 1] = 6;
            bytes[4 * place + 2] = 10;
        }
    }
    return shuffles;
}();

DEMO_AVX2 inline __m256i Placed(__m256i pixels, int place) {
    return _mm256_shuffle_epi8(
        pixels, _mm256_load_si256(reinterpret_cast<const __m256i*>(kPlaceShuffles[static_cast<std::size_t>(place)].bytes)));
}

// The eight pixels from p04, pixels 0 and 4 of the group.
DEMO_AVX2 inline __m256i ComposeEight(__m256i p04, __m256i steps) {
    const __m256i p15 = _mm256_add_epi32(p04, steps);
    const __m256i p26 = _mm256_add_epi32(p15, steps);
    const __m256i p37 = _mm256_add_epi32(p26, steps);
    return _mm256_or_si256(_mm256_or_si256(Placed(p04, 0), Placed(p15, 1)),
                           _mm256_or_si256(Placed(p26, 2), Placed(p37, 3)));
}

DEMO_AVX2 inline void FillRow256(PackedColor* pixel, std::ptrdiff_t count, __m128i start, __m128i towardEnd) {
    const __m128i step = DivideLanesAvx(towardEnd, count);
    const __m256i steps = BothHalves(step);
    const __m128i fourStepsOn = _mm_add_epi32(start, _mm_slli_epi32(step, 2));
    __m256i p04 = _mm256_inserti128_si256(_mm256_castsi128_si256(start), fourStepsOn, 1);
    while (count > 8) [[unlikely]] {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixel), ComposeEight(p04, steps));
        p04 = _mm256_add_epi32(p04, _mm256_slli_epi32(steps, 3));
        pixel += 8;
        count -= 8;
    }
    // The last one to eight pixels, merged with the frame's own (the byte
    // shuffles left the new pixels' top bytes zero).
    const __m256i keep = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kTailMasks[static_cast<std::size_t>(count)].keep));
    const __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixel));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixel), _mm256_blendv_epi8(ComposeEight(p04, steps), old, keep));
}

// The AVX2 level: the walk with the 256-bit row fill, all compiled for AVX2.
DEMO_AVX2 void FillTrianglesAvx2(FrameBuffer& f, const ScreenTriangle* t, std::size_t n) {
    FillTrianglesPacked<FillRow256>(f, t, n);
}

}  // namespace

#endif

#if defined(DEMO_HAVE_AVX512_ROW_FILL)

// GCC 12's AVX-512 intrinsics start some results from a deliberately
// undefined register, which -Wmaybe-uninitialized reports where they inline.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

// Eight pixels from two registers of four pixels' lanes each: pixel p takes
// bytes 2, 6 and 10 (the whole levels of blue, green and red) of its lane
// group, p < 4 from the first register and the rest from the second (byte
// indices from 64). The top byte of each pixel is zeroed by the mask below.
struct alignas(64) ComposeIndex {
    std::uint8_t bytes[64];
};

constexpr auto kComposeIndex = [] {
    ComposeIndex index{};
    for (int pixel = 0; pixel < 8; ++pixel) {
        const int group = pixel < 4 ? 16 * pixel : 64 + 16 * (pixel - 4);
        for (int channel = 0; channel < 3; ++channel) {
            index.bytes[4 * pixel + channel] = static_cast<std::uint8_t>(group + 4 * channel + 2);
        }
    }
    return index;
}();
constexpr __mmask64 kColourBytes = 0x77777777;

DEMO_AVX512 inline __m256i ComposeEight(__m512i firstFour, __m512i nextFour) {
    const __m512i index = _mm512_load_si512(kComposeIndex.bytes);
    return _mm512_castsi512_si256(_mm512_maskz_permutex2var_epi8(kColourBytes, firstFour, index, nextFour));
}

// Pixel k of four takes start + k * step.
struct alignas(64) LaneMultipliers {
    std::int32_t lanes[16];
};
constexpr LaneMultipliers kLaneMultipliers = {{0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3}};

// Eight pixels a group, the last group written with a store masked to the
// run's own pixels.
DEMO_AVX512 inline void FillRow512(PackedColor* pixel, std::ptrdiff_t count, __m128i start, __m128i towardEnd) {
    const __m512i steps = _mm512_broadcast_i32x4(DivideLanesAvx(towardEnd, count));
    const __m512i fourSteps = _mm512_slli_epi32(steps, 2);
    __m512i firstFour = _mm512_add_epi32(_mm512_broadcast_i32x4(start),
                                         _mm512_mullo_epi32(steps, _mm512_load_si512(kLaneMultipliers.lanes)));
    __m512i nextFour = _mm512_add_epi32(firstFour, fourSteps);
    while (count > 8) [[unlikely]] {
        const __m512i eightSteps = _mm512_add_epi32(fourSteps, fourSteps);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixel), ComposeEight(firstFour, nextFour));
        firstFour = _mm512_add_epi32(firstFour, eightSteps);
        nextFour = _mm512_add_epi32(nextFour, eightSteps);
        pixel += 8;
        count -= 8;
    }
    _mm256_mask_storeu_epi32(pixel, static_cast<__mmask8>((1u << static_cast<unsigned>(count)) - 1), ComposeEight(firstFour, nextFour));
}

// The AVX-512 level: the walk with the 512-bit row fill.
DEMO_AVX512 void FillTrianglesAvx512(FrameBuffer& f, const ScreenTriangle* t, std::size_t n) {
    FillTrianglesPacked<FillRow512>(f, t, n);
}

}  // namespace

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif

// The levels this build leaves out have no fill of their own.
#if !defined(DEMO_HAVE_PACKED_WALK)
constexpr TriangleListFill FillTrianglesSse2 = nullptr, FillTrianglesAvx2 = nullptr, FillTrianglesAvx512 = nullptr;
#elif !defined(DEMO_HAVE_AVX2_ROW_FILL)
constexpr TriangleListFill FillTrianglesAvx2 = nullptr, FillTrianglesAvx512 = nullptr;
#elif !defined(DEMO_HAVE_AVX512_ROW_FILL)
constexpr TriangleListFill FillTrianglesAvx512 = nullptr;
#endif

namespace {

constexpr SimdPaths<TriangleListFill> kTriangleListFills = {FillTrianglesPlain, FillTrianglesSse2, FillTrianglesAvx2,
                                                            FillTrianglesAvx512};

}  // namespace

TriangleListFill TriangleListFillFor(SimdLevel level) { return PathFor(kTriangleListFills, level); }
