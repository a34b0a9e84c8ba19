// The AVX-512 level's triangle fill: the packed walk with a span fill that
// works out eight pixels in 512-bit registers and stores them through 256 bits,
// the last group's store masked to the span.
#include "cpu/build_contents.h"

#if defined(DEMO_BUILD_AVX512)

#include <immintrin.h>

#include "raster/gouraud_walk.h"

// GCC 12's AVX-512 intrinsics start some results from a deliberately
// undefined register, which -Wmaybe-uninitialized reports where they inline.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace gouraud_walk {
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

DEMO_TARGET_AVX512 inline __m256i ComposeEight(__m512i firstFour, __m512i nextFour) {
    const __m512i index = _mm512_load_si512(kComposeIndex.bytes);
    return _mm512_castsi512_si256(_mm512_maskz_permutex2var_epi8(kColourBytes, firstFour, index, nextFour));
}

// Pixel k of four takes start + k * step.
struct alignas(64) LaneMultipliers {
    std::int32_t lanes[16];
};
constexpr LaneMultipliers kLaneMultipliers = {{0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3}};

// Eight pixels a group, stored through 256 bits; the last group's store is
// masked to the span's own pixels.
DEMO_TARGET_AVX512 inline void FillSpanMasked256(PackedColor* pixel, std::ptrdiff_t count, __m128i start, __m128i towardEnd) {
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

}  // namespace
}  // namespace gouraud_walk

DEMO_TARGET_AVX512 void FillTrianglesAvx512(FrameBuffer& f, const ScreenTriangle* t, std::size_t n) {
    gouraud_walk::FillTrianglesPacked<gouraud_walk::FillSpanMasked256>(f, t, n);
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#endif
