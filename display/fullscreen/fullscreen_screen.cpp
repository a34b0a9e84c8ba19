// Fullscreen display: the screen switched to a mode of the frame's size, with
// DirectDraw in exclusive mode. Each frame is converted into the back buffer of
// a flipping chain and the chain is flipped. The mouse cursor is hidden, and
// nothing is drawn while another application is the active one.
//
// DirectDraw is loaded at run time, so the program starts (and fails cleanly
// with exit code -1) on a system without it.
#include <windows.h>

#include <ddraw.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "display/converters.h"
#include "display/directdraw_common.h"
#include "display/screen.h"

namespace {

using namespace directdraw;

constexpr DWORD kChainCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;

std::int32_t frameWidth;
std::int32_t frameHeight;
HWND displayWindow;
WNDCLASSA windowClass;
HMODULE displayLibrary;
LPDIRECTDRAW directDraw;
LPDIRECTDRAWSURFACE primarySurface;
LPDIRECTDRAWSURFACE backBuffer;  // part of the primary's chain: released with it
std::int32_t appActive;          // wParam of the last WM_ACTIVATEAPP
RowConverter rowConverter;

[[noreturn]] void QuitProgram() {
    ScreenClose();
    ExitProcess(0);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
            QuitProgram();
        case WM_ACTIVATEAPP:
            appActive = static_cast<std::int32_t>(wParam);
            return 0;
        case WM_SETCURSOR:
            SetCursor(nullptr);  // no cursor over the picture
            return 0;
        case WM_KEYDOWN:
            if ((wParam & 0xFF) == kEscapeKey) QuitProgram();
            return 0;  // every other key is swallowed
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}


void RegisterWindowClass(const char* title) {
    windowClass.style = 0;
    windowClass.lpfnWndProc = WindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = nullptr;
    windowClass.hIcon = nullptr;
    windowClass.hCursor = nullptr;
    windowClass.hbrBackground = nullptr;
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = title;
    RegisterClassA(&windowClass);  // a failure shows up as no window later
}

// Exclusive mode sizes the window to the screen. It is shown at once: a window
// that was never shown may stay unmapped, and then no frame reaches the screen
// and no key reaches the window.
void OpenPopupWindow(const char* title) {
    displayWindow = CreateWindowExA(0, title, title, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    nullptr, nullptr);
    ShowWindow(displayWindow, SW_SHOWNORMAL);
}

// The deepest of 32, 24 and 16 bits per pixel that the display takes.
bool SetFrameDisplayMode() {
    const DWORD width = static_cast<DWORD>(frameWidth);
    const DWORD height = static_cast<DWORD>(frameHeight);
    for (const DWORD bitsPerPixel : {32u, 24u, 16u}) {
        if (!Failed(directDraw->SetDisplayMode(width, height, bitsPerPixel))) return true;
    }
    return false;
}

// A chain with two back buffers, else one. The last resort, a lone primary,
// has no back buffer to attach, so the open still fails at the next step.
bool CreatePrimarySurface() {
    DDSURFACEDESC description;
    description.dwSize = kDescriptionSize;
    description.dwFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
    description.ddsCaps.dwCaps = kChainCaps;
    for (const DWORD backBufferCount : {2u, 1u}) {
        description.dwBackBufferCount = backBufferCount;
        if (!Failed(directDraw->CreateSurface(&description, &primarySurface, nullptr))) return true;
    }
    description.dwFlags = DDSD_CAPS;
    description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY;
    return !Failed(directDraw->CreateSurface(&description, &primarySurface, nullptr));
}

bool FindBackBuffer() {
    DDSCAPS caps;
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    return !Failed(primarySurface->GetAttachedSurface(&caps, &backBuffer));
}


}  // namespace

// Any failing step returns 0 at once and undoes nothing, not even a display
// mode already set: the caller ends the process.
std::int32_t ScreenOpen(const char* title, std::int32_t width, std::int32_t height) {
    frameWidth = width;
    frameHeight = height;
    if (!LoadDirectDraw(displayLibrary, directDraw)) return 0;
    RegisterWindowClass(title);
    OpenPopupWindow(title);
    if (Failed(directDraw->SetCooperativeLevel(displayWindow, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE))) return 0;
    if (!SetFrameDisplayMode()) return 0;
    if (!CreatePrimarySurface()) return 0;
    if (!FindBackBuffer()) return 0;
    if (!ChooseRowConverter(primarySurface, rowConverter)) return 0;
    SetScreenSaverActive(FALSE);
    return 1;
}

// While inactive the surfaces may be lost and the screen is not ours: wait a
// little and draw nothing. Restoring the primary restores its whole chain; it
// is all the handling a lost surface gets.
std::int32_t ScreenFlip(const std::uint32_t* pixels) {
    PumpMessages(displayWindow);
    if (appActive == 0) {
        Sleep(1);
        return 1;
    }
    primarySurface->Restore();
    DDSURFACEDESC locked;
    locked.dwSize = kDescriptionSize;
    if (Failed(backBuffer->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr))) return 0;
    ConvertRows(pixels, frameWidth, frameHeight, locked, rowConverter);
    backBuffer->Unlock(locked.lpSurface);
    primarySurface->Flip(nullptr, DDFLIP_NOVSYNC | DDFLIP_DONOTWAIT);  // no wait for the display
    Sleep(0);
    return 1;
}

// The back buffer goes with the primary surface it is attached to.
void ScreenClose() {
    ReleaseIfPresent(primarySurface);
    CloseDirectDraw(directDraw, displayWindow, displayLibrary);
}
