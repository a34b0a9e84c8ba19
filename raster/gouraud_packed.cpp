#include "raster/gouraud_packed.h"

#if defined(__SSE2__)

#include <algorithm>
#include <array>

#include "raster/gouraud_sse2.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <immintrin.h>
#define DEMO_HAVE_AVX2_WALK 1
#endif
// Only on 64-bit builds: 32-bit Windows does not keep the stack aligned for
// 64-byte registers.
#if defined(DEMO_HAVE_AVX2_WALK) && defined(__x86_64__)
#define DEMO_HAVE_AVX512_WALK 1
#endif

namespace {

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
    return gouraud_sse2::CornerLanes(static_cast<PackedColor>(corner & 0x00FFFFFFu),
                                     static_cast<std::int32_t>((corner >> 24) & 0x3FFu));
}

// What both walks start from: the corners sorted by row exactly as the plain
// fill sorts them (three compare-exchanges, in its order), and the per-row
// change of each edge. The long edge's step equals (top - bottom) / (y1 - y3)
// because truncation is symmetric. The sides' x values also travel apart as
// plain integers, where their whole columns cost a shift.
struct PackedTriangle {
    PackedColor* topRowPixels;
    std::int32_t topRow, middleRow, bottomRow;
    __m128i top, middle;
    __m128i upperStep, lowerStep, longStep;
};

inline PackedTriangle SetUpTriangle(FrameBuffer& frameBuffer, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                                    std::int32_t y2, std::int32_t x3, std::int32_t y3, PackedColor c1,
                                    PackedColor c2, PackedColor c3) {
    std::uint64_t top = PackCorner(x1, y1, c1);
    std::uint64_t middle = PackCorner(x2, y2, c2);
    std::uint64_t bottom = PackCorner(x3, y3, c3);
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
    using gouraud_sse2::DivideLanes;
    t.upperStep = DivideLanes(_mm_sub_epi32(t.middle, t.top), t.middleRow - t.topRow);
    t.lowerStep = DivideLanes(_mm_sub_epi32(bottomLanes, t.middle), t.bottomRow - t.middleRow);
    t.longStep = DivideLanes(_mm_sub_epi32(bottomLanes, t.top), t.bottomRow - t.topRow);
    return t;
}

// The x lane of a side's values or steps.
inline std::ptrdiff_t XOf(__m128i lanes) { return _mm_cvtsi128_si32(_mm_shuffle_epi32(lanes, 3)); }

// One row's run, ordered as the plain fill orders its ends: the split side is
// the first end, and keeps its colour when both ends share a column.
struct RowRun {
    std::ptrdiff_t left, count;
    std::size_t exchanged;  // 1 when the long side is on the left
};

inline RowRun RunBetween(std::ptrdiff_t splitX, std::ptrdiff_t longX) {
    const std::ptrdiff_t splitColumn = splitX >> 16;
    const std::ptrdiff_t longColumn = longX >> 16;
    const bool exchanged = longColumn < splitColumn;
    const std::ptrdiff_t left = exchanged ? longColumn : splitColumn;
    const std::ptrdiff_t right = exchanged ? splitColumn : longColumn;
    return {left, right - left + 1, static_cast<std::size_t>(exchanged)};
}

// Lane masks selecting the long side's values where the run is exchanged.
struct alignas(32) ExchangeMask {
    std::int32_t lanes[8];
};
constexpr ExchangeMask kExchangeMasks[2] = {{{0, 0, 0, 0, 0, 0, 0, 0}}, {{-1, -1, -1, -1, -1, -1, -1, -1}}};

inline void FillRowSse2(PackedColor* row, const RowRun& run, __m128i split, __m128i longSide) {
    const __m128i mask = _mm_load_si128(reinterpret_cast<const __m128i*>(kExchangeMasks[run.exchanged].lanes));
    const __m128i difference = _mm_sub_epi32(longSide, split);
    const __m128i start = _mm_add_epi32(split, _mm_and_si128(difference, mask));
    const __m128i towardEnd = _mm_sub_epi32(_mm_xor_si128(difference, mask), mask);
    const auto count = static_cast<std::int32_t>(run.count);
    gouraud_sse2::WriteSpan(row + run.left, count, start, gouraud_sse2::DivideLanes(towardEnd, count));
}

// A row fill that takes each side's values as one register of four lanes.
using RowFill128 = void (*)(PackedColor* row, const RowRun& run, __m128i split, __m128i longSide);

// Both parts of a triangle, row by row, with such a fill. Always inlined, so
// that the fill is a direct call and itself inlined where its target allows.
[[gnu::always_inline]] inline void WalkTriangle(const PackedTriangle& t, RowFill128 fillRow) {
    PackedColor* row = t.topRowPixels;
    __m128i split = t.top;
    __m128i longSide = t.top;
    std::ptrdiff_t splitX = XOf(t.top), longX = splitX;
    const std::ptrdiff_t longXStep = XOf(t.longStep);
    for (std::int32_t y = t.topRow, splitXStep = static_cast<std::int32_t>(XOf(t.upperStep)); y < t.middleRow;
         ++y, row += kFrameWidth) {
        fillRow(row, RunBetween(splitX, longX), split, longSide);
        split = _mm_add_epi32(split, t.upperStep);
        longSide = _mm_add_epi32(longSide, t.longStep);
        splitX += splitXStep;
        longX += longXStep;
    }
    split = t.middle;  // the lower part starts exactly at the middle corner
    splitX = XOf(t.middle);
    for (std::int32_t y = t.middleRow, splitXStep = static_cast<std::int32_t>(XOf(t.lowerStep)); y <= t.bottomRow;
         ++y, row += kFrameWidth) {
        fillRow(row, RunBetween(splitX, longX), split, longSide);
        split = _mm_add_epi32(split, t.lowerStep);
        longSide = _mm_add_epi32(longSide, t.longStep);
        splitX += splitXStep;
        longX += longXStep;
    }
}

// Triangles are set up a batch ahead of their walks: the corner sorting and
// the divisions of the next triangles then overlap the rows being written,
// instead of waiting behind the mispredicted end of the last row loop.
constexpr std::size_t kSetUpAhead = 16;

using TriangleWalk = void (*)(const PackedTriangle& t);

template <TriangleWalk kWalk>
[[gnu::always_inline]] inline void FillEachTriangle(FrameBuffer& frameBuffer, const ScreenTriangle* triangles,
                                                    std::size_t count) {
    PackedTriangle setUp[kSetUpAhead];
    for (std::size_t first = 0; first < count; first += kSetUpAhead) {
        const std::size_t batch = std::min(count - first, kSetUpAhead);
        for (std::size_t k = 0; k < batch; ++k) {
            const ScreenTriangle& t = triangles[first + k];
            setUp[k] = SetUpTriangle(frameBuffer, t.x1, t.y1, t.x2, t.y2, t.x3, t.y3, t.c1, t.c2, t.c3);
        }
        for (std::size_t k = 0; k < batch; ++k) kWalk(setUp[k]);
    }
}

inline void WalkSse2(const PackedTriangle& t) { WalkTriangle(t, FillRowSse2); }

}  // namespace

void FillTrianglesPackedSse2(FrameBuffer& frameBuffer, const ScreenTriangle* triangles, std::size_t count) {
    FillEachTriangle<WalkSse2>(frameBuffer, triangles, count);
}

#if defined(DEMO_HAVE_AVX2_WALK)

namespace {

#define DEMO_AVX2 __attribute__((target("avx2")))

// Eight pixels at a time. The side values travel in both halves of a 256-bit
// register, so that a run's first pixel is already in both; four registers
// then hold pixels (0, 4), (1, 5), (2, 6) and (3, 7), and one byte shuffle of
// each takes every channel's whole level (the third byte of its lane) to the
// pixel's place, with a zero top byte. The channels must lie in 0..0x00FFFFFF.
struct EightPixels {
    __m256i p04, p15, p26, p37;
};

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

DEMO_AVX2 inline __m256i ComposeEight(const EightPixels& p) {
    return _mm256_or_si256(_mm256_or_si256(Placed(p.p04, 0), Placed(p.p15, 1)),
                           _mm256_or_si256(Placed(p.p26, 2), Placed(p.p37, 3)));
}

DEMO_AVX2 inline __m256i LoadEight(const void* lanes) {
    return _mm256_loadu_si256(static_cast<const __m256i*>(lanes));
}

DEMO_AVX2 inline __m256i BothHalves(__m128i lanes) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(lanes), lanes, 1);
}

// +1 in every lane, or -1 where the run is exchanged: the sign of the long
// side's values minus the split side's, toward the run's last end.
struct alignas(32) ExchangeSign {
    std::int32_t lanes[8];
};
constexpr ExchangeSign kExchangeSigns[2] = {{{1, 1, 1, 1, 1, 1, 1, 1}}, {{-1, -1, -1, -1, -1, -1, -1, -1}}};

// One row's run: the same pixels as FillRowSse2, eight per group, the
// division in one register of four doubles.
DEMO_AVX2 inline void FillRowAvx2(PackedColor* row, const RowRun& run, __m256i split, __m256i longSide) {
    const __m256i sign = _mm256_load_si256(reinterpret_cast<const __m256i*>(kExchangeSigns[run.exchanged].lanes));
    const __m256i difference = _mm256_sub_epi32(longSide, split);
    const __m256i start = _mm256_blendv_epi8(split, longSide, sign);
    const __m256i towardEnd = _mm256_sign_epi32(difference, sign);
    const __m128i step = _mm256_cvttpd_epi32(_mm256_mul_pd(
        _mm256_cvtepi32_pd(_mm256_castsi256_si128(towardEnd)),
        _mm256_broadcast_sd(gouraud_sse2::kReciprocals[static_cast<std::size_t>(run.count)].lanes)));
    const __m256i steps = BothHalves(step);
    const __m256i twoSteps = _mm256_add_epi32(steps, steps);
    const __m256i fourSteps = _mm256_add_epi32(twoSteps, twoSteps);
    EightPixels p;
    p.p04 = _mm256_add_epi32(start, _mm256_blend_epi32(_mm256_setzero_si256(), fourSteps, 0xF0));
    p.p15 = _mm256_add_epi32(p.p04, steps);
    p.p26 = _mm256_add_epi32(p.p15, steps);
    p.p37 = _mm256_add_epi32(p.p26, steps);
    PackedColor* pixel = row + run.left;
    std::ptrdiff_t count = run.count;
    while (count > 8) [[unlikely]] {
        const __m256i eightSteps = _mm256_add_epi32(fourSteps, fourSteps);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixel), ComposeEight(p));
        p.p04 = _mm256_add_epi32(p.p04, eightSteps);
        p.p15 = _mm256_add_epi32(p.p15, eightSteps);
        p.p26 = _mm256_add_epi32(p.p26, eightSteps);
        p.p37 = _mm256_add_epi32(p.p37, eightSteps);
        pixel += 8;
        count -= 8;
    }
    // The last one to eight pixels, merged with the frame's own (the byte
    // shuffles left the new pixels' top bytes zero).
    const __m256i keep = LoadEight(gouraud_sse2::kTailMasks[static_cast<std::size_t>(count)].keep);
    const __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pixel));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixel), _mm256_blendv_epi8(ComposeEight(p), old, keep));
}

// Both parts of a triangle, row by row, eight pixels per group.
DEMO_AVX2 inline void WalkAvx2(const PackedTriangle& t) {
    PackedColor* row = t.topRowPixels;
    __m256i split = BothHalves(t.top);
    __m256i longSide = split;
    const __m256i upperStep = BothHalves(t.upperStep), lowerStep = BothHalves(t.lowerStep),
                  longStep = BothHalves(t.longStep);
    std::ptrdiff_t splitX = XOf(t.top), longX = splitX;
    const std::ptrdiff_t longXStep = XOf(t.longStep);
    for (std::int32_t y = t.topRow, splitXStep = static_cast<std::int32_t>(XOf(t.upperStep)); y < t.middleRow;
         ++y, row += kFrameWidth) {
        FillRowAvx2(row, RunBetween(splitX, longX), split, longSide);
        split = _mm256_add_epi32(split, upperStep);
        longSide = _mm256_add_epi32(longSide, longStep);
        splitX += splitXStep;
        longX += longXStep;
    }
    split = BothHalves(t.middle);  // the lower part starts exactly at the middle corner
    splitX = XOf(t.middle);
    for (std::int32_t y = t.middleRow, splitXStep = static_cast<std::int32_t>(XOf(t.lowerStep)); y <= t.bottomRow;
         ++y, row += kFrameWidth) {
        FillRowAvx2(row, RunBetween(splitX, longX), split, longSide);
        split = _mm256_add_epi32(split, lowerStep);
        longSide = _mm256_add_epi32(longSide, longStep);
        splitX += splitXStep;
        longX += longXStep;
    }
}

}  // namespace

DEMO_AVX2 void FillTrianglesPackedAvx2(FrameBuffer& frameBuffer, const ScreenTriangle* triangles, std::size_t count) {
    FillEachTriangle<WalkAvx2>(frameBuffer, triangles, count);
}

bool ProcessorHasAvx2() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

#else

void FillTrianglesPackedAvx2(FrameBuffer& frameBuffer, const ScreenTriangle* triangles, std::size_t count) {
    FillTrianglesPackedSse2(frameBuffer, triangles, count);
}

bool ProcessorHasAvx2() { return false; }

#endif

#if defined(DEMO_HAVE_AVX512_WALK)

// GCC 12's AVX-512 intrinsics start some results from a deliberately
// undefined register, which -Wmaybe-uninitialized reports where they inline.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace {

#define DEMO_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512vl,avx512vbmi")))

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

// One row's run: the same pixels as FillRowSse2, eight per group, the last
// group written with a store masked to the run's own pixels.
DEMO_AVX512 inline void FillRowAvx512(PackedColor* row, const RowRun& run, __m128i split, __m128i longSide) {
    const auto exchanged = static_cast<__mmask8>(0 - run.exchanged);
    const __m128i difference = _mm_sub_epi32(longSide, split);
    const __m128i start = _mm_mask_blend_epi32(exchanged, split, longSide);
    const __m128i towardEnd = _mm_mask_sub_epi32(difference, exchanged, _mm_setzero_si128(), difference);
    const __m128i step = _mm256_cvttpd_epi32(_mm256_mul_pd(
        _mm256_cvtepi32_pd(towardEnd),
        _mm256_broadcast_sd(gouraud_sse2::kReciprocals[static_cast<std::size_t>(run.count)].lanes)));
    const __m512i steps = _mm512_broadcast_i32x4(step);
    const __m512i fourSteps = _mm512_slli_epi32(steps, 2);
    __m512i firstFour = _mm512_add_epi32(_mm512_broadcast_i32x4(start),
                                         _mm512_mullo_epi32(steps, _mm512_load_si512(kLaneMultipliers.lanes)));
    __m512i nextFour = _mm512_add_epi32(firstFour, fourSteps);
    PackedColor* pixel = row + run.left;
    std::ptrdiff_t count = run.count;
    while (count > 8) [[unlikely]] {
        const __m512i eightSteps = _mm512_add_epi32(fourSteps, fourSteps);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixel), ComposeEight(firstFour, nextFour));
        firstFour = _mm512_add_epi32(firstFour, eightSteps);
        nextFour = _mm512_add_epi32(nextFour, eightSteps);
        pixel += 8;
        count -= 8;
    }
    _mm256_mask_storeu_epi32(pixel, static_cast<__mmask8>((1u << count) - 1), ComposeEight(firstFour, nextFour));
}

DEMO_AVX512 inline void WalkAvx512(const PackedTriangle& t) { WalkTriangle(t, FillRowAvx512); }

}  // namespace

DEMO_AVX512 void FillTrianglesPackedAvx512(FrameBuffer& frameBuffer, const ScreenTriangle* triangles,
                                           std::size_t count) {
    FillEachTriangle<WalkAvx512>(frameBuffer, triangles, count);
}

bool ProcessorHasAvx512Walk() {
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
               __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi");
    }();
    return has;
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#else

void FillTrianglesPackedAvx512(FrameBuffer& frameBuffer, const ScreenTriangle* triangles, std::size_t count) {
    FillTrianglesPackedAvx2(frameBuffer, triangles, count);
}

bool ProcessorHasAvx512Walk() { return false; }

#endif

#endif
