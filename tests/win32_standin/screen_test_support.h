// What the tests of both DirectDraw back-ends use alike: the call log's type,
// messages sent to the back-end's window procedure, the exit code a step ends
// the process with, and the messages that quit or are ignored.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "win32_standin/win32_standin.h"

using Calls = std::vector<std::string>;

inline Calls Concat(Calls first, const Calls& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

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

// The messages that end the program: Esc (whose key code is the low 8 bits
// alone) and the close request.
struct QuitMessage {
    const char* name;
    UINT message;
    WPARAM wParam;
};
inline constexpr std::array<QuitMessage, 3> kQuitMessages = {{
    {"Esc", WM_KEYDOWN, 27},
    {"Esc with bits above the low 8", WM_KEYDOWN, 0x11B},
    {"close request", WM_CLOSE, 0},
}};

// Keys that are not Esc, one of them Esc's code plus 256.
inline constexpr std::array<WPARAM, 4> kOtherKeys = {0x41, 0x1A, 0x1C, 0x100};
