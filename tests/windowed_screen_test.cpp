// The windowed DirectDraw back-end, built against the recording stand-in:
// which platform calls it makes, in which order, with which arguments, and
// what it does with each result.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "display/screen.h"
#include "win32_standin/screen_test_support.h"
#include "win32_standin/win32_standin.h"

namespace {

// A successful open of a 5 x 3 frame on a 1024 x 768 screen, with the
// stand-in's frame insets (4, 23, 4, 4): outer size 13 x 30.
const Calls kOpenCalls = {
    "LoadLibraryA(\"ddraw.dll\")",
    "GetProcAddress(ddraw.dll, \"DirectDrawCreate\")",
    "DirectDrawCreate(null, out, null)",
    "LoadCursorA(null, 32512)",
    "RegisterClassA(style=0x3 proc=set clsExtra=0 wndExtra=0 instance=null icon=null cursor=arrow "
    "brush=null menu=null class=\"Title\")",
    "AdjustWindowRect((0,0,5,3), 0xcf0000, 0)",
    "GetSystemMetrics(0)",
    "GetSystemMetrics(1)",
    "CreateWindowExA(0x0, \"Title\", \"Title\", 0xca0000, 505, 369, 13, 30, null, null, null, null)",
    "ShowWindow(window, 1)",
    "ddraw.SetCooperativeLevel(window, 0x8)",
    "ddraw.CreateSurface(size=108 flags=0x1 caps=0x4200, null)",
    "ddraw.CreateSurface(size=108 flags=0x7 width=5 height=3 caps=0x40, null)",
    "ddraw.CreateClipper(0x0, null)",
    "clipper.SetHWnd(0x0, window)",
    "primary.SetClipper(clipper)",
    "primary.GetPixelFormat(size=32)",
    "SelectRowConverter(32, 0xff0000, 0xff00, 0xff)",
    "SystemParametersInfoA(17, 0, null, 0)",
};

// The client area (0, 0, 642, 482) at (191, 152) on the screen.
const std::string kPresentBlit = "primary.Blt((191,152,833,634), offscreen, (0,0,5,3), 0x1000000, null)";

const Calls kCloseCalls = {
    "offscreen.Release()",
    "primary.Release()",
    "clipper.Release()",
    "ddraw.RestoreDisplayMode()",
    "ddraw.SetCooperativeLevel(window, 0x8)",
    "ddraw.Release()",
    "DestroyWindow(window)",
    "FreeLibrary(ddraw.dll)",
    "SystemParametersInfoA(17, 1, null, 0)",
};

class WindowedScreen : public ::testing::Test {
protected:
    void SetUp() override { ResetStandin(); }
    // Leaves the back-end's module state as before the next test's open.
    void TearDown() override {
        ScreenClose();
        ResetStandin();
    }

    void OpenFrame(std::int32_t width, std::int32_t height) {
        ASSERT_EQ(ScreenOpen("Title", width, height), 1) << CallsAsText();
        standin.calls.clear();
    }

};

TEST_F(WindowedScreen, OpenMakesEveryCallInOrderAndTurnsTheScreenSaverOffLast) {
    EXPECT_EQ(ScreenOpen("Title", 5, 3), 1);
    EXPECT_EQ(standin.calls, kOpenCalls) << CallsAsText();
    EXPECT_EQ(standin.registeredClassName, "Title");
}

TEST_F(WindowedScreen, OpenTakesNonNegativeResultsAsSuccessAndIgnoresClassAndWindowResults) {
    standin.successResult = 1;  // S_FALSE
    standin.registerClassFails = true;
    standin.createWindowFails = true;
    EXPECT_EQ(ScreenOpen("Title", 5, 3), 1) << CallsAsText();
    EXPECT_EQ(standin.calls.back(), "SystemParametersInfoA(17, 0, null, 0)");
}

// Each step that can fail, failing in turn: the open stops right there and
// undoes nothing (no release, no destroyed window, screen saver untouched).
TEST_F(WindowedScreen, EachFailingStepEndsTheOpenAtOnceUndoingNothing) {
    struct Step {
        std::string call;
        int occurrence;
        std::size_t lastCall;  // index into kOpenCalls
    };
    const std::array<Step, 11> steps = {{
        {"LoadLibraryA", 1, 0},
        {"GetProcAddress", 1, 1},
        {"DirectDrawCreate", 1, 2},
        {"ddraw.SetCooperativeLevel", 1, 10},
        {"ddraw.CreateSurface", 1, 11},
        {"ddraw.CreateSurface", 2, 12},
        {"ddraw.CreateClipper", 1, 13},
        {"clipper.SetHWnd", 1, 14},
        {"primary.SetClipper", 1, 15},
        {"primary.GetPixelFormat", 1, 16},
        {"SelectRowConverter", 1, 17},
    }};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.call + " #" + std::to_string(step.occurrence));
        ResetStandin();
        standin.FailCall(step.call, step.occurrence);
        EXPECT_EQ(ScreenOpen("Title", 5, 3), 0);
        const Calls expected(kOpenCalls.begin(), kOpenCalls.begin() + static_cast<long>(step.lastCall) + 1);
        EXPECT_EQ(standin.calls, expected) << CallsAsText();
    }
}

TEST_F(WindowedScreen, OpenFailsOnAPixelFormatThatIsNotRgb) {
    standin.pixelFormat.dwFlags = 0x20;  // palette-indexed
    EXPECT_EQ(ScreenOpen("Title", 5, 3), 0);
    EXPECT_EQ(standin.calls.back(), "primary.GetPixelFormat(size=32)") << CallsAsText();
}

TEST_F(WindowedScreen, WindowIsCentredByItsOuterSizeRoundingTheHalfDown) {
    struct Case {
        int screenWidth, screenHeight;
        int x, y;
    };
    // Outer size of a 640 x 480 frame: 648 x 507.
    const std::array<Case, 4> cases = {{
        {1024, 768, 188, 130},  // 261 / 2 rounds down
        {1025, 768, 188, 130},  // 377 / 2 rounds down
        {640, 480, -4, -14},    // smaller screen: -27 / 2 rounds toward minus infinity
        {641, 481, -4, -13},    // -7 / 2 and -26 / 2
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.screenWidth) + " x " + std::to_string(c.screenHeight));
        ResetStandin();
        standin.screenWidth = c.screenWidth;
        standin.screenHeight = c.screenHeight;
        ASSERT_EQ(ScreenOpen("Title", 640, 480), 1);
        EXPECT_EQ(standin.createdWindow.x, c.x);
        EXPECT_EQ(standin.createdWindow.y, c.y);
        EXPECT_EQ(standin.createdWindow.width, 648);
        EXPECT_EQ(standin.createdWindow.height, 507);
    }
}

TEST_F(WindowedScreen, FlipPumpsRestoresConvertsEachRowAtThePitchAndBlitsToTheClientArea) {
    OpenFrame(5, 3);
    standin.lockPitch = 32;  // wider than a converted row of 5 x 4 bytes
    const std::array<std::uint32_t, 15> frame{};
    standin.frameSource = frame.data();
    Post(WM_MOUSEMOVE, 0, 0x00050006);

    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    const Calls expected = {
        "PeekMessageA(window, 0, 0, 1)",
        "TranslateMessage(0x200)",
        "DispatchMessageA(0x200)",
        "DefWindowProcA(window, 0x200, 0x0, 0x50006)",
        "PeekMessageA(window, 0, 0, 1)",
        "primary.Restore()",
        "offscreen.Restore()",
        "offscreen.Lock(null, size=108, 0x1, null)",
        "RowConverter(frame+0, surface+0, 5)",
        "RowConverter(frame+20, surface+32, 5)",
        "RowConverter(frame+40, surface+64, 5)",
        "offscreen.Unlock(surface+0)",
        "ClientToScreen(window, (0,0))",
        "GetClientRect(window)",
        kPresentBlit,
        "Sleep(0)",
    };
    EXPECT_EQ(standin.calls, expected) << CallsAsText();
}

TEST_F(WindowedScreen, FailedLockShowsNothingAndTheNextFrameIsDrawn) {
    OpenFrame(5, 3);
    const std::array<std::uint32_t, 15> frame{};
    standin.FailCall("offscreen.Lock", 1);

    EXPECT_EQ(ScreenFlip(frame.data()), 0);
    EXPECT_EQ(standin.calls.back(), "offscreen.Lock(null, size=108, 0x1, null)") << CallsAsText();
    EXPECT_EQ(standin.rowConverterCalls, 0);

    standin.calls.clear();
    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    EXPECT_EQ(standin.rowConverterCalls, 3);
    EXPECT_EQ(standin.calls.end()[-2], kPresentBlit) << CallsAsText();
    EXPECT_EQ(standin.calls.back(), "Sleep(0)");
}

TEST_F(WindowedScreen, LockFailingForManyFramesRecoversAndDrawsAgain) {
    OpenFrame(5, 3);
    const std::array<std::uint32_t, 15> frame{};
    standin.FailCall("offscreen.Lock");  // every lock, until the test says otherwise
    for (int attempt = 0; attempt < 200; ++attempt) {
        ASSERT_EQ(ScreenFlip(frame.data()), 0) << "frame " << attempt;
    }
    EXPECT_EQ(standin.rowConverterCalls, 0);
    standin.failures.erase("offscreen.Lock");
    standin.calls.clear();
    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    EXPECT_EQ(standin.rowConverterCalls, 3);
    EXPECT_EQ(standin.calls.end()[-2], kPresentBlit) << CallsAsText();
}

TEST_F(WindowedScreen, FlipOfAnEmptyFrameLocksAndPresentsWithoutConverting) {
    OpenFrame(5, 0);
    EXPECT_EQ(ScreenFlip(nullptr), 1);
    EXPECT_EQ(standin.rowConverterCalls, 0);
    EXPECT_EQ(standin.calls.back(), "Sleep(0)") << CallsAsText();
}

TEST_F(WindowedScreen, PaintBlitsTheLastFrameThenPassesTheMessageOn) {
    OpenFrame(5, 3);
    EXPECT_EQ(SendToWindow(WM_PAINT, 7, 9), standin.defaultProcResult);
    const Calls expected = {
        "ClientToScreen(window, (0,0))",
        "GetClientRect(window)",
        kPresentBlit,
        "DefWindowProcA(window, 0xf, 0x7, 0x9)",
    };
    EXPECT_EQ(standin.calls, expected) << CallsAsText();
}

TEST_F(WindowedScreen, PaintBeforeThePrimarySurfaceExistsOnlyPassesTheMessageOn) {
    standin.FailCall("ddraw.CreateSurface", 1);
    ASSERT_EQ(ScreenOpen("Title", 5, 3), 0);
    standin.calls.clear();
    SendToWindow(WM_PAINT, 0);
    EXPECT_EQ(standin.calls, Calls{"DefWindowProcA(window, 0xf, 0x0, 0x0)"});
}

TEST_F(WindowedScreen, EscapeAndCloseRequestCloseTheScreenAndEndTheProcessWithZero) {
    for (const QuitMessage& quit : kQuitMessages) {
        SCOPED_TRACE(quit.name);
        ResetStandin();
        OpenFrame(5, 3);
        EXPECT_EQ(ExitCodeOf([&] { SendToWindow(quit.message, quit.wParam); }), 0);
        EXPECT_EQ(standin.calls, Concat(kCloseCalls, {"ExitProcess(0)"})) << CallsAsText();
    }
}

TEST_F(WindowedScreen, OtherKeysAreSwallowedWithoutTheDefaultProcedure) {
    OpenFrame(5, 3);
    for (const WPARAM key : kOtherKeys) {
        EXPECT_EQ(SendToWindow(WM_KEYDOWN, key), 0) << "key " << key;
    }
    EXPECT_TRUE(standin.calls.empty()) << CallsAsText();
}

TEST_F(WindowedScreen, OtherMessagesGoToTheDefaultProcedure) {
    OpenFrame(5, 3);
    EXPECT_EQ(SendToWindow(WM_SYSCOMMAND, 0xF060, 3), standin.defaultProcResult);
    EXPECT_EQ(standin.calls, Calls{"DefWindowProcA(window, 0x112, 0xf060, 0x3)"});
}

TEST_F(WindowedScreen, EscapeDuringTheFlipEndsTheProcessBeforeTheFrameIsDrawn) {
    OpenFrame(5, 3);
    Post(WM_KEYDOWN, 27);
    const std::array<std::uint32_t, 15> frame{};
    EXPECT_EQ(ExitCodeOf([&] { ScreenFlip(frame.data()); }), 0);
    const Calls pump = {"PeekMessageA(window, 0, 0, 1)", "TranslateMessage(0x100)", "DispatchMessageA(0x100)"};
    EXPECT_EQ(standin.calls, Concat(Concat(pump, kCloseCalls), {"ExitProcess(0)"})) << CallsAsText();
}

TEST_F(WindowedScreen, FlipTakesOnlyTheDisplayWindowsMessages) {
    OpenFrame(5, 3);
    standin.pendingMessages.push_back(MessageFor(OtherWindow(), WM_CLOSE, 0));
    const std::array<std::uint32_t, 15> frame{};
    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    EXPECT_EQ(standin.pendingMessages.size(), 1u);
}

TEST_F(WindowedScreen, CloseReleasesEachObjectOnceAndSwitchesTheScreenSaverOnLast) {
    OpenFrame(5, 3);
    ScreenClose();
    EXPECT_EQ(standin.calls, kCloseCalls) << CallsAsText();

    // Everything released is marked absent: a second close releases nothing.
    standin.calls.clear();
    ScreenClose();
    const Calls again = {"DestroyWindow(window)", "SystemParametersInfoA(17, 1, null, 0)"};
    EXPECT_EQ(standin.calls, again) << CallsAsText();
}

TEST_F(WindowedScreen, CloseAfterAFailedOpenReleasesOnlyWhatExists) {
    standin.FailCall("ddraw.CreateClipper", 1);
    ASSERT_EQ(ScreenOpen("Title", 5, 3), 0);
    standin.calls.clear();
    ScreenClose();
    const Calls expected = {
        "offscreen.Release()",
        "primary.Release()",
        "ddraw.RestoreDisplayMode()",
        "ddraw.SetCooperativeLevel(window, 0x8)",
        "ddraw.Release()",
        "DestroyWindow(window)",
        "FreeLibrary(ddraw.dll)",
        "SystemParametersInfoA(17, 1, null, 0)",
    };
    EXPECT_EQ(standin.calls, expected) << CallsAsText();
}

}  // namespace
