// The windowed DirectDraw back-end on the stand-in: its window, surfaces and
// clipper, and the blit into the client area. What it shares with the
// fullscreen back-end is tested in directdraw_screen_test.cpp.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "display/screen.h"
#include "win32_standin/screen_test_support.h"

const BackEnd kBackEnd = {
    "offscreen",
    "primary.Blt(",
    [] {},
    [] { ScreenClose(); },
    {{"LoadLibraryA", 1},
     {"GetProcAddress", 1},
     {"DirectDrawCreate", 1},
     {"ddraw.SetCooperativeLevel", 1},
     {"ddraw.CreateSurface", 1},
     {"ddraw.CreateSurface", 2},
     {"ddraw.CreateClipper", 1},
     {"clipper.SetHWnd", 1},
     {"primary.SetClipper", 1},
     {"primary.GetPixelFormat", 1}},
};

namespace {

using WindowedScreen = ScreenTest;

// The client area (0, 0, 642, 482) at (191, 152) on the screen, and the whole
// 5 x 3 frame.
const std::string kPresentBlit = "primary.Blt((191,152,833,634), offscreen, (0,0,5,3), 0x1000000, null)";

TEST_F(WindowedScreen, OpenMakesAShownWindowAndSurfacesOfTheFramesSizeClippedToIt) {
    ASSERT_EQ(ScreenOpen("Title", 5, 3), 1);
    ExpectLogged({
        "RegisterClassA(style=0x3 proc=set clsExtra=0 wndExtra=0 instance=null icon=null cursor=arrow "
        "brush=null menu=null class=\"Title\")",
        "ShowWindow(window, 1)",
        "ddraw.SetCooperativeLevel(window, 0x8)",
        "ddraw.CreateSurface(size=108 flags=0x1 caps=0x4200, null)",
        "ddraw.CreateSurface(size=108 flags=0x7 width=5 height=3 caps=0x40, null)",
        "clipper.SetHWnd(0x0, window)",
        "primary.SetClipper(clipper)",
    });
}

TEST_F(WindowedScreen, WindowIsCentredByItsOuterSizeRoundingTheHalfDown) {
    const struct {
        int screenWidth, screenHeight;
        int x, y;
    } cases[] = {
        // The outer size of a 640 x 480 frame with the stand-in's borders: 648 x 507.
        {1024, 768, 188, 130},  // 261 / 2 rounds down
        {1025, 768, 188, 130},  // 377 / 2 rounds down
        {640, 480, -4, -14},    // smaller screen: -27 / 2 rounds toward minus infinity
        {641, 481, -4, -13},    // -7 / 2 and -26 / 2
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.screenWidth) + " x " + std::to_string(c.screenHeight));
        Restart();
        standin.screenWidth = c.screenWidth;
        standin.screenHeight = c.screenHeight;
        ASSERT_EQ(ScreenOpen("Title", 640, 480), 1);
        EXPECT_EQ(standin.createdWindow.style, 0x00CA0000u);
        EXPECT_EQ(standin.createdWindow.x, c.x);
        EXPECT_EQ(standin.createdWindow.y, c.y);
        EXPECT_EQ(standin.createdWindow.width, 648);
        EXPECT_EQ(standin.createdWindow.height, 507);
    }
}

TEST_F(WindowedScreen, FlipRestoresBothSurfacesAndBlitsTheFrameToTheClientArea) {
    OpenToDraw(5, 3);
    const std::array<std::uint32_t, 15> frame{};
    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    EXPECT_TRUE(Before("primary.Restore()", "offscreen.Lock")) << CallsAsText();
    EXPECT_TRUE(Before("offscreen.Restore()", "offscreen.Lock")) << CallsAsText();
    EXPECT_EQ(LastCall(1), kPresentBlit) << CallsAsText();
}

TEST_F(WindowedScreen, PaintBlitsTheLastFrameThenPassesTheMessageOn) {
    OpenToDraw(5, 3);
    EXPECT_EQ(SendToWindow(WM_PAINT, 7, 9), standin.defaultProcResult);
    EXPECT_EQ(LastCall(1), kPresentBlit) << CallsAsText();
    EXPECT_EQ(LastCall(), "DefWindowProcA(window, 0xf, 0x7, 0x9)");
}

TEST_F(WindowedScreen, PaintBeforeThePrimarySurfaceExistsOnlyPassesTheMessageOn) {
    standin.FailCall("ddraw.CreateSurface", 1);
    ASSERT_EQ(ScreenOpen("Title", 5, 3), 0);
    standin.calls.clear();
    SendToWindow(WM_PAINT, 0);
    EXPECT_EQ(standin.calls, std::vector<std::string>{"DefWindowProcA(window, 0xf, 0x0, 0x0)"});
}

TEST_F(WindowedScreen, OtherMessagesGoToTheDefaultProcedure) {
    OpenToDraw(5, 3);
    EXPECT_EQ(SendToWindow(WM_SYSCOMMAND, 0xF060, 3), standin.defaultProcResult);
    EXPECT_EQ(standin.calls, std::vector<std::string>{"DefWindowProcA(window, 0x112, 0xf060, 0x3)"});
}

TEST_F(WindowedScreen, CloseReleasesTheBackBufferAndTheClipperBeforeTheDirectDrawObject) {
    OpenToDraw(5, 3);
    ScreenClose();
    EXPECT_TRUE(Before("offscreen.Release()", "ddraw.Release()")) << CallsAsText();
    EXPECT_TRUE(Before("clipper.Release()", "ddraw.Release()")) << CallsAsText();
}

}  // namespace
