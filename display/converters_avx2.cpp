// AVX2 group paths, compiled for AVX2 function by function so that the rest of
// the program keeps the baseline instruction set; the converters take them
// only on a processor that has AVX2. The compiler ends each with vzeroupper, so
// the SSE code after them pays no transition penalty.
#include "display/converters_fast.h"

#include "cpu/build_contents.h"

#if defined(DEMO_BUILD_AVX2)

#include <immintrin.h>

#include <cstddef>
#include <cstring>

namespace {

DEMO_TARGET_AVX2 __m256i Load8(const std::uint8_t* source) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(source));
}
DEMO_TARGET_AVX2 void Store32(std::uint8_t* destination, __m256i value) {
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(destination), value);
}
DEMO_TARGET_AVX2 __m256i Lanes32(std::uint32_t value) { return _mm256_set1_epi32(static_cast<int>(value)); }

// A byte shuffle within each 16-byte half of a register: four pixels, output
// byte i taken from source byte order[i]; -1 gives 0.
DEMO_TARGET_AVX2 __m256i ByteOrder(const signed char (&order)[16]) {
    __m128i half;
    std::memcpy(&half, order, sizeof half);
    return _mm256_broadcastsi128_si256(half);
}

// 0x??RRGGBB -> 0x00BBGGRR.
constexpr signed char kBgr32Order[16] = {2, 1, 0, -1, 6, 5, 4, -1, 10, 9, 8, -1, 14, 13, 12, -1};
// The low three bytes of each pixel laid end to end, as is or reversed; bytes
// 12-15 of each half are 0.
constexpr signed char kRgb24Order[16] = {0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1};
constexpr signed char kBgr24Order[16] = {2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1};

// Runs kGroup, which converts kPixels pixels, over the whole row, kUnroll
// groups a pass while they last; a row shorter than one group is left to the
// formula. The last group may overlap the one before, whose pixels then get
// the same bytes twice: a tail of up to kPixels - 1 pixels left to the formula
// costs more than that.
template <auto kGroup, std::int32_t kPixels, std::size_t kBytesPerPixel, std::int32_t kUnroll>
DEMO_TARGET_AVX2 std::int32_t RunGroups(const std::uint8_t* source, std::uint8_t* destination, std::int32_t count) {
    if (count < kPixels) return 0;
    const auto in = [source](std::int32_t pixel) { return source + static_cast<std::size_t>(pixel) * 4; };
    const auto out = [destination](std::int32_t pixel) {
        return destination + static_cast<std::size_t>(pixel) * kBytesPerPixel;
    };
    std::int32_t done = 0;
    for (; done <= count - kUnroll * kPixels; done += kUnroll * kPixels) {
        for (std::int32_t i = 0; i < kUnroll; ++i) kGroup(in(done + i * kPixels), out(done + i * kPixels));
    }
    for (; done <= count - kPixels; done += kPixels) kGroup(in(done), out(done));
    if (done < count) kGroup(in(count - kPixels), out(count - kPixels));
    return count;
}

// The 32-bit layouts store in 16-byte halves, which
// straddle nothing whenever the surface row is 16-byte aligned, as surfaces
// and heap blocks are; their 32-byte stores would straddle every other line
// when the frame's rows and the surface's are 16 bytes out of step.
DEMO_TARGET_AVX2 void StoreHalves(std::uint8_t* destination, __m256i value) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(destination), _mm256_castsi256_si128(value));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(destination + 16), _mm256_extracti128_si256(value, 1));
}

DEMO_TARGET_AVX2 void Copy8(const std::uint8_t* source, std::uint8_t* destination) {
    StoreHalves(destination, Load8(source));
}

DEMO_TARGET_AVX2 void Bgr32Of8(const std::uint8_t* source, std::uint8_t* destination) {
    StoreHalves(destination, _mm256_shuffle_epi8(Load8(source), ByteOrder(kBgr32Order)));
}

// Eight pixels as 24 bytes at the bottom of the register: each half packs its
// four pixels into its first 12 bytes, then 32-bit pieces 0-2 and 4-6 are
// gathered.
DEMO_TARGET_AVX2 __m256i Pack8To24Bytes(__m256i pixels, __m256i order) {
    const __m256i halvesPacked = _mm256_shuffle_epi8(pixels, order);
    return _mm256_permutevar8x32_epi32(halvesPacked, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7));
}

template <const signed char (&kOrder)[16]>
DEMO_TARGET_AVX2 std::int32_t Groups24(const std::uint8_t* source, std::uint8_t* destination, std::int32_t count) {
    const __m256i order = ByteOrder(kOrder);
    std::int32_t done = 0;
    // 32-byte stores for 24 bytes: while another group follows, it covers the
    // 8 bytes written past this one.
    for (; done <= count - 16; done += 8, source += 32, destination += 24) {
        Store32(destination, Pack8To24Bytes(Load8(source), order));
    }
    // The last group of the row stores just its own 24 bytes.
    if (done <= count - 8) {
        const __m256i bytes = Pack8To24Bytes(Load8(source), order);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(destination), _mm256_castsi256_si128(bytes));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(destination + 16), _mm256_extracti128_si256(bytes, 1));
        done += 8;
    }
    return done;
}

// The 16-bit layouts as data: which bits of each channel survive, and two
// multiply-add steps that put them in place. The first multiplies the bytes
// B, G, R, top byte by kByteFactors and adds them in pairs (B and G into the
// low 16 bits, R and the top byte into the high 16 bits); the second multiplies
// those two 16-bit sums by kWordFactors and adds them. Every layout comes out
// as its 16-bit pixel shifted left by 3.
struct Layout16 {
    std::uint32_t keptBits;
    signed char byteFactors[4];  // B, G, R, top byte
    std::int16_t wordFactors[2];  // the B-G sum, the R sum
};

// B5 << 3 + G6 << 8, R5 << 3 x 0x800 = R5 << 14.
constexpr Layout16 kRgb565 = {0x00F8FCF8, {1, 64, 1, 0}, {1, 0x800}};
// (B5 << 9 + G6 << 3) x 32 = B5 << 14 + G6 << 8, R5 << 3.
constexpr Layout16 kBgr565 = {0x00F8FCF8, {64, 2, 1, 0}, {32, 1}};
// B5 << 3 + G5 << 8, R5 << 3 x 0x400 = R5 << 13.
constexpr Layout16 kRgb555 = {0x00F8F8F8, {1, 32, 1, 0}, {1, 0x400}};
// (B5 << 9 + G5 << 4) x 16 = B5 << 13 + G5 << 8, R5 << 3.
constexpr Layout16 kBgr555 = {0x00F8F8F8, {64, 2, 1, 0}, {16, 1}};

// The four bytes or two 16-bit words of one 32-bit lane, lowest first.
constexpr std::uint32_t LaneOf(const signed char (&bytes)[4]) {
    std::uint32_t lane = 0;
    for (int i = 3; i >= 0; --i) lane = lane << 8 | static_cast<std::uint8_t>(bytes[i]);
    return lane;
}
constexpr std::uint32_t LaneOf(const std::int16_t (&words)[2]) {
    return static_cast<std::uint32_t>(static_cast<std::uint16_t>(words[1])) << 16 |
           static_cast<std::uint16_t>(words[0]);
}

template <const Layout16& kLayout>
DEMO_TARGET_AVX2 __m256i Lanes16(__m256i pixels) {
    // Sums stay below 0x4000 and products below 0x80000: nothing saturates.
    const __m256i sums = _mm256_maddubs_epi16(_mm256_and_si256(pixels, Lanes32(kLayout.keptBits)),
                                              Lanes32(LaneOf(kLayout.byteFactors)));
    return _mm256_srli_epi32(_mm256_madd_epi16(sums, Lanes32(LaneOf(kLayout.wordFactors))), 3);
}

// The narrowing works within 16-byte halves: pixels come out in the order 0-3,
// 8-11, 4-7, 12-15, and one 64-bit permute restores it.
template <const Layout16& kLayout>
DEMO_TARGET_AVX2 void Layout16Of16(const std::uint8_t* source, std::uint8_t* destination) {
    const __m256i narrowed =
        _mm256_packus_epi32(Lanes16<kLayout>(Load8(source)), Lanes16<kLayout>(Load8(source + 32)));
    Store32(destination, _mm256_permute4x64_epi64(narrowed, _MM_SHUFFLE(3, 1, 2, 0)));
}

}  // namespace

// The 32-bit layouts are pure memory traffic and run two groups a pass.
const GroupPaths kConvertersAvx2 = {
    RunGroups<Copy8, 8, 4, 2>,
    RunGroups<Bgr32Of8, 8, 4, 2>,
    Groups24<kRgb24Order>,
    Groups24<kBgr24Order>,
    RunGroups<Layout16Of16<kRgb565>, 16, 2, 1>,
    RunGroups<Layout16Of16<kBgr565>, 16, 2, 1>,
    RunGroups<Layout16Of16<kRgb555>, 16, 2, 1>,
    RunGroups<Layout16Of16<kBgr555>, 16, 2, 1>,
};

#endif
