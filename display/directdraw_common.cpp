#include "display/directdraw_common.h"

#include "display/screen.h"

namespace directdraw {

namespace {

constexpr DWORD kPixelFormatSize = 32;  // sizeof(DDPIXELFORMAT)
constexpr WPARAM kEscapeKey = 27;

void SetScreenSaverActive(UINT active) {
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, active, nullptr, 0);  // not saved to the profile
}

}  // namespace

Display display;

bool Failed(HRESULT result) { return result < 0; }

bool LoadDirectDraw(std::int32_t width, std::int32_t height) {
    using CreateFunction = HRESULT(WINAPI*)(GUID*, LPDIRECTDRAW*, IUnknown*);
    display.frameWidth = width;
    display.frameHeight = height;
    display.library = LoadLibraryA("ddraw.dll");
    if (display.library == nullptr) return false;
    const FARPROC entry = GetProcAddress(display.library, "DirectDrawCreate");
    if (entry == nullptr) return false;
    const auto create = reinterpret_cast<CreateFunction>(reinterpret_cast<void*>(entry));
    return !Failed(create(nullptr, &display.directDraw, nullptr));
}

void RegisterWindowClass(const char* title, UINT style, HCURSOR cursor, WNDPROC windowProc) {
    // No extra bytes, instance, icon, background brush or menu.
    display.windowClass = {style, windowProc, 0, 0, nullptr, nullptr, cursor, nullptr, nullptr, title};
    RegisterClassA(&display.windowClass);
}

bool ChooseConverterAndFinishOpen() {
    DDPIXELFORMAT format;
    format.dwSize = kPixelFormatSize;
    if (Failed(display.primarySurface->GetPixelFormat(&format))) return false;
    if ((format.dwFlags & DDPF_RGB) == 0) return false;
    display.rowConverter =
        SelectRowConverter(format.dwRGBBitCount, format.dwRBitMask, format.dwGBitMask, format.dwBBitMask);
    if (display.rowConverter == nullptr) return false;
    SetScreenSaverActive(FALSE);
    return true;
}

void PumpMessages() {
    MSG message;
    while (PeekMessageA(&message, display.window, 0, 0, PM_REMOVE) != 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool ConvertFrameIntoBackBuffer(const std::uint32_t* pixels) {
    DDSURFACEDESC locked;
    locked.dwSize = kDescriptionSize;
    if (Failed(display.backBuffer->Lock(nullptr, &locked, DDLOCK_WAIT, nullptr))) return false;
    ConvertFrame(display.rowConverter, pixels, display.frameWidth, locked.lpSurface, locked.lPitch,
                 display.frameWidth, display.frameHeight);
    display.backBuffer->Unlock(locked.lpSurface);
    return true;
}

LRESULT EndOnCloseOrEscape(UINT message, WPARAM wParam) {
    if (message == WM_CLOSE || (wParam & 0xFF) == kEscapeKey) {
        ScreenClose();
        ExitProcess(0);
    }
    return 0;
}

void CloseDirectDraw() {
    if (display.directDraw != nullptr) {
        display.directDraw->RestoreDisplayMode();
        display.directDraw->SetCooperativeLevel(display.window, DDSCL_NORMAL);
        ReleaseIfPresent(display.directDraw);
    }
    DestroyWindow(display.window);
    if (display.library != nullptr) {
        FreeLibrary(display.library);
        display.library = nullptr;
    }
    SetScreenSaverActive(TRUE);
}

}  // namespace directdraw
