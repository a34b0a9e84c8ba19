// SSE2 group paths, the converters' fast paths at the SSE2 level. Loads and
// stores are all unaligned: the surface row may start anywhere.
#include "display/converters_fast.h"

#include "cpu/build_contents.h"

#if defined(DEMO_BUILD_SSE2)

#include <emmintrin.h>

#include <cstring>

namespace {

__m128i Load4(const std::uint8_t* source) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(source));
}
void Store16(std::uint8_t* destination, __m128i value) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(destination), value);
}
__m128i Lanes32(std::uint32_t value) { return _mm_set1_epi32(static_cast<int>(value)); }
__m128i Lanes64(std::uint32_t high, std::uint32_t low) {
    return _mm_set_epi32(static_cast<int>(high), static_cast<int>(low), static_cast<int>(high),
                         static_cast<int>(low));
}

// 0x??RRGGBB -> 0x00BBGGRR: swapping the 16-bit halves puts B in bits 16-23 and
// R in bits 0-7; green stays where it was.
__m128i SwapRedBlue(__m128i pixels) {
    const __m128i halvesSwapped =
        _mm_shufflehi_epi16(_mm_shufflelo_epi16(pixels, _MM_SHUFFLE(2, 3, 0, 1)), _MM_SHUFFLE(2, 3, 0, 1));
    return _mm_or_si128(_mm_and_si128(halvesSwapped, Lanes32(0x00FF00FF)),
                        _mm_and_si128(pixels, Lanes32(0x0000FF00)));
}

// Four pixels as two runs of six bytes: the low three bytes of the second pixel
// of each 64-bit lane are moved down against those of the first. Bytes 6-7 of
// each lane are 0.
__m128i PackPairsTo6Bytes(__m128i pixels) {
    const __m128i first = _mm_and_si128(pixels, Lanes64(0, 0x00FFFFFF));
    const __m128i second = _mm_and_si128(pixels, Lanes64(0x00FFFFFF, 0));
    return _mm_or_si128(first, _mm_srli_epi64(second, 8));
}

// Writes 14 bytes for the 12 of four pixels; the two bytes past them belong to
// the next group, which overwrites them.
void Store4PixelsOf3BytesAndTwoMore(std::uint8_t* destination, __m128i pairs) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination), pairs);
    double secondRun;  // through memory so that the store may be unaligned
    _mm_storeh_pd(&secondRun, _mm_castsi128_pd(pairs));
    std::memcpy(destination + 6, &secondRun, sizeof secondRun);
}

// Writes just the 12 bytes, as 8 bytes (the first run and two bytes of the
// second, moved down against it) and 4 bytes (the rest of the second run).
void Store4PixelsOf3Bytes(std::uint8_t* destination, __m128i pairs) {
    const __m128i firstEight = _mm_or_si128(pairs, _mm_slli_epi64(_mm_srli_si128(pairs, 8), 48));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(destination), firstEight);
    const int lastFour = _mm_cvtsi128_si32(_mm_srli_si128(pairs, 10));
    std::memcpy(destination + 8, &lastFour, sizeof lastFour);
}

template <bool kSwapRedBlue>
std::int32_t Groups24(const std::uint8_t* source, std::uint8_t* destination, std::int32_t count) {
    std::int32_t done = 0;
    // While another group follows, it covers the two bytes written past this one.
    for (; done <= count - 8; done += 4, source += 16, destination += 12) {
        __m128i pixels = Load4(source);
        if constexpr (kSwapRedBlue) pixels = SwapRedBlue(pixels);
        Store4PixelsOf3BytesAndTwoMore(destination, PackPairsTo6Bytes(pixels));
    }
    if (done <= count - 4) {
        __m128i pixels = Load4(source);
        if constexpr (kSwapRedBlue) pixels = SwapRedBlue(pixels);
        Store4PixelsOf3Bytes(destination, PackPairsTo6Bytes(pixels));
        done += 4;
    }
    return done;
}

// Not memcpy: glibc's copy of a frame row runs at half speed when the two rows
// are 16 bytes out of step; 64-byte blocks of plain moves never do.
std::int32_t CopyGroups(const std::uint8_t* source, std::uint8_t* destination, std::int32_t count) {
    std::int32_t done = 0;
    for (; done <= count - 16; done += 16, source += 64, destination += 64) {
        const __m128i a = Load4(source), b = Load4(source + 16), c = Load4(source + 32), d = Load4(source + 48);
        Store16(destination, a);
        Store16(destination + 16, b);
        Store16(destination + 32, c);
        Store16(destination + 48, d);
    }
    for (; done <= count - 4; done += 4, source += 16, destination += 16) Store16(destination, Load4(source));
    return done;
}

std::int32_t Bgr32Groups(const std::uint8_t* source, std::uint8_t* destination, std::int32_t count) {
    std::int32_t done = 0;
    for (; done <= count - 4; done += 4, source += 16, destination += 16) {
        Store16(destination, SwapRedBlue(Load4(source)));
    }
    return done;
}

// 5-6-5: the two 16-bit halves of p AND 0x00F800F8 hold B's and R's top five
// bits at bits 3-7, and one multiply-add moves both into place: (low half x
// kLow) + (high half x kHigh). With green's six bits ORed in, the lane holds the 16-bit result
// shifted left by 5; it goes to bits 16-31 and back with the sign, so that the
// signed narrowing keeps results of 0x8000 and up intact.
template <std::uint32_t kLow, std::uint32_t kHigh>
__m128i Lanes565(__m128i pixels) {
    const __m128i redBlue = _mm_madd_epi16(_mm_and_si128(pixels, Lanes32(0x00F800F8)),
                                           Lanes32(kHigh << 16 | kLow));
    const __m128i shiftedBy5 = _mm_or_si128(redBlue, _mm_and_si128(pixels, Lanes32(0x0000FC00)));
    return _mm_srai_epi32(_mm_slli_epi32(shiftedBy5, 11), 16);
}

// 5-5-5: as 5-6-5 but the result, shifted left by 6, stays below 0x8000 << 6.
template <std::uint32_t kLow, std::uint32_t kHigh>
__m128i Lanes555(__m128i pixels) {
    const __m128i redBlue = _mm_madd_epi16(_mm_and_si128(pixels, Lanes32(0x00F800F8)),
                                           Lanes32(kHigh << 16 | kLow));
    const __m128i shiftedBy6 = _mm_or_si128(redBlue, _mm_and_si128(pixels, Lanes32(0x0000F800)));
    return _mm_srli_epi32(shiftedBy6, 6);
}

template <__m128i (*kLanes)(__m128i)>
std::int32_t Groups16(const std::uint8_t* source, std::uint8_t* destination, std::int32_t count) {
    std::int32_t done = 0;
    for (; done <= count - 8; done += 8, source += 32, destination += 16) {
        Store16(destination, _mm_packs_epi32(kLanes(Load4(source)), kLanes(Load4(source + 16))));
    }
    return done;
}

}  // namespace

// Multipliers: x4 and x0x2000 take a channel's top five bits (at bits 3-7) to
// bits 5 and 16 (5-6-5), x8 and x0x2000 to bits 6 and 16 (5-5-5).
const GroupPaths kConvertersSse2 = {
    CopyGroups,
    Bgr32Groups,
    Groups24<false>,
    Groups24<true>,
    Groups16<Lanes565<0x0004, 0x2000>>,
    Groups16<Lanes565<0x2000, 0x0004>>,
    Groups16<Lanes555<0x0008, 0x2000>>,
    Groups16<Lanes555<0x2000, 0x0008>>,
};

#endif
