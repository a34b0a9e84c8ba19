#include "display/sdl/frame_copy.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "tests/test_support.h"

namespace {

constexpr std::uint8_t kGuard = 0xA5;

// A 32-bit surface of guard bytes, with a row's worth of guard before and after
// it and 4 bytes of gap at the end of each row.
struct GuardedSurface {
    std::vector<std::uint8_t> bytes;
    SurfaceBytes surface;
};

GuardedSurface MakeSurface(std::int32_t width, std::int32_t height) {
    const std::int32_t pitch = width * 4 + 4;
    GuardedSurface guarded;
    guarded.bytes.assign(static_cast<std::size_t>(pitch * (height + 2)), kGuard);
    guarded.surface = {guarded.bytes.data() + pitch, width, height, pitch, 4};
    return guarded;
}

TEST(FrameCopy, FrameIsCentredOnTheSurfaceAndNothingElseIsWritten) {
    const struct {
        std::int32_t frameWidth, frameHeight, surfaceWidth, surfaceHeight;
        PlacedSpan columns, rows;  // the expected placement
    } cases[] = {
        {4, 2, 11, 7, {0, 3, 4}, {0, 2, 2}},  // (11 - 4) / 2 and (7 - 2) / 2 in, rounded down
        {7, 6, 3, 2, {2, 0, 3}, {2, 0, 2}},   // a smaller surface shows the frame's middle
        {4, 6, 8, 2, {0, 2, 4}, {2, 0, 2}},   // wider but lower
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.frameWidth << " x " << c.frameHeight << " on " << c.surfaceWidth
                                          << " x " << c.surfaceHeight);
        const auto frame = RandomPixels(static_cast<std::size_t>(c.frameWidth * c.frameHeight), 2, 0x00FFFFFFu);
        GuardedSurface guarded = MakeSurface(c.surfaceWidth, c.surfaceHeight);
        std::vector<std::uint8_t> expected = guarded.bytes;
        for (std::int32_t y = 0; y < c.rows.length; ++y) {
            for (std::int32_t x = 0; x < c.columns.length; ++x) {
                const std::uint32_t pixel =
                    frame[static_cast<std::size_t>((c.rows.source + y) * c.frameWidth + c.columns.source + x)];
                const auto at = static_cast<std::size_t>(guarded.surface.pitch * (c.rows.target + y + 1) +
                                                         (c.columns.target + x) * 4);
                std::memcpy(&expected[at], &pixel, 4);
            }
        }
        CopyFrameToSurface(frame.data(), c.frameWidth, c.frameHeight, guarded.surface, ConvertRgb32);
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(guarded.bytes[i], expected[i]) << "byte " << i << ", pitch " << guarded.surface.pitch;
        }
    }
}

TEST(FrameCopy, EmptyFrameOrSurfaceWritesNothing) {
    const auto frame = RandomPixels(4 * 4, 4, 0x00FFFFFFu);
    for (const auto& [frameWidth, frameHeight, surfaceWidth, surfaceHeight] :
         {std::array{4, 0, 4, 4}, std::array{0, 4, 4, 4}, std::array{4, 4, 0, 4},
          std::array{4, 4, 4, 0}, std::array{-4, 4, 4, 4}}) {
        GuardedSurface guarded = MakeSurface(surfaceWidth, surfaceHeight);
        CopyFrameToSurface(frame.data(), frameWidth, frameHeight, guarded.surface, ConvertRgb32);
        for (const std::uint8_t byte : guarded.bytes) ASSERT_EQ(byte, kGuard);
    }
}

}  // namespace
