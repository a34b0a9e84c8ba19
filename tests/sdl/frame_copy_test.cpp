#include "display/sdl/frame_copy.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "tests/test_support.h"

namespace {

// A 32-bit surface in guards, with 4 bytes of gap at the end of each row.
struct GuardedSurface {
    explicit GuardedSurface(std::int32_t width, std::int32_t height)
        : bytes(GuardedBytes(static_cast<std::size_t>((width * 4 + 4) * height))),
          surface{bytes.data() + kGuardMargin, width, height, width * 4 + 4, 4} {}
    std::vector<std::uint8_t> bytes;
    SurfaceBytes surface;
};

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
        GuardedSurface guarded(c.surfaceWidth, c.surfaceHeight);
        std::vector<std::uint8_t> expected = guarded.bytes;
        for (std::int32_t y = 0; y < c.rows.length; ++y) {
            for (std::int32_t x = 0; x < c.columns.length; ++x) {
                const std::uint32_t pixel =
                    frame[static_cast<std::size_t>((c.rows.source + y) * c.frameWidth + c.columns.source + x)];
                const auto at = static_cast<std::size_t>(guarded.surface.pitch * (c.rows.target + y) +
                                                         (c.columns.target + x) * 4);
                std::memcpy(&expected[kGuardMargin + at], &pixel, 4);
            }
        }
        CopyFrameToSurface(frame.data(), c.frameWidth, c.frameHeight, guarded.surface, ConvertRgb32);
        ASSERT_EQ(FirstDifference(expected, guarded.bytes), "") << "pitch " << guarded.surface.pitch;
    }
}

TEST(FrameCopy, EmptyFrameOrSurfaceWritesNothing) {
    const auto frame = RandomPixels(4 * 4, 4, 0x00FFFFFFu);
    for (const auto& [frameWidth, frameHeight, surfaceWidth, surfaceHeight] :
         {std::array{4, 0, 4, 4}, std::array{0, 4, 4, 4}, std::array{4, 4, 0, 4},
          std::array{4, 4, 4, 0}, std::array{-4, 4, 4, 4}}) {
        GuardedSurface guarded(surfaceWidth, surfaceHeight);
        const std::vector<std::uint8_t> untouched = guarded.bytes;
        CopyFrameToSurface(frame.data(), frameWidth, frameHeight, guarded.surface, ConvertRgb32);
        ASSERT_EQ(FirstDifference(untouched, guarded.bytes), "");
    }
}

}  // namespace
