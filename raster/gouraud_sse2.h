// SSE2 kernels of the fills. A pixel's three channels travel together in one
// register as four 32-bit lanes (blue, green, red, x), 16.16 each, so that a
// span's start and step, and a triangle side's values and per-row change, are
// one register each.
#pragma once

#if defined(__SSE2__)

#include <emmintrin.h>

#include <array>
#include <bit>
#include <cstdint>

#include "raster/frame_buffer.h"

namespace gouraud_sse2 {

// Exact truncating division by multiplying with a reciprocal, in double
// precision: for |n| < 2^27 and d in 1..1023, trunc(n * r) = trunc(n / d) when
// r is 1/d rounded up. Where n / d is a whole q, n * r >= q and stays far below
// q + 1; otherwise n / d is at least 1/d below the next whole number while
// n * r exceeds n / d by under 2^27 * 2^-51, and rounding the product cannot
// close a gap of 1/1023. Division by 0 is given as 0 (a flat edge has no steps).
inline constexpr std::int32_t kDivisorLimit = 1024;
inline constexpr std::int32_t kNumeratorLimit = 1 << 27;

struct alignas(16) ReciprocalPair {
    double lanes[2];
};

inline constexpr auto kReciprocals = [] {
    std::array<ReciprocalPair, kDivisorLimit> reciprocals{};
    for (int d = 1; d < kDivisorLimit; ++d) {
        const double up = std::bit_cast<double>(std::bit_cast<std::uint64_t>(1.0 / d) + 1);
        reciprocals[static_cast<std::size_t>(d)] = {{up, up}};
    }
    return reciprocals;
}();

// Each lane of n divided by d, truncated toward zero; |lane| < 2^27, d in 0..1023.
inline __m128i DivideLanes(__m128i n, std::int32_t d) {
    const __m128d r = _mm_load_pd(kReciprocals[static_cast<std::size_t>(d)].lanes);
    const __m128i low = _mm_cvttpd_epi32(_mm_mul_pd(_mm_cvtepi32_pd(n), r));
    const __m128i high = _mm_cvttpd_epi32(_mm_mul_pd(_mm_cvtepi32_pd(_mm_unpackhi_epi64(n, n)), r));
    return _mm_unpacklo_epi64(low, high);
}

struct alignas(16) Lanes {
    std::uint32_t v[4];
};

inline __m128i Load(const Lanes& lanes) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(lanes.v));
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

inline void Store(PackedColor* pixel, __m128i value) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixel), value);
}

// Writes count >= 1 pixels from `pixel`, pixel k holding start + k * step in
// each channel (wrapping), composed as the plain fill composes it. Every
// channel value the span reaches must lie in 0..0x00FFFFFF, and the seven
// pixels after the last one must lie inside the frame: the tail is read and
// written back as whole groups. Spans of up to eight pixels, three in four of a
// frame's, take no data-dependent branch.
inline void WriteSpan(PackedColor* pixel, std::int32_t count, __m128i start, __m128i step) {
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

// (blue, green, red, x) as 16.16 lanes from a colour with a zero top byte and a
// column in 0..32767.
inline __m128i CornerLanes(PackedColor colour, std::int32_t x) {
    const __m128i zero = _mm_setzero_si128();
    __m128i lanes = _mm_cvtsi32_si128(static_cast<int>(colour));
    lanes = _mm_unpacklo_epi16(_mm_unpacklo_epi8(lanes, zero), zero);
    lanes = _mm_insert_epi16(lanes, static_cast<std::int16_t>(x), 6);
    return _mm_slli_epi32(lanes, 16);
}

}  // namespace gouraud_sse2

#endif
