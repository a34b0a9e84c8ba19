// The fast paths against their plain references: the divisions without a
// divide instruction, the spans written several pixels at a time and the
// packed triangle walk. Each must give the same result as the plain one for
// every input, so the inputs are seeded random values plus every awkward
// length and limit.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <utility>
#include <vector>

#if __has_include(<sys/mman.h>)
#include <sys/mman.h>
#include <unistd.h>
#define DEMO_HAVE_MMAP 1
#endif

#include "raster/fixed_point.h"
#include "raster/gouraud.h"
#include "raster/gouraud_packed.h"
#include "raster/gouraud_sse2.h"

namespace {

constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();

// Truncating division worked in 64 bits and wrapped to 32 (only min / -1 wraps).
std::int32_t ExpectedQuotient(std::int32_t numerator, std::int32_t divisor) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(std::int64_t{numerator} / divisor));
}

// Numerators at and around the limits of the reciprocal divisions, with both
// signs, the multiples of the divisor nearest the limit and their neighbours
// (the quotients a reciprocal that is slightly off would get wrong), and random ones.
std::vector<std::int32_t> NumeratorsFor(std::int32_t divisor, std::mt19937& random) {
    constexpr std::int32_t limit = 1 << 27;
    std::vector<std::int32_t> values{0, 1, -1, limit - 1, -(limit - 1), limit, -limit, limit + 1,
                                     -(limit + 1), kInt32Min, kInt32Min + 1, kInt32Max, kInt32Max - 1};
    const std::int32_t magnitude = divisor < 0 ? -divisor : divisor;
    const std::int32_t top = (limit - 1) / magnitude * magnitude;
    for (const std::int32_t multiple : {top, top - magnitude, magnitude, 2 * magnitude}) {
        for (const std::int32_t offset : {-1, 0, 1, magnitude - 1}) {
            const std::int32_t value = multiple + offset;
            if (value < limit) {
                values.push_back(value);
                values.push_back(-value);
            }
        }
    }
    for (int i = 0; i < 16; ++i) {
        values.push_back(static_cast<std::int32_t>(random()));
        values.push_back(static_cast<std::int32_t>(random() % (2u * limit - 1)) - (limit - 1));
    }
    return values;
}

}  // namespace

TEST(Divide, TruncatingDivisionMatchesPlainDivisionForEveryDivisorUpTo1100) {
    std::mt19937 random(11);
    for (std::int32_t magnitude = 1; magnitude <= 1100; ++magnitude) {
        for (const std::int32_t divisor : {magnitude, -magnitude}) {
            for (const std::int32_t numerator : NumeratorsFor(divisor, random)) {
                ASSERT_EQ(DivideTruncating(numerator, divisor), ExpectedQuotient(numerator, divisor))
                    << numerator << " / " << divisor;
                if (divisor > 0 && divisor < static_cast<std::int32_t>(exact_divide::kDivisorLimit)) {
                    const std::uint64_t reciprocal = exact_divide::kReciprocals[static_cast<std::size_t>(divisor)];
                    ASSERT_EQ(DivideByReciprocal(numerator, divisor, reciprocal), ExpectedQuotient(numerator, divisor))
                        << numerator << " / " << divisor;
                }
            }
        }
    }
    // The ordinary divisions beyond the table, the wrapping one included.
    EXPECT_EQ(DivideTruncating(kInt32Min, -1), kInt32Min);
    EXPECT_EQ(DivideTruncating(kInt32Max, kInt32Min), 0);
    EXPECT_EQ(DivideTruncating(kInt32Min, kInt32Min), 1);
    EXPECT_EQ(DivideTruncating(-7, 1 << 20), 0);
}

#if defined(__SSE2__)
TEST(Divide, LaneDivisionMatchesPlainDivisionBelowTwoToThe27) {
    std::mt19937 random(12);
    constexpr std::int32_t limit = gouraud_sse2::kNumeratorLimit;
    for (std::int32_t divisor = 1; divisor < gouraud_sse2::kDivisorLimit; ++divisor) {
        std::vector<std::int32_t> numerators;
        for (const std::int32_t n : NumeratorsFor(divisor, random)) {
            if (n > -limit && n < limit) numerators.push_back(n);
        }
        while (numerators.size() % 4 != 0) numerators.push_back(0);
        for (std::size_t i = 0; i < numerators.size(); i += 4) {
            alignas(16) std::int32_t quotients[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(quotients),
                            gouraud_sse2::DivideLanes(_mm_setr_epi32(numerators[i], numerators[i + 1],
                                                                     numerators[i + 2], numerators[i + 3]),
                                                      divisor));
            for (std::size_t lane = 0; lane < 4; ++lane) {
                ASSERT_EQ(quotients[lane], numerators[i + lane] / divisor)
                    << numerators[i + lane] << " / " << divisor << " in lane " << lane;
            }
        }
    }
    // A flat edge: division by 0 gives 0 in every lane.
    alignas(16) std::int32_t quotients[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(quotients),
                    gouraud_sse2::DivideLanes(_mm_setr_epi32(limit - 1, -(limit - 1), 5, 0), 0));
    for (const std::int32_t q : quotients) EXPECT_EQ(q, 0);
}
#endif

namespace {

constexpr PackedColor kGuard = 0xDEADBEEFu;

// A frame filled with seeded noise, with guard words on both sides: a fill must
// change exactly its own pixels and leave every other word as it was.
struct NoisyFrame {
    std::array<PackedColor, 64> before;
    FrameBuffer frame;
    std::array<PackedColor, 64> after;
};

std::unique_ptr<NoisyFrame> NewNoisyFrame(std::mt19937& random) {
    auto noisy = std::make_unique<NoisyFrame>();
    noisy->before.fill(kGuard);
    noisy->after.fill(kGuard);
    for (PackedColor& pixel : noisy->frame.pixels) pixel = static_cast<PackedColor>(random());
    return noisy;
}

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// The first difference between two frames, as "pixel (x, y): expected E, got A".
::testing::AssertionResult SameWords(const NoisyFrame& expected, const NoisyFrame& actual) {
    for (std::size_t i = 0; i < expected.before.size(); ++i) {
        if (actual.before[i] != kGuard || actual.after[i] != kGuard) {
            return ::testing::AssertionFailure() << "guard word " << i << " overwritten";
        }
    }
    for (std::size_t i = 0; i < expected.frame.pixels.size(); ++i) {
        if (expected.frame.pixels[i] != actual.frame.pixels[i]) {
            return ::testing::AssertionFailure()
                   << "pixel (" << i % kFrameWidth << ", " << i / kFrameWidth << "): expected "
                   << Hex(expected.frame.pixels[i]) << ", got " << Hex(actual.frame.pixels[i]);
        }
    }
    return ::testing::AssertionSuccess();
}

// The span formula written out once more: pixel k of an unclipped run of n
// pixels has each channel at c1 + k * ((c2 - c1) / n), in 32-bit arithmetic
// that wraps, the division truncated, composed with only blue masked.
void FormulaSpan(FrameBuffer& frame, std::int32_t x1, std::int32_t y, std::int32_t x2,
                 const std::array<Fixed16, 6>& c) {
    std::array<Fixed16, 6> ends = c;  // r1 r2 g1 g2 b1 b2
    if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(ends[0], ends[1]);
        std::swap(ends[2], ends[3]);
        std::swap(ends[4], ends[5]);
    }
    const std::int64_t n = std::int64_t{x2} - x1 + 1;
    const auto channel = [&](Fixed16 first, Fixed16 second, std::int64_t k) {
        const auto difference = static_cast<std::int32_t>(static_cast<std::uint32_t>(second) - static_cast<std::uint32_t>(first));
        const auto step = static_cast<std::int32_t>(difference / n);
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(first) +
                                         static_cast<std::uint32_t>(step) * static_cast<std::uint32_t>(k));
    };
    for (std::int64_t k = 0; k < n; ++k) {
        const Fixed16 r = channel(ends[0], ends[1], k);
        const Fixed16 g = channel(ends[2], ends[3], k);
        const Fixed16 b = channel(ends[4], ends[5], k);
        frame.pixels[static_cast<std::size_t>(y * kFrameWidth + x1 + k)] =
            (static_cast<std::uint32_t>(r) & 0xFFFF0000u) | (static_cast<std::uint32_t>(g >> 16) << 8) |
            (static_cast<std::uint32_t>(b >> 16) & 0xFFu);
    }
}

// Colour ends as the triangle fill hands them over (levels 0..255 with a
// fraction), or any 32-bit values at all.
std::array<Fixed16, 6> RandomEnds(std::mt19937& random, bool anyValue) {
    std::array<Fixed16, 6> ends{};
    for (Fixed16& end : ends) {
        end = anyValue ? static_cast<Fixed16>(random()) : static_cast<Fixed16>(random() % 0x01000000u);
    }
    return ends;
}

void FastSpan(FrameBuffer& frame, std::int32_t x1, std::int32_t y, std::int32_t x2, const std::array<Fixed16, 6>& c) {
    GouraudSpan(frame, x1, y, x2, c[0], c[1], c[2], c[3], c[4], c[5]);
}

}  // namespace

TEST(Span, EveryShortLengthMatchesThePlainFormula) {
    std::mt19937 random(21);
    auto expected = NewNoisyFrame(random);
    auto actual = std::make_unique<NoisyFrame>(*expected);
    std::vector<std::int32_t> lengths;
    for (std::int32_t n = 1; n <= 41; ++n) lengths.push_back(n);
    lengths.insert(lengths.end(), {63, 64, 65, 639, 640});
    for (const std::int32_t n : lengths) {
        for (int round = 0; round < 40; ++round) {
            // Every row including the last, every column the run fits at,
            // some runs ending at the very last pixel of the frame.
            const std::int32_t y = round < 4 ? kFrameHeight - 1 : static_cast<std::int32_t>(random() % kFrameHeight);
            const std::int32_t x =
                round < 2 ? kFrameWidth - n
                          : static_cast<std::int32_t>(random() % static_cast<std::uint32_t>(kFrameWidth - n + 1));
            const auto ends = RandomEnds(random, round % 4 == 3);
            const bool reversed = random() % 2 != 0;
            const std::int32_t x1 = reversed ? x + n - 1 : x;
            const std::int32_t x2 = reversed ? x : x + n - 1;
            FormulaSpan(expected->frame, x1, y, x2, ends);
            FastSpan(actual->frame, x1, y, x2, ends);
            ASSERT_TRUE(SameWords(*expected, *actual)) << "run " << x1 << ".." << x2 << " of row " << y;
        }
    }
}

TEST(Span, ClippedRunsMatchThePlainFill) {
    std::mt19937 random(22);
    auto expected = NewNoisyFrame(random);
    auto actual = std::make_unique<NoisyFrame>(*expected);
    const std::int32_t ends[] = {kInt32Min, -70000, -641, -5, -1, 0, 3, 637, 639, 640, 645, 5000, kInt32Max};
    for (int round = 0; round < 4000; ++round) {
        const std::int32_t x1 = random() % 2 ? ends[random() % std::size(ends)] : static_cast<std::int32_t>(random() % 800) - 80;
        const std::int32_t x2 = random() % 2 ? ends[random() % std::size(ends)] : static_cast<std::int32_t>(random() % 800) - 80;
        const auto y = static_cast<std::int32_t>(random() % 484) - 2;
        const auto c = RandomEnds(random, round % 3 == 0);
        GouraudSpanPlain(expected->frame, x1, y, x2, c[0], c[1], c[2], c[3], c[4], c[5]);
        FastSpan(actual->frame, x1, y, x2, c);
        ASSERT_TRUE(SameWords(*expected, *actual)) << "run " << x1 << ".." << x2 << " of row " << y;
    }
}

namespace {

struct Corners {
    std::int32_t x[3], y[3];
    PackedColor c[3];
};

void FillTriangle(FrameBuffer& frame, const Corners& t, bool plain) {
    (plain ? GouraudTrianglePlain : GouraudTriangle)(frame, t.x[0], t.y[0], t.x[1], t.y[1], t.x[2], t.y[2],
                                                     t.c[0], t.c[1], t.c[2]);
}

std::string Describe(const Corners& t) {
    char text[128];
    std::snprintf(text, sizeof text, "(%d, %d, 0x%08X) (%d, %d, 0x%08X) (%d, %d, 0x%08X)", t.x[0], t.y[0], t.c[0],
                  t.x[1], t.y[1], t.c[1], t.x[2], t.y[2], t.c[2]);
    return text;
}

// Mostly small triangles on the screen, as a mesh gives them, with shared rows
// and columns, slivers, the screen's edges and some colours with a top byte.
Corners RandomTriangle(std::mt19937& random) {
    Corners t{};
    const auto size = static_cast<std::int32_t>(1 + random() % (random() % 4 == 0 ? 640 : 40));
    const auto cx = static_cast<std::int32_t>(random() % kFrameWidth);
    const auto cy = static_cast<std::int32_t>(random() % kFrameHeight);
    for (int i = 0; i < 3; ++i) {
        t.x[i] = cx + static_cast<std::int32_t>(random() % static_cast<std::uint32_t>(2 * size + 1)) - size;
        t.y[i] = cy + static_cast<std::int32_t>(random() % static_cast<std::uint32_t>(2 * size + 1)) - size;
        t.c[i] = static_cast<PackedColor>(random()) & (random() % 8 == 0 ? 0xFFFFFFFFu : 0x00FFFFFFu);
    }
    if (random() % 4 == 0) t.y[random() % 3] = t.y[random() % 3];  // a flat top or bottom
    if (random() % 8 == 0) t.x[random() % 3] = t.x[random() % 3];
    return t;
}

}  // namespace

TEST(Triangle, PackedWalkMatchesThePlainFill) {
    std::mt19937 random(31);
    auto expected = NewNoisyFrame(random);
    auto actual = std::make_unique<NoisyFrame>(*expected);
    for (int round = 0; round < 20000; ++round) {
        const Corners t = RandomTriangle(random);
        FillTriangle(expected->frame, t, true);
        FillTriangle(actual->frame, t, false);
        if (round % 16 == 0 || round < 500) {
            ASSERT_TRUE(SameWords(*expected, *actual)) << "after triangle " << round << ": " << Describe(t);
        }
    }
    ASSERT_TRUE(SameWords(*expected, *actual));
}

namespace {

ScreenTriangle ToScreenTriangle(const Corners& t) {
    return {t.x[0], t.y[0], t.x[1], t.y[1], t.x[2], t.y[2], t.c[0], t.c[1], t.c[2]};
}

}  // namespace

#if defined(__SSE2__)
namespace {

// GouraudTriangles takes the widest walk this processor runs; each is held to
// the plain fill, the wider ones where the processor has them.
using ListWalk = void (*)(FrameBuffer&, const ScreenTriangle*, std::size_t);

std::vector<std::pair<const char*, ListWalk>> PackedWalks() {
    std::vector<std::pair<const char*, ListWalk>> walks{{"SSE2", FillTrianglesPackedSse2}};
    if (ProcessorHasAvx2()) walks.emplace_back("AVX2", FillTrianglesPackedAvx2);
    if (ProcessorHasAvx512Walk()) walks.emplace_back("AVX-512", FillTrianglesPackedAvx512);
    return walks;
}

}  // namespace

TEST(Triangle, EachPackedWalkMatchesThePlainFill) {
    for (const auto& [name, walk] : PackedWalks()) {
        std::mt19937 random(33);
        auto expected = NewNoisyFrame(random);
        auto actual = std::make_unique<NoisyFrame>(*expected);
        int filled = 0;
        for (int round = 0; round < 20000; ++round) {
            Corners t = RandomTriangle(random);
            for (PackedColor& c : t.c) c &= 0x00FFFFFFu;
            if (!FitsPackedTriangle(t.x[0], t.y[0], t.x[1], t.y[1], t.x[2], t.y[2], t.c[0], t.c[1], t.c[2])) continue;
            FillTriangle(expected->frame, t, true);
            const ScreenTriangle triangle = ToScreenTriangle(t);
            walk(actual->frame, &triangle, 1);
            ++filled;
            if (round % 16 == 0 || round < 500) {
                ASSERT_TRUE(SameWords(*expected, *actual)) << name << " walk, triangle " << Describe(t);
            }
        }
        ASSERT_TRUE(SameWords(*expected, *actual)) << name << " walk";
        EXPECT_GT(filled, 10000) << name << " walk";
    }
}
#endif

namespace {

// Lists of every length up to a few set-up batches and past them, so that
// lists end inside, at and just after a batch.
std::size_t RandomListLength(std::mt19937& random) { return random() % 50; }

}  // namespace

TEST(Triangle, ListsFillAsTheirTrianglesOneAtATime) {
    // Triangles off the screen or with a top byte in a colour sit among those
    // the packed walks take; the list must keep its order around them, since
    // later triangles paint over earlier ones.
    std::mt19937 random(34);
    auto expected = NewNoisyFrame(random);
    auto actual = std::make_unique<NoisyFrame>(*expected);
    int offScreen = 0;  // corners
    for (int list = 0; list < 400; ++list) {
        std::vector<ScreenTriangle> triangles;
        for (std::size_t k = RandomListLength(random); k > 0; --k) {
            const Corners t = RandomTriangle(random);
            FillTriangle(expected->frame, t, true);
            triangles.push_back(ToScreenTriangle(t));
            for (int i = 0; i < 3; ++i) offScreen += t.x[i] < 0 || t.x[i] >= kFrameWidth || t.y[i] < 0 || t.y[i] >= kFrameHeight;
        }
        GouraudTriangles(actual->frame, triangles.data(), triangles.size());
        ASSERT_TRUE(SameWords(*expected, *actual)) << "list " << list << " of " << triangles.size();
    }
    EXPECT_GT(offScreen, 1000);
}

#if defined(__SSE2__)
TEST(Triangle, EachPackedListWalkMatchesThePlainFill) {
    for (const auto& [name, walk] : PackedWalks()) {
        std::mt19937 random(35);
        auto expected = NewNoisyFrame(random);
        auto actual = std::make_unique<NoisyFrame>(*expected);
        for (int list = 0; list < 300; ++list) {
            std::vector<ScreenTriangle> triangles;
            for (std::size_t k = RandomListLength(random); k > 0;) {
                Corners t = RandomTriangle(random);
                for (PackedColor& c : t.c) c &= 0x00FFFFFFu;
                if (!FitsPackedTriangle(t.x[0], t.y[0], t.x[1], t.y[1], t.x[2], t.y[2], t.c[0], t.c[1], t.c[2])) continue;
                FillTriangle(expected->frame, t, true);
                triangles.push_back(ToScreenTriangle(t));
                --k;
            }
            walk(actual->frame, triangles.data(), triangles.size());
            ASSERT_TRUE(SameWords(*expected, *actual)) << name << " walk, list " << list << " of " << triangles.size();
        }
    }
}
#endif

TEST(Triangle, EveryCornerOrderOfSharedRowsMatchesThePlainFill) {
    // Two corners on one row: which becomes the middle corner shows in the
    // picture, and the packed sort of the corners must pick as the plain one does.
    std::mt19937 random(32);
    auto expected = NewNoisyFrame(random);
    auto actual = std::make_unique<NoisyFrame>(*expected);
    const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
    for (int round = 0; round < 500; ++round) {
        Corners base = RandomTriangle(random);
        base.y[1] = base.y[random() % 2 == 0 ? 0 : 2];
        for (const auto& o : orders) {
            Corners t{};
            for (int i = 0; i < 3; ++i) {
                t.x[i] = base.x[o[i]];
                t.y[i] = base.y[o[i]];
                t.c[i] = base.c[o[i]];
            }
            FillTriangle(expected->frame, t, true);
            FillTriangle(actual->frame, t, false);
            ASSERT_TRUE(SameWords(*expected, *actual)) << Describe(t);
        }
    }
}

#if defined(DEMO_HAVE_MMAP)
namespace {

// A frame whose last pixel is the last word before an inaccessible page, so
// that reading even one word past the frame ends the test with a fault.
class FrameBeforeAFence {
public:
    FrameBeforeAFence() {
        const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        frameBytes = (sizeof(FrameBuffer) + page - 1) / page * page;
        mappedBytes = frameBytes + page;
        mapped = mmap(nullptr, mappedBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) return;
        auto* fence = static_cast<std::uint8_t*>(mapped) + frameBytes;
        mprotect(fence, page, PROT_NONE);
        frame = new (fence - sizeof(FrameBuffer)) FrameBuffer;
        ClearFrameBuffer(*frame);
    }
    ~FrameBeforeAFence() {
        if (mapped != MAP_FAILED) munmap(mapped, mappedBytes);
    }
    FrameBeforeAFence(const FrameBeforeAFence&) = delete;
    FrameBeforeAFence& operator=(const FrameBeforeAFence&) = delete;

    FrameBuffer* frame = nullptr;

private:
    void* mapped = MAP_FAILED;
    std::size_t frameBytes = 0, mappedBytes = 0;
};

}  // namespace

TEST(Span, RunsAtTheEndOfTheFrameReadNothingPastIt) {
    static_assert(sizeof(FrameBuffer) % 64 == 0);
    FrameBeforeAFence fenced;
    ASSERT_NE(fenced.frame, nullptr);
    FrameBuffer& frame = *fenced.frame;
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(frame.pixels.data() + kFramePixelCount) % 4096, 0u);
    std::mt19937 random(41);
    auto expected = std::make_unique<FrameBuffer>();
    ClearFrameBuffer(*expected);
    for (std::int32_t n = 1; n <= 40; ++n) {
        for (const std::int32_t lastColumn : {kFrameWidth - 1, kFrameWidth - 2, kFrameWidth - 5, kFrameWidth - 8}) {
            const auto ends = RandomEnds(random, false);
            FormulaSpan(*expected, lastColumn - n + 1, kFrameHeight - 1, lastColumn, ends);
            FastSpan(frame, lastColumn - n + 1, kFrameHeight - 1, lastColumn, ends);
        }
    }
    // Triangles reaching the bottom right corner, and one row above it.
    for (int round = 0; round < 200; ++round) {
        Corners t{};
        for (int i = 0; i < 3; ++i) {
            t.x[i] = kFrameWidth - 1 - static_cast<std::int32_t>(random() % 20);
            t.y[i] = kFrameHeight - 1 - static_cast<std::int32_t>(random() % 20);
            t.c[i] = static_cast<PackedColor>(random()) & 0x00FFFFFFu;
        }
        t.y[round % 3] = kFrameHeight - 1 - round % 2;
        FillTriangle(*expected, t, true);
        FillTriangle(frame, t, false);
    }
    EXPECT_TRUE(expected->pixels == frame.pixels);
}
#endif
