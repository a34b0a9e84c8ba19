// What the tests of both DirectDraw back-ends use: a fixture that opens the
// back-end on the stand-in, the window procedure reached as the window system
// would, the exit code a step ends the process with, and questions about the
// call log. Each back-end's test file describes it in kBackEnd for the tests
// both share (directdraw_screen_test.cpp).
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "display/screen.h"
#include "win32_standin/win32_standin.h"

// What the shared tests need to know of one back-end.
struct BackEnd {
    std::string backBuffer;  // its name in the log
    std::string present;     // how the call that shows a converted frame starts
    void (*startDrawing)();  // after ScreenOpen: what makes ScreenFlip draw
    void (*close)();         // closes and leaves the state as before ScreenOpen
    // Each step of a successful open that can fail it: the call and which of
    // its occurrences.
    std::vector<std::pair<std::string, int>> failingOpenSteps;
};
extern const BackEnd kBackEnd;

inline LRESULT SendToWindow(UINT message, WPARAM wParam, LPARAM lParam = 0) {
    return RegisteredWindowProc()(StandinWindow(), message, wParam, lParam);
}

inline MSG MessageFor(HWND window, UINT message, WPARAM wParam, LPARAM lParam = 0) {
    return {window, message, wParam, lParam, 0, {0, 0}};
}

// A message waiting in the queue of the back-end's window.
inline void Post(UINT message, WPARAM wParam, LPARAM lParam = 0) {
    standin.pendingMessages.push_back(MessageFor(StandinWindow(), message, wParam, lParam));
}

// The exit code the process would end with, or -1 when it would go on.
template <typename Action>
long long ExitCodeOf(Action action) {
    try {
        action();
    } catch (const StandinProcessExit& exit) {
        return exit.exitCode;
    }
    return -1;
}

// Where the first logged call that starts with `start` stands, or -1.
inline long IndexOf(const std::string& start) {
    for (std::size_t i = 0; i < standin.calls.size(); ++i) {
        if (standin.calls[i].rfind(start, 0) == 0) return static_cast<long>(i);
    }
    return -1;
}

// The last logged call (or the one `back` calls before it); empty if none.
inline std::string LastCall(std::size_t back = 0) {
    return standin.calls.size() > back ? standin.calls[standin.calls.size() - 1 - back] : std::string();
}

// Whether a call that starts with `first` was logged before one that starts
// with `then`.
inline bool Before(const std::string& first, const std::string& then) {
    return IndexOf(first) != -1 && IndexOf(first) < IndexOf(then);
}

// Each of these calls was made, in whatever order.
inline void ExpectLogged(std::initializer_list<const char*> calls) {
    for (const char* call : calls) EXPECT_NE(IndexOf(call), -1) << call << "\n" << CallsAsText();
}

inline std::size_t CountOf(const std::string& start) {
    std::size_t count = 0;
    for (const std::string& call : standin.calls) count += call.rfind(start, 0) == 0 ? 1 : 0;
    return count;
}

class ScreenTest : public ::testing::Test {
protected:
    void SetUp() override { ResetStandin(); }
    void TearDown() override { Restart(); }

    // Closes whatever the last open left and starts from a fresh stand-in.
    static void Restart() {
        kBackEnd.close();
        ResetStandin();
    }

    // Opens a frame of width x height, ready to draw, with an empty log.
    static void OpenToDraw(std::int32_t width, std::int32_t height) {
        ASSERT_EQ(ScreenOpen("Title", width, height), 1) << CallsAsText();
        kBackEnd.startDrawing();
        standin.calls.clear();
    }
};
