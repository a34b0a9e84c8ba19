// The fullscreen DirectDraw back-end on the stand-in: its display mode and
// flipping chain, drawing only while active, and the cursor. What it shares
// with the windowed back-end is tested in directdraw_screen_test.cpp.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "display/screen.h"
#include "win32_standin/screen_test_support.h"

const BackEnd kBackEnd = {
    "attached",
    "primary.Flip(",
    [] { SendToWindow(WM_ACTIVATEAPP, 1); },
    [] {
        if (RegisteredWindowProc() != nullptr) SendToWindow(WM_ACTIVATEAPP, 0);
        ScreenClose();
    },
    {{"LoadLibraryA", 1},
     {"GetProcAddress", 1},
     {"DirectDrawCreate", 1},
     {"ddraw.SetCooperativeLevel", 1},
     {"primary.GetAttachedSurface", 1},
     {"primary.GetPixelFormat", 1}},
};

namespace {

using FullscreenScreen = ScreenTest;

const std::string kPeek = "PeekMessageA(window, 0, 0, 1)";

TEST_F(FullscreenScreen, OpenMakesAnExclusivePopupWindowWithoutACursor) {
    ASSERT_EQ(ScreenOpen("Title", 5, 3), 1);
    ExpectLogged({
        "RegisterClassA(style=0x0 proc=set clsExtra=0 wndExtra=0 instance=null icon=null cursor=null "
        "brush=null menu=null class=\"Title\")",
        "CreateWindowExA(0x0, \"Title\", \"Title\", 0x80000000, 0, 0, 0, 0, null, null, null, null)",
        "ddraw.SetCooperativeLevel(window, 0x11)",
        "primary.GetAttachedSurface(caps=0x4)",
    });
}

// The deepest mode the display takes, then the longest chain it makes. A lone
// primary has no back buffer to attach: the open fails right after it.
TEST_F(FullscreenScreen, OpenTakesTheFirstModeAndTheFirstSurfaceTheDisplayAccepts) {
    const std::string mode = "ddraw.SetDisplayMode(5, 3, ";
    const std::string chain = "ddraw.CreateSurface(size=108 flags=0x21 backbuffers=";
    const std::string lonePrimary = "ddraw.CreateSurface(size=108 flags=0x1 caps=0x4200, null)";
    const struct {
        std::string call;
        int refused;                 // its first occurrences that fail
        std::string taken;           // the call that succeeds, or the last one tried
        std::string failsAt;         // the open's last call when it fails
    } cases[] = {
        {"ddraw.SetDisplayMode", 0, mode + "32)", ""},
        {"ddraw.SetDisplayMode", 1, mode + "24)", ""},
        {"ddraw.SetDisplayMode", 2, mode + "16)", ""},
        {"ddraw.SetDisplayMode", 3, mode + "16)", mode + "16)"},
        {"ddraw.CreateSurface", 0, chain + "2 caps=0x4218, null)", ""},
        {"ddraw.CreateSurface", 1, chain + "1 caps=0x4218, null)", ""},
        {"ddraw.CreateSurface", 2, lonePrimary, "primary.GetAttachedSurface(caps=0x4)"},
        {"ddraw.CreateSurface", 3, lonePrimary, lonePrimary},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.call + " refused " + std::to_string(c.refused) + " times");
        Restart();
        for (int occurrence = 1; occurrence <= c.refused; ++occurrence) standin.FailCall(c.call, occurrence);
        EXPECT_EQ(ScreenOpen("Title", 5, 3), c.failsAt.empty() ? 1 : 0);
        EXPECT_EQ(CountOf(c.call), static_cast<std::size_t>(std::min(c.refused + 1, 3))) << CallsAsText();
        EXPECT_NE(IndexOf(c.taken), -1) << CallsAsText();
        if (!c.failsAt.empty()) {
            EXPECT_EQ(LastCall(), c.failsAt);
        }
    }
}

TEST_F(FullscreenScreen, InactiveFlipPumpsSleepsAndReadsNoPixel) {
    ASSERT_EQ(ScreenOpen("Title", 5, 3), 1);
    standin.calls.clear();
    EXPECT_EQ(ScreenFlip(nullptr), 1);  // any read of the frame would crash
    EXPECT_EQ(standin.calls, std::vector<std::string>({kPeek, "Sleep(1)"})) << CallsAsText();
}

TEST_F(FullscreenScreen, DrawingStopsWhileAnotherApplicationIsActive) {
    OpenToDraw(5, 3);
    const std::array<std::uint32_t, 15> frame{};
    const struct {
        WPARAM active;
        bool draws;
    } switches[] = {{0, false}, {0x10000, true}, {0, false}, {1, true}};  // any non-zero is active
    for (const auto& change : switches) {
        standin.calls.clear();
        Post(WM_ACTIVATEAPP, change.active);
        EXPECT_EQ(ScreenFlip(frame.data()), 1);
        EXPECT_EQ(IndexOf("primary.Flip(null, 0x28)") != -1, change.draws) << CallsAsText();
        EXPECT_EQ(LastCall(), change.draws ? "Sleep(0)" : "Sleep(1)");
    }
}

// The window system activates the window while it is being shown, before the
// first flip: that first flip already draws.
TEST_F(FullscreenScreen, ActivationSentWhileOpeningLetsTheFirstFlipDraw) {
    standin.sentDuringCall.emplace("ShowWindow", MessageFor(StandinWindow(), WM_ACTIVATEAPP, 1));
    ASSERT_EQ(ScreenOpen("Title", 5, 3), 1);
    const std::array<std::uint32_t, 15> frame{};
    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    EXPECT_NE(IndexOf("primary.Flip(null, 0x28)"), -1) << CallsAsText();
}

TEST_F(FullscreenScreen, FlipRestoresThePrimaryAloneAndIgnoresTheResultsOfRestoreUnlockAndFlip) {
    OpenToDraw(5, 3);
    standin.FailCall("primary.Restore");
    standin.FailCall("attached.Unlock");
    standin.FailCall("primary.Flip");
    const std::array<std::uint32_t, 15> frame{};
    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    EXPECT_TRUE(Before("primary.Restore()", "attached.Lock")) << CallsAsText();
    EXPECT_EQ(IndexOf("attached.Restore"), -1);
    EXPECT_EQ(LastCall(1), "primary.Flip(null, 0x28)") << CallsAsText();
}

TEST_F(FullscreenScreen, WindowProcedureHandlesActivationAndTheCursorItself) {
    OpenToDraw(5, 3);
    EXPECT_EQ(SendToWindow(WM_ACTIVATEAPP, 1), 0);
    EXPECT_EQ(SendToWindow(WM_ACTIVATEAPP, 0), 0);
    EXPECT_EQ(SendToWindow(WM_SETCURSOR, 0, 0x02000001), 0);
    EXPECT_EQ(standin.calls, std::vector<std::string>{"SetCursor(null)"}) << CallsAsText();
}

// WM_PAINT included: a repaint draws nothing of the frame.
TEST_F(FullscreenScreen, EveryOtherMessageGoesOnlyToTheDefaultProcedure) {
    OpenToDraw(5, 3);
    for (UINT message = 0; message < 0x400; ++message) {
        if (message == WM_CLOSE || message == WM_ACTIVATEAPP || message == WM_SETCURSOR ||
            message == WM_KEYDOWN) {
            continue;
        }
        standin.calls.clear();
        EXPECT_EQ(SendToWindow(message, 7, 9), standin.defaultProcResult) << "message " << message;
        char expected[64];
        std::snprintf(expected, sizeof expected, "DefWindowProcA(window, 0x%x, 0x7, 0x9)", message);
        EXPECT_EQ(standin.calls, std::vector<std::string>{expected}) << CallsAsText();
    }
}

// The back buffer is part of the primary's chain: it is never released alone.
TEST_F(FullscreenScreen, CloseLeavesTheBackBufferToItsChain) {
    OpenToDraw(5, 3);
    ScreenClose();
    EXPECT_NE(IndexOf("primary.Release()"), -1) << CallsAsText();
    EXPECT_EQ(IndexOf("attached.Release()"), -1) << CallsAsText();
}

}  // namespace
