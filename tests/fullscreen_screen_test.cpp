// The fullscreen DirectDraw back-end on the stand-in: its display mode and
// flipping chain, drawing only while active, and the cursor. What it shares
// with the windowed back-end is tested in directdraw_screen_test.cpp.
#include <gtest/gtest.h>

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
    for (const char* call : {
             "RegisterClassA(style=0x0 proc=set clsExtra=0 wndExtra=0 instance=null icon=null "
             "cursor=null brush=null menu=null class=\"Title\")",
             "CreateWindowExA(0x0, \"Title\", \"Title\", 0x80000000, 0, 0, 0, 0, null, null, null, null)",
             "ddraw.SetCooperativeLevel(window, 0x11)",
             "primary.GetAttachedSurface(caps=0x4)",
         }) {
        EXPECT_NE(IndexOf(call), -1) << call << "\n" << CallsAsText();
    }
}

TEST_F(FullscreenScreen, OpenTakesTheDeepestModeTheDisplayAccepts) {
    const struct {
        std::vector<int> refused;  // occurrences of SetDisplayMode that fail
        std::int32_t opened;
        const char* lastMode;
    } cases[] = {
        {{}, 1, "ddraw.SetDisplayMode(5, 3, 32)"},
        {{1}, 1, "ddraw.SetDisplayMode(5, 3, 24)"},
        {{1, 2}, 1, "ddraw.SetDisplayMode(5, 3, 16)"},
        {{1, 2, 3}, 0, "ddraw.SetDisplayMode(5, 3, 16)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lastMode);
        Restart();
        for (const int occurrence : c.refused) standin.FailCall("ddraw.SetDisplayMode", occurrence);
        EXPECT_EQ(ScreenOpen("Title", 5, 3), c.opened);
        EXPECT_EQ(CountOf("ddraw.SetDisplayMode"), c.refused.size() + (c.opened == 1 ? 1 : 0)) << CallsAsText();
        EXPECT_NE(IndexOf(c.lastMode), -1) << CallsAsText();
        if (c.opened == 0) {
            EXPECT_EQ(standin.calls.back(), c.lastMode);
        }
    }
}

// A lone primary has no back buffer to attach: the open fails right after.
TEST_F(FullscreenScreen, OpenFallsBackToOneBackBufferAndThenToALonePrimary) {
    const struct {
        std::vector<int> refused;  // occurrences of CreateSurface that fail
        std::int32_t opened;
        const char* lastSurface;
    } cases[] = {
        {{}, 1, "ddraw.CreateSurface(size=108 flags=0x21 backbuffers=2 caps=0x4218, null)"},
        {{1}, 1, "ddraw.CreateSurface(size=108 flags=0x21 backbuffers=1 caps=0x4218, null)"},
        {{1, 2}, 0, "ddraw.CreateSurface(size=108 flags=0x1 caps=0x4200, null)"},
        {{1, 2, 3}, 0, "ddraw.CreateSurface(size=108 flags=0x1 caps=0x4200, null)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.refused.size());
        Restart();
        for (const int occurrence : c.refused) standin.FailCall("ddraw.CreateSurface", occurrence);
        if (c.refused.size() == 2) standin.FailCall("primary.GetAttachedSurface", 1);
        EXPECT_EQ(ScreenOpen("Title", 5, 3), c.opened);
        EXPECT_EQ(CountOf("ddraw.CreateSurface"), c.refused.size() + (c.refused.size() < 3 ? 1 : 0))
            << CallsAsText();
        EXPECT_NE(IndexOf(c.lastSurface), -1) << CallsAsText();
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
        EXPECT_EQ(standin.calls.back(), change.draws ? "Sleep(0)" : "Sleep(1)");
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
    EXPECT_TRUE(0 <= IndexOf("primary.Restore()") && IndexOf("primary.Restore()") < IndexOf("attached.Lock"))
        << CallsAsText();
    EXPECT_EQ(IndexOf("attached.Restore"), -1);
    EXPECT_EQ(standin.calls.end()[-2], "primary.Flip(null, 0x28)") << CallsAsText();
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
