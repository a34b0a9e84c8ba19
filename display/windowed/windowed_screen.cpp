// Windowed display: a fixed-size window centred on the desktop, DirectDraw in
// normal cooperative mode. Each frame is converted into an offscreen surface of
// the frame's size and blitted into the window's client area through a clipper.
//
// DirectDraw is loaded at run time, so the program starts (and fails cleanly
// with exit code -1) on a system without it.
#include <windows.h>

#include <ddraw.h>

#include "display/directdraw_common.h"
#include "display/screen.h"

namespace {

using namespace directdraw;

// The outer size is computed for an overlapped window, but the window is
// created without sizing border and maximize box; the blit fits the frame to
// whatever client area results.
constexpr DWORD kSizingStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

LPDIRECTDRAWCLIPPER clipper;

void PresentToWindow() {
    if (display.primarySurface == nullptr) return;  // a paint request before the display is up
    RECT source = {0, 0, display.frameWidth, display.frameHeight};
    POINT clientOrigin = {0, 0};
    ClientToScreen(display.window, &clientOrigin);
    RECT destination;
    GetClientRect(display.window, &destination);
    destination.left += clientOrigin.x;
    destination.right += clientOrigin.x;
    destination.top += clientOrigin.y;
    destination.bottom += clientOrigin.y;
    display.primarySurface->Blt(&destination, display.backBuffer, &source, DDBLT_WAIT, nullptr);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            PresentToWindow();
            return DefWindowProcA(window, message, wParam, lParam);
        case WM_CLOSE:
        case WM_KEYDOWN:
            return EndOnCloseOrEscape(message, wParam);
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

// Centres the window by its outer size; the halving rounds toward minus
// infinity, so a screen smaller than the window gives a negative position.
void OpenCentredWindow(const char* title, std::int32_t width, std::int32_t height) {
    RECT outer = {0, 0, width, height};
    AdjustWindowRect(&outer, kSizingStyle, FALSE);
    const std::int32_t w = outer.right - outer.left;
    const std::int32_t h = outer.bottom - outer.top;
    const std::int32_t x = (GetSystemMetrics(SM_CXSCREEN) - w) >> 1;
    const std::int32_t y = (GetSystemMetrics(SM_CYSCREEN) - h) >> 1;
    display.window = CreateWindowExA(0, title, title, kWindowStyle, x, y, w, h, nullptr, nullptr,
                                     nullptr, nullptr);
    ShowWindow(display.window, SW_SHOWNORMAL);
}

// The back buffer gets no pixel format of its own: it takes the primary's,
// which is the one the converter is chosen for.
bool CreateSurfaces() {
    DDSURFACEDESC description;
    description.dwSize = kDescriptionSize;
    description.dwFlags = DDSD_CAPS;
    description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_VIDEOMEMORY;
    if (Failed(display.directDraw->CreateSurface(&description, &display.primarySurface, nullptr))) {
        return false;
    }

    description.dwFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;
    description.dwWidth = static_cast<DWORD>(display.frameWidth);
    description.dwHeight = static_cast<DWORD>(display.frameHeight);
    description.ddsCaps.dwCaps = DDSCAPS_OFFSCREENPLAIN;
    return !Failed(display.directDraw->CreateSurface(&description, &display.backBuffer, nullptr));
}

bool ClipToWindow() {
    if (Failed(display.directDraw->CreateClipper(0, &clipper, nullptr))) return false;
    if (Failed(clipper->SetHWnd(0, display.window))) return false;
    return !Failed(display.primarySurface->SetClipper(clipper));
}

}  // namespace

// Any failing step returns 0 at once and undoes nothing: the caller ends the
// process.
std::int32_t ScreenOpen(const char* title, std::int32_t width, std::int32_t height) {
    if (!LoadDirectDraw(width, height)) return 0;
    RegisterWindowClass(title, CS_HREDRAW | CS_VREDRAW, LoadCursorA(nullptr, IDC_ARROW), WindowProc);
    OpenCentredWindow(title, width, height);
    if (Failed(display.directDraw->SetCooperativeLevel(display.window, DDSCL_NORMAL))) return 0;
    if (!CreateSurfaces()) return 0;
    if (!ClipToWindow()) return 0;
    return ChooseConverterAndFinishOpen() ? 1 : 0;
}

// Both surfaces are restored every frame, lost or not: that is all the
// handling a lost surface gets.
std::int32_t ScreenFlip(const std::uint32_t* pixels) {
    PumpMessages();
    display.primarySurface->Restore();
    display.backBuffer->Restore();
    if (!ConvertFrameIntoBackBuffer(pixels)) return 0;
    PresentToWindow();
    Sleep(0);
    return 1;
}

// The clipper is released too, before the DirectDraw object that made it.
void ScreenClose() {
    ReleaseIfPresent(display.backBuffer);
    ReleaseIfPresent(display.primarySurface);
    ReleaseIfPresent(clipper);
    CloseDirectDraw();
}
