// The fullscreen back-end on SDL's display-less driver. That driver offers one
// 1024 x 768 mode and never gives a window the input focus, which is enough to
// see the desktop-sized fallback and the pause while in the background.
#include <cstdlib>
#include <cstring>

#include "tests/sdl/sdl_test_support.h"

namespace {

using SdlFullscreen = SdlBackEnd;

class SdlFullscreenDeathTest : public SdlBackEnd {
protected:
    void SetUp() override {
        SdlBackEnd::SetUp();
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
};

TEST_F(SdlFullscreen, WithoutAModeOfTheFrameSizeTheWindowCoversTheDesktop) {
    ASSERT_EQ(ScreenOpen(kWindowTitle, kTestWidth, kTestHeight), 1);
    SDL_Window* window = TheWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SDL_GetWindowFlags(window) & SDL_WINDOW_FULLSCREEN_DESKTOP,
              Uint32{SDL_WINDOW_FULLSCREEN_DESKTOP});
    SDL_Rect desktop;
    ASSERT_EQ(SDL_GetDisplayBounds(0, &desktop), 0);
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->w, desktop.w);
    EXPECT_EQ(surface->h, desktop.h);
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
    EXPECT_FALSE(SDL_IsScreenSaverEnabled());
}

TEST_F(SdlFullscreen, NothingIsDrawnWhileTheWindowLacksTheFocus) {
    LockLog::locks = LockLog::unlocks = 0;
    SetSurfaceAccess({LockLog::Succeed, LockLog::Unlock});
    ASSERT_EQ(ScreenOpen(kWindowTitle, kTestWidth, kTestHeight), 1);
    ASSERT_EQ(SDL_GetWindowFlags(TheWindow()) & SDL_WINDOW_INPUT_FOCUS, 0u);
    SDL_Surface* surface = SDL_GetWindowSurface(TheWindow());
    ASSERT_NE(surface, nullptr);
    SDL_FillRect(surface, nullptr, 0x00123456);

    const auto frame = RandomFrame(21);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ScreenFlip(frame.data()), 1);
    EXPECT_EQ(LockLog::locks, 0);
    const auto* pixels = static_cast<const std::uint8_t*>(surface->pixels);
    const Uint32 untouched = SDL_MapRGB(surface->format, 0x12, 0x34, 0x56);
    for (int y = 0; y < surface->h; y += 37) {
        Uint32 value;
        std::memcpy(&value, pixels + y * surface->pitch + (y % surface->w) * 4, sizeof value);
        ASSERT_EQ(value, untouched) << "row " << y;
    }
}

TEST_F(SdlFullscreenDeathTest, EscEndsItEvenInTheBackground) {
    const auto frame = RandomFrame(22);
    EXPECT_EXIT(
        {
            if (ScreenOpen(kWindowTitle, kTestWidth, kTestHeight) != 1) std::exit(3);
            std::atexit(ReportWhetherClosed);
            PushKeyDown(SDLK_ESCAPE);
            ScreenFlip(frame.data());
            std::exit(4);
        },
        ::testing::ExitedWithCode(0), "display closed");
}

}  // namespace
