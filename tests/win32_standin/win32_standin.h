// A recording stand-in for the window system and DirectDraw, for host tests
// of the DirectDraw back-ends. The back-end source is compiled against the
// substitute windows.h and ddraw.h in this folder; every call it makes is
// written to `standin.calls` as one line of text with its arguments, and every
// result comes from what the test chose here.
//
// Names in the log: handles and objects appear by role, not address:
//   "ddraw.dll" the loaded library, "window" the created window, "arrow" the
//   cursor, "ddraw" the DirectDraw object, "primary" a surface created with
//   DDSCAPS_PRIMARYSURFACE, "offscreen" any other created surface, "attached"
//   the surface GetAttachedSurface hands out, "clipper" the clipper.
//   Pointers into the locked surface memory show as "surface+N". A call on an
//   object after its Release is logged with a "[released] " prefix.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ddraw.h"
#include "windows.h"

// What ExitProcess throws: the process would end here.
struct StandinProcessExit {
    UINT exitCode;
};

struct CreatedWindow {
    DWORD exStyle = 0, style = 0;
    int x = 0, y = 0, width = 0, height = 0;
};

struct Win32Standin {
    // --- chosen by the test ---
    int screenWidth = 1024, screenHeight = 768;
    // AdjustWindowRect moves each edge of the client rectangle out by these.
    RECT frameInsets = {4, 23, 4, 4};
    POINT clientOrigin = {191, 152};      // ClientToScreen adds this
    RECT clientRect = {0, 0, 642, 482};   // GetClientRect gives this
    DDPIXELFORMAT pixelFormat = {32, DDPF_RGB, 0, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0};
    LONG lockPitch = 2560;                // the pitch Lock reports
    std::vector<std::uint8_t> surfaceMemory = std::vector<std::uint8_t>(2560 * 480);
    std::deque<MSG> pendingMessages;      // PeekMessageA takes these in order
    LRESULT defaultProcResult = 0x5A;     // what DefWindowProcA returns

    // The given occurrence (1 = first) of a call fails: HRESULT calls return
    // a negative error, handle calls null, BOOL calls 0. 0 makes every
    // occurrence fail; calling it again for the same call adds an occurrence.
    // The key is the logged text before "(", e.g. "ddraw.CreateSurface".
    void FailCall(const std::string& call, int occurrence = 0);
    // Messages the window system sends straight to the registered window
    // procedure while the back-end is inside a call (keyed as for FailCall),
    // as it does with WM_ACTIVATEAPP when a window becomes the active one.
    // Each is delivered once, after the call is logged.
    std::multimap<std::string, MSG> sentDuringCall;
    // Every HRESULT method returns this instead of DD_OK (e.g. 1, S_FALSE).
    HRESULT successResult = DD_OK;
    // Results of calls whose results the back-ends ignore: chosen 0 or null.
    bool registerClassFails = false;
    bool createWindowFails = false;

    // --- what the back-end did ---
    std::vector<std::string> calls;
    WNDCLASSA registeredClass{};
    std::string registeredClassName;
    CreatedWindow createdWindow;

    // --- internals of the stand-in ---
    std::map<std::string, int> callCounts;
    std::map<std::string, std::set<int>> failures;  // call -> occurrences (0: every one)
    std::deque<IDirectDraw> directDraws;
    std::deque<IDirectDrawSurface> surfaces;
    std::deque<IDirectDrawClipper> clippers;
};

extern Win32Standin standin;

// A fresh stand-in: default choices, empty log, no objects.
void ResetStandin();

// The window procedure the back-end registered (null before RegisterClassA).
WNDPROC RegisteredWindowProc();

// The log from `first` on, as one line per call: for failure messages.
std::string CallsAsText(std::size_t first = 0);

// Handles as the stand-in gives them out.
HWND StandinWindow();
HWND OtherWindow();  // a window the back-end did not create
