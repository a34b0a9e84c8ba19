#include "display/sdl/frame_copy.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "display/pixel_formulas.h"

namespace {

constexpr std::uint8_t kGuard = 0xA5;

std::vector<std::uint32_t> RandomFrame(std::int32_t width, std::int32_t height, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<std::uint32_t> frame(static_cast<std::size_t>(width * height));
    for (auto& pixel : frame) pixel = random() & 0x00FFFFFFu;
    return frame;
}

// A surface of guard bytes, with a row's worth of guard before and after it.
struct GuardedSurface {
    std::vector<std::uint8_t> bytes;
    SurfaceBytes surface;
};

GuardedSurface MakeSurface(std::int32_t width, std::int32_t height, std::int32_t pitch,
                           std::int32_t bytesPerPixel) {
    GuardedSurface guarded;
    guarded.bytes.assign(static_cast<std::size_t>(pitch * (height + 2)), kGuard);
    guarded.surface = {guarded.bytes.data() + pitch, width, height, pitch, bytesPerPixel};
    return guarded;
}

std::uint16_t Read16(const std::uint8_t* at) {
    std::uint16_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

std::uint32_t Read32(const std::uint8_t* at) {
    std::uint32_t value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// Byte offset of surface pixel (x, y) from the start of the guarded buffer.
std::size_t Offset(const GuardedSurface& guarded, std::int32_t x, std::int32_t y) {
    const SurfaceBytes& s = guarded.surface;
    return static_cast<std::size_t>(s.pitch * (y + 1) + x * s.bytesPerPixel);
}

TEST(FrameCopy, RowsFollowThePitchAndTheBytesBetweenThemStayUntouched) {
    constexpr std::int32_t kWidth = 5, kHeight = 3, kPitch = 16;  // 10 bytes of pixels, 6 of gap
    const auto frame = RandomFrame(kWidth, kHeight, 1);
    GuardedSurface guarded = MakeSurface(kWidth, kHeight, kPitch, 2);
    CopyFrameToSurface(frame.data(), kWidth, kHeight, guarded.surface, ConvertRgb565);

    for (std::int32_t y = 0; y < kHeight; ++y) {
        for (std::int32_t x = 0; x < kWidth; ++x) {
            const std::uint32_t source = frame[static_cast<std::size_t>(y * kWidth + x)];
            EXPECT_EQ(Read16(&guarded.bytes[Offset(guarded, x, y)]), pixel::Rgb565(source))
                << "pixel (" << x << ", " << y << ") of 0x" << std::hex << source;
        }
    }
    for (std::size_t i = 0; i < guarded.bytes.size(); ++i) {
        const auto inRow = static_cast<std::int32_t>(i % kPitch);
        const auto row = static_cast<std::int32_t>(i / kPitch) - 1;
        const bool written = row >= 0 && row < kHeight && inRow < kWidth * 2;
        if (!written) {
            EXPECT_EQ(guarded.bytes[i], kGuard) << "byte " << i << " was written";
        }
    }
}

TEST(FrameCopy, FrameSitsInTheMiddleOfALargerSurface) {
    constexpr std::int32_t kFrameWidth = 4, kFrameHeight = 2;
    const auto frame = RandomFrame(kFrameWidth, kFrameHeight, 2);
    GuardedSurface guarded = MakeSurface(11, 7, 11 * 4, 4);
    CopyFrameToSurface(frame.data(), kFrameWidth, kFrameHeight, guarded.surface, ConvertRgb32);

    // (11 - 4) / 2 = 3 columns and (7 - 2) / 2 = 2 rows in, rounded down.
    for (std::int32_t y = 0; y < 7; ++y) {
        for (std::int32_t x = 0; x < 11; ++x) {
            const std::uint32_t actual = Read32(&guarded.bytes[Offset(guarded, x, y)]);
            const bool inFrame = x >= 3 && x < 7 && y >= 2 && y < 4;
            const std::uint32_t expected =
                inFrame ? frame[static_cast<std::size_t>((y - 2) * kFrameWidth + (x - 3))]
                        : 0xA5A5A5A5u;
            EXPECT_EQ(actual, expected) << "surface pixel (" << x << ", " << y << ")";
        }
    }
}

TEST(FrameCopy, SurfaceSmallerThanTheFrameShowsItsMiddle) {
    constexpr std::int32_t kFrameWidth = 7, kFrameHeight = 6;
    const auto frame = RandomFrame(kFrameWidth, kFrameHeight, 3);
    GuardedSurface guarded = MakeSurface(3, 2, 3 * 3, 3);
    CopyFrameToSurface(frame.data(), kFrameWidth, kFrameHeight, guarded.surface, ConvertRgb24);

    for (std::int32_t y = 0; y < 2; ++y) {
        for (std::int32_t x = 0; x < 3; ++x) {
            const std::uint32_t source = frame[static_cast<std::size_t>((y + 2) * kFrameWidth + x + 2)];
            const pixel::Bytes3 expected = pixel::Rgb24(source);
            const std::uint8_t* actual = &guarded.bytes[Offset(guarded, x, y)];
            EXPECT_EQ(actual[0], expected.first) << "surface pixel (" << x << ", " << y << ")";
            EXPECT_EQ(actual[1], expected.second);
            EXPECT_EQ(actual[2], expected.third);
        }
    }
    for (std::int32_t i = 0; i < 9; ++i) {
        EXPECT_EQ(guarded.bytes[static_cast<std::size_t>(i)], kGuard);
        EXPECT_EQ(guarded.bytes[guarded.bytes.size() - 1 - static_cast<std::size_t>(i)], kGuard);
    }
}

TEST(FrameCopy, EmptyFrameOrSurfaceWritesNothing) {
    const auto frame = RandomFrame(4, 4, 4);
    for (const auto& [frameWidth, frameHeight, surfaceWidth, surfaceHeight] :
         {std::array{4, 0, 4, 4}, std::array{0, 4, 4, 4}, std::array{4, 4, 0, 4},
          std::array{4, 4, 4, 0}, std::array{-4, 4, 4, 4}}) {
        GuardedSurface guarded = MakeSurface(surfaceWidth, surfaceHeight, 16, 4);
        CopyFrameToSurface(frame.data(), frameWidth, frameHeight, guarded.surface, ConvertRgb32);
        for (const std::uint8_t byte : guarded.bytes) ASSERT_EQ(byte, kGuard);
    }
}

}  // namespace
