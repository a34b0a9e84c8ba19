// The fullscreen DirectDraw back-end, built against the recording stand-in:
// which platform calls it makes, in which order, with which arguments, and
// what it does with each result.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "display/screen.h"
#include "win32_standin/screen_test_support.h"
#include "win32_standin/win32_standin.h"

namespace {

// A successful open of a 5 x 3 frame on a display that takes every mode.
const Calls kOpenCalls = {
    "LoadLibraryA(\"ddraw.dll\")",
    "GetProcAddress(ddraw.dll, \"DirectDrawCreate\")",
    "DirectDrawCreate(null, out, null)",
    "RegisterClassA(style=0x0 proc=set clsExtra=0 wndExtra=0 instance=null icon=null cursor=null "
    "brush=null menu=null class=\"Title\")",
    "CreateWindowExA(0x0, \"Title\", \"Title\", 0x80000000, 0, 0, 0, 0, null, null, null, null)",
    "ShowWindow(window, 1)",
    "ddraw.SetCooperativeLevel(window, 0x11)",
    "ddraw.SetDisplayMode(5, 3, 32)",
    "ddraw.CreateSurface(size=108 flags=0x21 backbuffers=2 caps=0x4218, null)",
    "primary.GetAttachedSurface(caps=0x4)",
    "primary.GetPixelFormat(size=32)",
    "SelectRowConverter(32, 0xff0000, 0xff00, 0xff)",
    "SystemParametersInfoA(17, 0, null, 0)",
};
constexpr std::size_t kSetDisplayModeCall = 7;
constexpr std::size_t kCreateSurfaceCall = 8;

const std::string kTwoBackBuffers = "ddraw.CreateSurface(size=108 flags=0x21 backbuffers=2 caps=0x4218, null)";
const std::string kOneBackBuffer = "ddraw.CreateSurface(size=108 flags=0x21 backbuffers=1 caps=0x4218, null)";
const std::string kLonePrimary = "ddraw.CreateSurface(size=108 flags=0x1 caps=0x4200, null)";

// The back buffer is part of the primary's chain: it is never released alone.
const Calls kCloseCalls = {
    "primary.Release()",
    "ddraw.RestoreDisplayMode()",
    "ddraw.SetCooperativeLevel(window, 0x8)",
    "ddraw.Release()",
    "DestroyWindow(window)",
    "FreeLibrary(ddraw.dll)",
    "SystemParametersInfoA(17, 1, null, 0)",
};

// One active frame of 5 x 3 pixels with the stand-in's pitch of 32 bytes.
const Calls kDrawCalls = {
    "primary.Restore()",
    "attached.Lock(null, size=108, 0x1, null)",
    "RowConverter(frame+0, surface+0, 5)",
    "RowConverter(frame+20, surface+32, 5)",
    "RowConverter(frame+40, surface+64, 5)",
    "attached.Unlock(surface+0)",
    "primary.Flip(null, 0x28)",
    "Sleep(0)",
};

const std::string kPeek = "PeekMessageA(window, 0, 0, 1)";

// The open calls with `replaced` (an index into kOpenCalls) replaced by `with`.
Calls OpenCallsWith(std::size_t replaced, const Calls& with) {
    Calls calls(kOpenCalls.begin(), kOpenCalls.begin() + static_cast<long>(replaced));
    calls = Concat(calls, with);
    calls.insert(calls.end(), kOpenCalls.begin() + static_cast<long>(replaced) + 1, kOpenCalls.end());
    return calls;
}

Calls FirstOpenCalls(std::size_t count) {
    return Calls(kOpenCalls.begin(), kOpenCalls.begin() + static_cast<long>(count));
}

class FullscreenScreen : public ::testing::Test {
protected:
    void SetUp() override { ResetStandin(); }
    // Leaves the back-end's module state as before the next test's open: the
    // application inactive, everything released.
    void TearDown() override {
        Reset();
        ResetStandin();
    }

    static void Reset() {
        if (RegisteredWindowProc() != nullptr) SendToWindow(WM_ACTIVATEAPP, 0);
        ScreenClose();
        ResetStandin();
    }

    void OpenFrame(std::int32_t width, std::int32_t height) {
        ASSERT_EQ(ScreenOpen("Title", width, height), 1) << CallsAsText();
        standin.lockPitch = 32;  // wider than a converted row of 5 x 4 bytes
        standin.frameSource = frame.data();
        standin.calls.clear();
    }

    void OpenActiveFrame() {
        OpenFrame(5, 3);
        ASSERT_EQ(SendToWindow(WM_ACTIVATEAPP, 1), 0);
        standin.calls.clear();
    }


    std::array<std::uint32_t, 15> frame{};
};

TEST_F(FullscreenScreen, OpenMakesEveryCallInOrderAndTurnsTheScreenSaverOffLast) {
    EXPECT_EQ(ScreenOpen("Title", 5, 3), 1);
    EXPECT_EQ(standin.calls, kOpenCalls) << CallsAsText();
    EXPECT_EQ(standin.registeredClassName, "Title");
}

TEST_F(FullscreenScreen, OpenTakesNonNegativeResultsAsSuccessAndIgnoresClassAndWindowResults) {
    standin.successResult = 1;  // S_FALSE
    standin.registerClassFails = true;
    standin.createWindowFails = true;
    EXPECT_EQ(ScreenOpen("Title", 5, 3), 1) << CallsAsText();
    EXPECT_EQ(standin.calls.back(), "SystemParametersInfoA(17, 0, null, 0)");
}

TEST_F(FullscreenScreen, OpenFallsBackTo24AndThen16BitsPerPixel) {
    struct Case {
        const char* name;
        std::vector<int> failingModes;  // occurrences of SetDisplayMode that fail
        Calls modeCalls;
    };
    const std::array<Case, 2> cases = {{
        {"32 refused", {1}, {"ddraw.SetDisplayMode(5, 3, 32)", "ddraw.SetDisplayMode(5, 3, 24)"}},
        {"32 and 24 refused",
         {1, 2},
         {"ddraw.SetDisplayMode(5, 3, 32)", "ddraw.SetDisplayMode(5, 3, 24)",
          "ddraw.SetDisplayMode(5, 3, 16)"}},
    }};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        for (const int occurrence : c.failingModes) standin.FailCall("ddraw.SetDisplayMode", occurrence);
        EXPECT_EQ(ScreenOpen("Title", 5, 3), 1);
        EXPECT_EQ(standin.calls, OpenCallsWith(kSetDisplayModeCall, c.modeCalls)) << CallsAsText();
    }
}

TEST_F(FullscreenScreen, OpenFailsWhenNoModeIsTakenLeavingEverythingAsItIs) {
    standin.FailCall("ddraw.SetDisplayMode");
    EXPECT_EQ(ScreenOpen("Title", 5, 3), 0);
    const Calls expected = Concat(FirstOpenCalls(kSetDisplayModeCall),
                                  {"ddraw.SetDisplayMode(5, 3, 32)", "ddraw.SetDisplayMode(5, 3, 24)",
                                   "ddraw.SetDisplayMode(5, 3, 16)"});
    EXPECT_EQ(standin.calls, expected) << CallsAsText();
}

TEST_F(FullscreenScreen, OpenFallsBackToOneBackBufferAndThenToALonePrimary) {
    standin.FailCall("ddraw.CreateSurface", 1);
    EXPECT_EQ(ScreenOpen("Title", 5, 3), 1);
    EXPECT_EQ(standin.calls, OpenCallsWith(kCreateSurfaceCall, {kTwoBackBuffers, kOneBackBuffer}))
        << CallsAsText();

    // A lone primary has no back buffer to attach: the open fails right after.
    Reset();
    standin.FailCall("ddraw.CreateSurface", 1);
    standin.FailCall("ddraw.CreateSurface", 2);
    standin.FailCall("primary.GetAttachedSurface");
    EXPECT_EQ(ScreenOpen("Title", 5, 3), 0);
    const Calls expected = Concat(FirstOpenCalls(kCreateSurfaceCall),
                                  {kTwoBackBuffers, kOneBackBuffer, kLonePrimary,
                                   "primary.GetAttachedSurface(caps=0x4)"});
    EXPECT_EQ(standin.calls, expected) << CallsAsText();

    Reset();
    standin.FailCall("ddraw.CreateSurface");
    EXPECT_EQ(ScreenOpen("Title", 5, 3), 0);
    EXPECT_EQ(standin.calls, Concat(FirstOpenCalls(kCreateSurfaceCall),
                                    {kTwoBackBuffers, kOneBackBuffer, kLonePrimary}))
        << CallsAsText();
}

// Each other step that can fail, failing in turn: the open stops right there
// and undoes nothing (no release, no window destroyed, the display mode stays
// set, the screen saver untouched).
TEST_F(FullscreenScreen, EachFailingStepEndsTheOpenAtOnceUndoingNothing) {
    struct Step {
        std::string call;
        std::size_t lastCall;  // index into kOpenCalls
    };
    const std::array<Step, 7> steps = {{
        {"LoadLibraryA", 0},
        {"GetProcAddress", 1},
        {"DirectDrawCreate", 2},
        {"ddraw.SetCooperativeLevel", 6},
        {"primary.GetAttachedSurface", 9},
        {"primary.GetPixelFormat", 10},
        {"SelectRowConverter", 11},
    }};
    for (const Step& step : steps) {
        SCOPED_TRACE(step.call);
        Reset();
        standin.FailCall(step.call, 1);
        EXPECT_EQ(ScreenOpen("Title", 5, 3), 0);
        EXPECT_EQ(standin.calls, FirstOpenCalls(step.lastCall + 1)) << CallsAsText();
    }
}

TEST_F(FullscreenScreen, ConverterIsChosenFromThePrimarysPixelFormat) {
    standin.pixelFormat = {32, DDPF_RGB, 0, 16, 0xF800, 0x07E0, 0x001F, 0};
    ASSERT_EQ(ScreenOpen("Title", 5, 3), 1);
    EXPECT_EQ(standin.calls.end()[-2], "SelectRowConverter(16, 0xf800, 0x7e0, 0x1f)") << CallsAsText();

    Reset();
    standin.pixelFormat.dwFlags = 0x20;  // palette-indexed
    EXPECT_EQ(ScreenOpen("Title", 5, 3), 0);
    EXPECT_EQ(standin.calls.back(), "primary.GetPixelFormat(size=32)") << CallsAsText();
}

TEST_F(FullscreenScreen, InactiveFlipPumpsSleepsAndReadsNoPixel) {
    OpenFrame(5, 3);
    Post(WM_MOUSEMOVE, 0);
    // Null pixels: any read of the frame would crash the test.
    EXPECT_EQ(ScreenFlip(nullptr), 1);
    const Calls expected = {
        kPeek, "TranslateMessage(0x200)", "DispatchMessageA(0x200)",
        "DefWindowProcA(window, 0x200, 0x0, 0x0)", kPeek, "Sleep(1)",
    };
    EXPECT_EQ(standin.calls, expected) << CallsAsText();
    EXPECT_EQ(standin.rowConverterCalls, 0);
}

TEST_F(FullscreenScreen, ActiveFlipRestoresThePrimaryConvertsEachRowAtThePitchAndFlips) {
    OpenFrame(5, 3);
    Post(WM_ACTIVATEAPP, 1);
    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    const Calls pump = {kPeek, "TranslateMessage(0x1c)", "DispatchMessageA(0x1c)", kPeek};
    EXPECT_EQ(standin.calls, Concat(pump, kDrawCalls)) << CallsAsText();
}

TEST_F(FullscreenScreen, LosingActivationStopsDrawingUntilItComesBack) {
    OpenActiveFrame();
    Post(WM_ACTIVATEAPP, 0);
    EXPECT_EQ(ScreenFlip(nullptr), 1);
    const Calls inactive = {kPeek, "TranslateMessage(0x1c)", "DispatchMessageA(0x1c)", kPeek, "Sleep(1)"};
    EXPECT_EQ(standin.calls, inactive) << CallsAsText();

    standin.calls.clear();
    EXPECT_EQ(ScreenFlip(nullptr), 1);
    EXPECT_EQ(standin.calls, Calls({kPeek, "Sleep(1)"})) << CallsAsText();

    // Any non-zero wParam counts as active.
    standin.calls.clear();
    Post(WM_ACTIVATEAPP, 0x10000);
    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    EXPECT_EQ(Calls(standin.calls.begin() + 4, standin.calls.end()), kDrawCalls) << CallsAsText();
}

// The window system activates the window while it is being shown, before the
// first flip: that first flip already draws.
TEST_F(FullscreenScreen, ActivationSentWhileOpeningLetsTheFirstFlipDraw) {
    standin.sentDuringCall.emplace("ShowWindow", MessageFor(StandinWindow(), WM_ACTIVATEAPP, 1));
    OpenFrame(5, 3);
    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    EXPECT_EQ(standin.calls, Concat({kPeek}, kDrawCalls)) << CallsAsText();
}

TEST_F(FullscreenScreen, FailedLockShowsNothingAndTheNextFrameIsDrawn) {
    OpenActiveFrame();
    standin.FailCall("attached.Lock", 1);
    EXPECT_EQ(ScreenFlip(frame.data()), 0);
    EXPECT_EQ(standin.calls, Calls({kPeek, "primary.Restore()", "attached.Lock(null, size=108, 0x1, null)"}))
        << CallsAsText();

    standin.calls.clear();
    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    EXPECT_EQ(standin.calls, Concat({kPeek}, kDrawCalls)) << CallsAsText();
}

TEST_F(FullscreenScreen, FlipIgnoresTheResultsOfRestoreUnlockAndFlip) {
    OpenActiveFrame();
    standin.FailCall("primary.Restore");
    standin.FailCall("attached.Unlock");
    standin.FailCall("primary.Flip");
    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    EXPECT_EQ(standin.calls, Concat({kPeek}, kDrawCalls)) << CallsAsText();
}

TEST_F(FullscreenScreen, FlipOfAnEmptyFrameLocksAndFlipsWithoutConverting) {
    OpenFrame(5, 0);
    SendToWindow(WM_ACTIVATEAPP, 1);
    EXPECT_EQ(ScreenFlip(nullptr), 1);
    EXPECT_EQ(standin.rowConverterCalls, 0);
    EXPECT_EQ(standin.calls.end()[-2], "primary.Flip(null, 0x28)") << CallsAsText();
}

TEST_F(FullscreenScreen, WindowProcedureHandlesActivationAndTheCursorItself) {
    OpenFrame(5, 3);
    EXPECT_EQ(SendToWindow(WM_ACTIVATEAPP, 1), 0);
    EXPECT_EQ(SendToWindow(WM_ACTIVATEAPP, 0), 0);
    EXPECT_EQ(SendToWindow(WM_SETCURSOR, 0, 0x02000001), 0);
    EXPECT_EQ(standin.calls, Calls{"SetCursor(null)"}) << CallsAsText();
}

// WM_PAINT included: a repaint draws nothing of the frame.
TEST_F(FullscreenScreen, EveryOtherMessageGoesOnlyToTheDefaultProcedure) {
    OpenFrame(5, 3);
    for (UINT message = 0; message < 0x400; ++message) {
        if (message == WM_CLOSE || message == WM_ACTIVATEAPP || message == WM_SETCURSOR ||
            message == WM_KEYDOWN) {
            continue;
        }
        standin.calls.clear();
        EXPECT_EQ(SendToWindow(message, 7, 9), standin.defaultProcResult) << "message " << message;
        char expected[64];
        std::snprintf(expected, sizeof expected, "DefWindowProcA(window, 0x%x, 0x7, 0x9)", message);
        EXPECT_EQ(standin.calls, Calls{expected}) << CallsAsText();
    }
}

TEST_F(FullscreenScreen, OtherKeysAreSwallowedWithoutTheDefaultProcedure) {
    OpenFrame(5, 3);
    for (const WPARAM key : kOtherKeys) {
        EXPECT_EQ(SendToWindow(WM_KEYDOWN, key), 0) << "key " << key;
    }
    EXPECT_TRUE(standin.calls.empty()) << CallsAsText();
}

TEST_F(FullscreenScreen, EscapeAndCloseRequestCloseTheScreenAndEndTheProcessWithZero) {
    for (const QuitMessage& quit : kQuitMessages) {
        SCOPED_TRACE(quit.name);
        Reset();
        OpenFrame(5, 3);
        EXPECT_EQ(ExitCodeOf([&] { SendToWindow(quit.message, quit.wParam); }), 0);
        EXPECT_EQ(standin.calls, Concat(kCloseCalls, {"ExitProcess(0)"})) << CallsAsText();
    }
}

TEST_F(FullscreenScreen, EscapeDuringTheFlipEndsTheProcessBeforeTheFrameIsDrawn) {
    OpenActiveFrame();
    Post(WM_KEYDOWN, 27);
    EXPECT_EQ(ExitCodeOf([&] { ScreenFlip(frame.data()); }), 0);
    const Calls pump = {kPeek, "TranslateMessage(0x100)", "DispatchMessageA(0x100)"};
    EXPECT_EQ(standin.calls, Concat(Concat(pump, kCloseCalls), {"ExitProcess(0)"})) << CallsAsText();
}

TEST_F(FullscreenScreen, FlipTakesOnlyTheDisplayWindowsMessages) {
    OpenFrame(5, 3);
    standin.pendingMessages.push_back(MessageFor(OtherWindow(), WM_CLOSE, 0));
    EXPECT_EQ(ScreenFlip(nullptr), 1);
    EXPECT_EQ(standin.pendingMessages.size(), 1u);
}

TEST_F(FullscreenScreen, CloseReleasesThePrimaryOnlyRestoresTheModeAndSwitchesTheScreenSaverOnLast) {
    OpenFrame(5, 3);
    ScreenClose();
    EXPECT_EQ(standin.calls, kCloseCalls) << CallsAsText();

    // Everything released is marked absent: a second close releases nothing.
    standin.calls.clear();
    ScreenClose();
    const Calls again = {"DestroyWindow(window)", "SystemParametersInfoA(17, 1, null, 0)"};
    EXPECT_EQ(standin.calls, again) << CallsAsText();
}

TEST_F(FullscreenScreen, CloseAfterAFailedOpenReleasesOnlyWhatExists) {
    standin.FailCall("ddraw.CreateSurface");
    ASSERT_EQ(ScreenOpen("Title", 5, 3), 0);
    standin.calls.clear();
    ScreenClose();
    const Calls expected(kCloseCalls.begin() + 1, kCloseCalls.end());
    EXPECT_EQ(standin.calls, expected) << CallsAsText();
}

}  // namespace
