// Fullscreen display: the screen switched to a mode of the frame's size, with
// DirectDraw in exclusive mode. Each frame is converted into the back buffer of
// a flipping chain and the chain is flipped. The mouse cursor is hidden, and
// nothing is drawn while another application is the active one.
//
// DirectDraw is loaded at run time, so the program starts (and fails cleanly
// with exit code -1) on a system without it.
#include <windows.h>

#include <ddraw.h>

#include <initializer_list>

#include "display/directdraw_common.h"
#include "display/screen.h"

namespace {

using namespace directdraw;

constexpr DWORD kChainCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX | DDSCAPS_VIDEOMEMORY;

std::int32_t appActive;  // wParam of the last WM_ACTIVATEAPP

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CLOSE:
        case WM_KEYDOWN:
            return EndOnCloseOrEscape(message, wParam);
        case WM_ACTIVATEAPP:
            appActive = static_cast<std::int32_t>(wParam);
            return 0;
        case WM_SETCURSOR:
            SetCursor(nullptr);  // no cursor over the picture
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

// Exclusive mode sizes the window to the screen. It is shown at once: a window
// that was never shown may stay unmapped, and then no frame reaches the screen
// and no key reaches the window.
void OpenPopupWindow(const char* title) {
    display.window = CreateWindowExA(0, title, title, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                     nullptr, nullptr);
    ShowWindow(display.window, SW_SHOWNORMAL);
}

// The deepest of 32, 24 and 16 bits per pixel that the display takes.
bool SetFrameDisplayMode() {
    const DWORD width = static_cast<DWORD>(display.frameWidth);
    const DWORD height = static_cast<DWORD>(display.frameHeight);
    for (const DWORD bitsPerPixel : {32u, 24u, 16u}) {
        if (!Failed(display.directDraw->SetDisplayMode(width, height, bitsPerPixel))) return true;
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
        if (!Failed(display.directDraw->CreateSurface(&description, &display.primarySurface, nullptr))) {
            return true;
        }
    }
    description.dwFlags = DDSD_CAPS;
    description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY;
    return !Failed(display.directDraw->CreateSurface(&description, &display.primarySurface, nullptr));
}

bool FindBackBuffer() {
    DDSCAPS caps;
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    return !Failed(display.primarySurface->GetAttachedSurface(&caps, &display.backBuffer));
}

}  // namespace

// Any failing step returns 0 at once and undoes nothing, not even a display
// mode already set: the caller ends the process.
std::int32_t ScreenOpen(const char* title, std::int32_t width, std::int32_t height) {
    if (!LoadDirectDraw(width, height)) return 0;
    RegisterWindowClass(title, 0, nullptr, WindowProc);
    OpenPopupWindow(title);
    if (Failed(display.directDraw->SetCooperativeLevel(display.window, DDSCL_FULLSCREEN | DDSCL_EXCLUSIVE))) {
        return 0;
    }
    if (!SetFrameDisplayMode()) return 0;
    if (!CreatePrimarySurface()) return 0;
    if (!FindBackBuffer()) return 0;
    return ChooseConverterAndFinishOpen() ? 1 : 0;
}

// While inactive the surfaces may be lost and the screen is not ours: wait a
// little and draw nothing. Restoring the primary restores its whole chain; it
// is all the handling a lost surface gets.
std::int32_t ScreenFlip(const std::uint32_t* pixels) {
    PumpMessages();
    if (appActive == 0) {
        Sleep(1);
        return 1;
    }
    display.primarySurface->Restore();
    if (!ConvertFrameIntoBackBuffer(pixels)) return 0;
    display.primarySurface->Flip(nullptr, DDFLIP_NOVSYNC | DDFLIP_DONOTWAIT);  // no wait for the display
    Sleep(0);
    return 1;
}

// The back buffer is part of the primary's chain and goes with it.
void ScreenClose() {
    ReleaseIfPresent(display.primarySurface);
    CloseDirectDraw();
}
