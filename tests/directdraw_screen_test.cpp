// What both DirectDraw back-ends promise alike, built into the tests of each
// (kBackEnd tells the two apart): the frame reaching the locked surface in the
// primary's layout, failures of open and lock, the quit keys and closing.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "display/screen.h"
#include "tests/pixel_reference.h"
#include "tests/test_support.h"
#include "win32_standin/screen_test_support.h"

namespace {

using DirectDrawScreen = ScreenTest;

// The closing steps both back-ends share, in their order, the screen saver
// switched on last; nothing is used after its release.
void ExpectClosedInOrder() {
    const std::vector<long> order = {
        IndexOf("primary.Release()"),     IndexOf("ddraw.RestoreDisplayMode()"),
        IndexOf("ddraw.SetCooperativeLevel(window, 0x8)"), IndexOf("ddraw.Release()"),
        IndexOf("DestroyWindow(window)"), IndexOf("FreeLibrary(ddraw.dll)"),
        IndexOf("SystemParametersInfoA(17, 1, null, 0)"),
    };
    for (std::size_t i = 1; i < order.size(); ++i) {
        EXPECT_TRUE(0 <= order[i - 1] && order[i - 1] < order[i]) << "step " << i << "\n" << CallsAsText();
    }
    EXPECT_EQ(IndexOf("[released]"), -1) << CallsAsText();
}

TEST_F(DirectDrawScreen, OpenRegistersTheTitleAndEndsByTurningTheScreenSaverOff) {
    EXPECT_EQ(ScreenOpen("Title", 5, 3), 1);
    EXPECT_EQ(standin.registeredClassName, "Title");
    EXPECT_NE(IndexOf("CreateWindowExA(0x0, \"Title\", \"Title\", "), -1) << CallsAsText();
    EXPECT_EQ(LastCall(), "SystemParametersInfoA(17, 0, null, 0)") << CallsAsText();
}

TEST_F(DirectDrawScreen, OpenTakesNonNegativeResultsAsSuccessAndIgnoresClassAndWindowResults) {
    standin.successResult = 1;  // S_FALSE
    standin.registerClassFails = true;
    standin.createWindowFails = true;
    EXPECT_EQ(ScreenOpen("Title", 5, 3), 1) << CallsAsText();
    EXPECT_EQ(LastCall(), "SystemParametersInfoA(17, 0, null, 0)");
}

// The failing call is the last one: no release, no window destroyed, the
// screen saver untouched.
TEST_F(DirectDrawScreen, EachFailingStepEndsTheOpenAtOnceUndoingNothing) {
    for (const auto& [call, occurrence] : kBackEnd.failingOpenSteps) {
        SCOPED_TRACE(call + " #" + std::to_string(occurrence));
        Restart();
        standin.FailCall(call, occurrence);
        EXPECT_EQ(ScreenOpen("Title", 5, 3), 0);
        EXPECT_EQ(LastCall().rfind(call + "(", 0), 0u) << CallsAsText();
        EXPECT_EQ(CountOf(call + "("), static_cast<std::size_t>(occurrence)) << CallsAsText();
    }
}

TEST_F(DirectDrawScreen, OpenFailsOnAPixelFormatTheConvertersDoNotWrite) {
    const DDPIXELFORMAT formats[] = {
        {32, 0x20, 0, 8, 0, 0, 0, 0},                      // palette-indexed
        {32, DDPF_RGB, 0, 8, 0xE0, 0x1C, 0x03, 0},          // 8-bit RGB
        {32, DDPF_RGB, 0, 16, 0xF800, 0x07E0, 0x003F, 0},   // a mask a bit too wide
    };
    for (const DDPIXELFORMAT& format : formats) {
        SCOPED_TRACE(format.dwRGBBitCount);
        Restart();
        standin.pixelFormat = format;
        EXPECT_EQ(ScreenOpen("Title", 5, 3), 0);
        EXPECT_EQ(LastCall(), "primary.GetPixelFormat(size=32)") << CallsAsText();
    }
}

TEST_F(DirectDrawScreen, FlipConvertsTheFrameIntoThePrimarysLayoutAtTheLockPitchThenPresents) {
    standin.pixelFormat = {32, DDPF_RGB, 0, 16, 0xF800, 0x07E0, 0x001F, 0};
    OpenToDraw(5, 3);
    constexpr std::size_t kPitch = 16;  // 10 bytes of pixels, then 6 that are not the frame's
    standin.lockPitch = kPitch;
    standin.surfaceMemory.assign(kPitch * 3 + 8, kGuardByte);
    std::vector<std::uint8_t> expected = standin.surfaceMemory;
    const std::vector<std::uint32_t> frame = RandomPixels(5 * 3, 7, 0x00FFFFFFu);
    for (std::size_t y = 0; y < 3; ++y) {
        for (std::size_t x = 0; x < 5; ++x) {
            ExpectedPixelBytes(*FindPixelLayout("rgb565"), frame[y * 5 + x], &expected[y * kPitch + x * 2]);
        }
    }

    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    EXPECT_EQ(FirstDifference(expected, standin.surfaceMemory, 0), "");
    EXPECT_TRUE(Before(kBackEnd.backBuffer + ".Lock(null, size=108, 0x1, null)", kBackEnd.backBuffer + ".Unlock"))
        << CallsAsText();
    EXPECT_TRUE(Before(kBackEnd.backBuffer + ".Unlock(surface+0)", kBackEnd.present)) << CallsAsText();
    EXPECT_EQ(LastCall(), "Sleep(0)");
}

TEST_F(DirectDrawScreen, FailedLocksShowNothingAndTheNextFrameIsDrawn) {
    OpenToDraw(5, 3);
    standin.surfaceMemory.assign(standin.surfaceMemory.size(), kGuardByte);
    const std::vector<std::uint8_t> untouched = standin.surfaceMemory;
    const std::vector<std::uint32_t> frame = RandomPixels(5 * 3, 7, 0x00FFFFFFu);
    for (const int occurrence : {1, 2, 3}) standin.FailCall(kBackEnd.backBuffer + ".Lock", occurrence);
    for (int attempt = 0; attempt < 3; ++attempt) EXPECT_EQ(ScreenFlip(frame.data()), 0);
    EXPECT_EQ(IndexOf(kBackEnd.present), -1) << CallsAsText();
    EXPECT_EQ(IndexOf(kBackEnd.backBuffer + ".Unlock"), -1) << CallsAsText();
    EXPECT_EQ(FirstDifference(untouched, standin.surfaceMemory, 0), "");

    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    EXPECT_NE(IndexOf(kBackEnd.present), -1) << CallsAsText();
    EXPECT_EQ(HexBytes(standin.surfaceMemory.data(), 4),
              HexBytes(reinterpret_cast<const std::uint8_t*>(&frame[0]), 4));
}

TEST_F(DirectDrawScreen, FlipOfAnEmptyFrameLocksAndPresentsWithoutConverting) {
    OpenToDraw(5, 0);
    standin.surfaceMemory.assign(64, kGuardByte);
    EXPECT_EQ(ScreenFlip(nullptr), 1);  // any read of the frame would crash
    EXPECT_NE(IndexOf(kBackEnd.present), -1) << CallsAsText();
    EXPECT_EQ(FirstDifference(std::vector<std::uint8_t>(64, kGuardByte), standin.surfaceMemory, 0), "");
}

TEST_F(DirectDrawScreen, FlipDispatchesThePendingMessagesOfTheDisplayWindowOnly) {
    OpenToDraw(5, 3);
    Post(WM_MOUSEMOVE, 0, 0x00050006);
    standin.pendingMessages.push_back(MessageFor(OtherWindow(), WM_CLOSE, 0));
    const std::array<std::uint32_t, 15> frame{};
    EXPECT_EQ(ScreenFlip(frame.data()), 1);
    EXPECT_TRUE(Before("TranslateMessage(0x200)", "DefWindowProcA(window, 0x200, 0x0, 0x50006)")) << CallsAsText();
    EXPECT_EQ(standin.pendingMessages.size(), 1u);
}

// Esc is the low 8 bits of the key code alone.
TEST_F(DirectDrawScreen, EscapeAndCloseRequestCloseTheScreenAndEndTheProcessWithZero) {
    const struct {
        const char* name;
        UINT message;
        WPARAM wParam;
    } quits[] = {
        {"Esc", WM_KEYDOWN, 27}, {"Esc with bits above the low 8", WM_KEYDOWN, 0x11B}, {"close", WM_CLOSE, 0}};
    for (const auto& quit : quits) {
        SCOPED_TRACE(quit.name);
        Restart();
        OpenToDraw(5, 3);
        EXPECT_EQ(ExitCodeOf([&] { SendToWindow(quit.message, quit.wParam); }), 0);
        ExpectClosedInOrder();
        EXPECT_EQ(LastCall(), "ExitProcess(0)");
    }
}

TEST_F(DirectDrawScreen, EscapeDuringTheFlipEndsTheProcessBeforeTheFrameIsDrawn) {
    OpenToDraw(5, 3);
    Post(WM_KEYDOWN, 27);
    const std::array<std::uint32_t, 15> frame{};
    EXPECT_EQ(ExitCodeOf([&] { ScreenFlip(frame.data()); }), 0);
    EXPECT_EQ(IndexOf(kBackEnd.backBuffer + ".Lock"), -1) << CallsAsText();
    ExpectClosedInOrder();
}

// Keys that are not Esc, one of them Esc's code plus 256.
TEST_F(DirectDrawScreen, OtherKeysAreSwallowedWithoutTheDefaultProcedure) {
    OpenToDraw(5, 3);
    for (const WPARAM key : {0x41, 0x1A, 0x1C, 0x100}) {
        EXPECT_EQ(SendToWindow(WM_KEYDOWN, key), 0) << "key " << key;
    }
    EXPECT_TRUE(standin.calls.empty()) << CallsAsText();
}

TEST_F(DirectDrawScreen, CloseReleasesEachObjectOnceAndSwitchesTheScreenSaverOnLast) {
    OpenToDraw(5, 3);
    ScreenClose();
    ExpectClosedInOrder();
    EXPECT_EQ(LastCall(), "SystemParametersInfoA(17, 1, null, 0)");

    // Everything released is marked absent: a second close releases nothing.
    standin.calls.clear();
    ScreenClose();
    const std::vector<std::string> again = {"DestroyWindow(window)", "SystemParametersInfoA(17, 1, null, 0)"};
    EXPECT_EQ(standin.calls, again) << CallsAsText();
}

TEST_F(DirectDrawScreen, CloseAfterAFailedOpenReleasesOnlyWhatExists) {
    standin.FailCall("ddraw.CreateSurface");
    ASSERT_EQ(ScreenOpen("Title", 5, 3), 0);
    standin.calls.clear();
    ScreenClose();
    std::size_t releases = 0;
    for (const std::string& call : standin.calls) {
        releases += call.find(".Release()") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(releases, 1u) << CallsAsText();  // the DirectDraw object's alone
    EXPECT_EQ(CountOf("ddraw.Release()"), 1u);
    EXPECT_EQ(LastCall(), "SystemParametersInfoA(17, 1, null, 0)");
}

}  // namespace
