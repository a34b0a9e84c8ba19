// The windowed back-end on SDL's display-less driver: what the program sees of
// ScreenOpen, ScreenFlip and the quit requests.
#include <cstdlib>
#include <cstring>

#include "tests/sdl/sdl_test_support.h"

namespace {

using SdlWindowed = SdlBackEnd;

constexpr int kStillRunning = 7;  // a child's exit code after all went on
class SdlWindowedDeathTest : public SdlBackEnd {
protected:
    void SetUp() override {
        SdlBackEnd::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");  // the child starts afresh, not forked
    }
};

TEST_F(SdlWindowed, OpensACentredFixedSizeWindowAndSwitchesTheScreenSaverOff) {
    ASSERT_EQ(ScreenOpen(kWindowTitle, kTestWidth, kTestHeight), 1);
    SDL_Window* window = TheWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_STREQ(SDL_GetWindowTitle(window), kWindowTitle);
    int w, h, x, y;
    SDL_GetWindowSize(window, &w, &h);
    EXPECT_EQ(w, kTestWidth);
    EXPECT_EQ(h, kTestHeight);
    SDL_Rect desktop;
    ASSERT_EQ(SDL_GetDisplayBounds(0, &desktop), 0);
    SDL_GetWindowPosition(window, &x, &y);
    EXPECT_EQ(x, desktop.x + (desktop.w - kTestWidth) / 2);
    EXPECT_EQ(y, desktop.y + (desktop.h - kTestHeight) / 2);
    EXPECT_EQ(SDL_GetWindowFlags(window) & (SDL_WINDOW_RESIZABLE | SDL_WINDOW_FULLSCREEN), 0u);
    EXPECT_FALSE(SDL_IsScreenSaverEnabled());
}

TEST_F(SdlWindowed, CloseSwitchesTheScreenSaverBackOnAndStopsVideo) {
    ASSERT_EQ(ScreenOpen(kWindowTitle, kTestWidth, kTestHeight), 1);
    SDL_InitSubSystem(SDL_INIT_VIDEO);  // hold video up to look at it after ScreenClose
    ScreenClose();
    EXPECT_TRUE(SDL_IsScreenSaverEnabled());
    EXPECT_EQ(TheWindow(), nullptr);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}

TEST_F(SdlWindowed, ADriverThatShowsNothingIsNoDisplay) {
    AllowHeadlessDisplay(false);
    EXPECT_EQ(ScreenOpen(kWindowTitle, kTestWidth, kTestHeight), 0);
    EXPECT_TRUE(SDL_IsScreenSaverEnabled()) << "a failed open must leave the screen saver alone";
}

TEST_F(SdlWindowed, FlipPutsTheFrameIntoTheWindowSurface) {
    ASSERT_EQ(ScreenOpen(kWindowTitle, kTestWidth, kTestHeight), 1);
    const auto frame = RandomFrame(11);
    ASSERT_EQ(ScreenFlip(frame.data()), 1);

    SDL_Surface* surface = SDL_GetWindowSurface(TheWindow());
    ASSERT_NE(surface, nullptr);
    SDL_PixelFormat* format = surface->format;
    for (int y = 0; y < kTestHeight; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(surface->pixels) + y * surface->pitch;
        for (int x = 0; x < kTestWidth; ++x) {
            Uint32 value = 0;
            std::memcpy(&value, row + x * format->BytesPerPixel, format->BytesPerPixel);
            Uint8 r, g, b;
            SDL_GetRGB(value, format, &r, &g, &b);
            const std::uint32_t shown = Uint32{r} << 16 | Uint32{g} << 8 | b;
            const std::uint32_t expected = frame[static_cast<std::size_t>(y * kTestWidth + x)];
            ASSERT_EQ(shown, expected) << "pixel (" << x << ", " << y << ") in "
                                       << SDL_GetPixelFormatName(format->format);
        }
    }
}

TEST_F(SdlWindowed, AFailedLockSkipsThatFrameAndTheNextOneIsDrawn) {
    LockLog::locks = LockLog::unlocks = 0;
    SetSurfaceAccess({LockLog::FailFirst, LockLog::Unlock});
    ASSERT_EQ(ScreenOpen(kWindowTitle, kTestWidth, kTestHeight), 1);
    SDL_Surface* surface = SDL_GetWindowSurface(TheWindow());
    ASSERT_NE(surface, nullptr);
    SDL_FillRect(surface, nullptr, 0x00123456);
    const Uint32 before = SDL_MapRGB(surface->format, 0x12, 0x34, 0x56);
    const auto* topLeft = static_cast<const Uint32*>(surface->pixels);

    auto frame = RandomFrame(12);
    frame[0] = 0x00ABCDEF;
    EXPECT_EQ(ScreenFlip(frame.data()), 0);
    EXPECT_EQ(LockLog::unlocks, 0);
    EXPECT_EQ(*topLeft, before) << "a frame that could not be locked was drawn";

    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    EXPECT_EQ(LockLog::locks, 2);
    EXPECT_EQ(LockLog::unlocks, 1);
    EXPECT_EQ(*topLeft, SDL_MapRGB(surface->format, 0xAB, 0xCD, 0xEF));
}

TEST_F(SdlWindowed, ALockThatFailsForManyFramesRecoversAndDrawsAgain) {
    LockLog::locks = LockLog::unlocks = 0;
    SetSurfaceAccess({LockLog::FailMany, LockLog::Unlock});
    ASSERT_EQ(ScreenOpen(kWindowTitle, kTestWidth, kTestHeight), 1);
    auto frame = RandomFrame(13);
    frame[0] = 0x00FEDCBA;
    for (int attempt = 0; attempt < LockLog::kLongFailure; ++attempt) {
        ASSERT_EQ(ScreenFlip(frame.data()), 0) << "frame " << attempt;
    }
    EXPECT_EQ(LockLog::unlocks, 0);
    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    EXPECT_EQ(LockLog::unlocks, 1);
    SDL_Surface* surface = SDL_GetWindowSurface(TheWindow());
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(*static_cast<const Uint32*>(surface->pixels), SDL_MapRGB(surface->format, 0xFE, 0xDC, 0xBA));
}

TEST_F(SdlWindowed, AFrameOfNoRowsIsStillLockedAndPresented) {
    LockLog::locks = LockLog::unlocks = 0;
    SetSurfaceAccess({LockLog::Succeed, LockLog::Unlock});
    ASSERT_EQ(ScreenOpen(kWindowTitle, kTestWidth, 0), 1);
    const auto frame = RandomFrame(13);
    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    EXPECT_EQ(LockLog::locks, 1);
    EXPECT_EQ(LockLog::unlocks, 1);
}

// In a child process, so that a key that wrongly quits shows as exit code 0
// instead of ending the test run early.
TEST_F(SdlWindowedDeathTest, KeysOtherThanEscLeaveItRunning) {
    const auto frame = RandomFrame(14);
    // The last one shares Esc's low eight bits but is another key.
    const SDL_Keycode keys[] = {SDLK_a, SDLK_q, SDLK_RETURN, SDLK_SPACE, SDLK_F4,
                                SDL_SCANCODE_TO_KEYCODE(SDLK_ESCAPE)};
    EXPECT_EXIT(
        {
            if (ScreenOpen(kWindowTitle, kTestWidth, kTestHeight) != 1) std::exit(3);
            for (const SDL_Keycode key : keys) {
                PushKeyDown(key);
                if (ScreenFlip(frame.data()) != 1) std::exit(4);
            }
            std::exit(kStillRunning);
        },
        ::testing::ExitedWithCode(kStillRunning), "");
}

TEST_F(SdlWindowedDeathTest, EscClosesTheDisplayAndEndsWithExitCodeZero) {
    const auto frame = RandomFrame(15);
    EXPECT_EXIT(
        {
            if (ScreenOpen(kWindowTitle, kTestWidth, kTestHeight) != 1) std::exit(3);
            std::atexit(ReportWhetherClosed);
            ScreenFlip(frame.data());
            PushKeyDown(SDLK_ESCAPE);
            ScreenFlip(frame.data());
            std::exit(4);  // not reached: the pump ends the process
        },
        ::testing::ExitedWithCode(0), "display closed");
}

TEST_F(SdlWindowedDeathTest, ACloseRequestClosesTheDisplayAndEndsWithExitCodeZero) {
    const auto frame = RandomFrame(16);
    EXPECT_EXIT(
        {
            if (ScreenOpen(kWindowTitle, kTestWidth, kTestHeight) != 1) std::exit(3);
            std::atexit(ReportWhetherClosed);
            PushCloseRequest(TheWindow());
            ScreenFlip(frame.data());
            std::exit(4);
        },
        ::testing::ExitedWithCode(0), "display closed");
}

}  // namespace
