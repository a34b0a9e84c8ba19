// The SSE2 level's triangle fill: the packed walk with a 128-bit span fill.
#include "cpu/build_contents.h"

#if defined(DEMO_BUILD_SSE2)

#include "raster/gouraud_walk.h"

namespace gouraud_walk {
namespace {

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

// Four pixels a group. Spans of up to eight pixels, three in four of a frame's,
// take no data-dependent branch.
inline void FillSpan128(PackedColor* pixel, std::ptrdiff_t count, __m128i start, __m128i towardEnd) {
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

}  // namespace
}  // namespace gouraud_walk

void FillTrianglesSse2(FrameBuffer& f, const ScreenTriangle* t, std::size_t n) {
    gouraud_walk::FillTrianglesPacked<gouraud_walk::FillSpan128>(f, t, n);
}

#endif
