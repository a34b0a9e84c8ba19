// The AVX2 level's triangle fill: the packed walk with a 256-bit span fill,
// all compiled for AVX2.
#include "cpu/build_contents.h"

#if defined(DEMO_BUILD_AVX2)

#include <immintrin.h>

#include "raster/gouraud_walk.h"

namespace gouraud_walk {
namespace {

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

DEMO_TARGET_AVX2 inline __m256i Placed(__m256i pixels, int place) {
    return _mm256_shuffle_epi8(
        pixels, _mm256_load_si256(reinterpret_cast<const __m256i*>(kPlaceShuffles[static_cast<std::size_t>(place)].bytes)));
}

// The eight pixels from p04, pixels 0 and 4 of the group.
DEMO_TARGET_AVX2 inline __m256i ComposeEight(__m256i p04, __m256i steps) {
    const __m256i p15 = _mm256_add_epi32(p04, steps);
    const __m256i p26 = _mm256_add_epi32(p15, steps);
    const __m256i p37 = _mm256_add_epi32(p26, steps);
    return _mm256_or_si256(_mm256_or_si256(Placed(p04, 0), Placed(p15, 1)),
                           _mm256_or_si256(Placed(p26, 2), Placed(p37, 3)));
}

DEMO_TARGET_AVX2 inline void FillSpan256(PackedColor* pixel, std::ptrdiff_t count, __m128i start, __m128i towardEnd) {
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

}  // namespace
}  // namespace gouraud_walk

DEMO_TARGET_AVX2 void FillTrianglesAvx2(FrameBuffer& f, const ScreenTriangle* t, std::size_t n) {
    gouraud_walk::FillTrianglesPacked<gouraud_walk::FillSpan256>(f, t, n);
}

#endif
