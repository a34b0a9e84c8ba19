// What the windowed and the fullscreen DirectDraw back-ends do alike: loading
// DirectDraw at run time, choosing the row converter from the primary
// surface's pixel format, the message pump, the row walk into a locked
// surface, the screen-saver switch and the last steps of closing. Included by
// those two back-ends only.
#pragma once

#include <windows.h>

#include <ddraw.h>

#include <cstddef>
#include <cstdint>

#include "display/converters.h"

namespace directdraw {

inline constexpr DWORD kDescriptionSize = 108;  // sizeof(DDSURFACEDESC), version 1
inline constexpr DWORD kPixelFormatSize = 32;   // sizeof(DDPIXELFORMAT)
inline constexpr WPARAM kEscapeKey = 27;

// A negative result is a failure; zero and positive ones are successes.
inline bool Failed(HRESULT result) { return result < 0; }

// "ddraw.dll" and its DirectDraw object. The library handle is kept even when
// a later step fails, for ScreenClose to free.
inline bool LoadDirectDraw(HMODULE& library, LPDIRECTDRAW& directDraw) {
    using CreateFunction = HRESULT(WINAPI*)(GUID*, LPDIRECTDRAW*, IUnknown*);
    library = LoadLibraryA("ddraw.dll");
    if (library == nullptr) return false;
    const FARPROC entry = GetProcAddress(library, "DirectDrawCreate");
    if (entry == nullptr) return false;
    const auto create = reinterpret_cast<CreateFunction>(reinterpret_cast<void*>(entry));
    return !Failed(create(nullptr, &directDraw, nullptr));
}

// The converter for the primary surface's RGB layout; none for any other.
inline bool ChooseRowConverter(LPDIRECTDRAWSURFACE primarySurface, RowConverter& rowConverter) {
    DDPIXELFORMAT format;
    format.dwSize = kPixelFormatSize;
    if (Failed(primarySurface->GetPixelFormat(&format))) return false;
    if ((format.dwFlags & DDPF_RGB) == 0) return false;
    rowConverter = SelectRowConverter(format.dwRGBBitCount, format.dwRBitMask, format.dwGBitMask,
                                      format.dwBBitMask);
    return rowConverter != nullptr;
}

inline void SetScreenSaverActive(UINT active) {
    SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, active, nullptr, 0);  // not saved to the profile
}

// Every pending message of the display window, translated and dispatched.
inline void PumpMessages(HWND displayWindow) {
    MSG message;
    while (PeekMessageA(&message, displayWindow, 0, 0, PM_REMOVE) != 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// The frame's rows into the locked surface, each at the surface's own pitch.
inline void ConvertRows(const std::uint32_t* pixels, std::int32_t width, std::int32_t height,
                        const DDSURFACEDESC& locked, RowConverter rowConverter) {
    const auto* source = reinterpret_cast<const std::uint8_t*>(pixels);
    auto* destination = static_cast<std::uint8_t*>(locked.lpSurface);
    const std::ptrdiff_t sourcePitch = static_cast<std::ptrdiff_t>(width) * 4;
    for (std::int32_t row = 0; row < height; ++row) {
        rowConverter(source, destination, width);
        source += sourcePitch;
        destination += locked.lPitch;
    }
}

template <typename Object>
void ReleaseIfPresent(Object*& object) {
    if (object == nullptr) return;
    object->Release();
    object = nullptr;
}

// What closing ends with once the surfaces are released: the display mode and
// the normal cooperative level back, the DirectDraw object released, the
// window destroyed, the library freed and the screen saver on again.
inline void CloseDirectDraw(LPDIRECTDRAW& directDraw, HWND displayWindow, HMODULE& library) {
    if (directDraw != nullptr) {
        directDraw->RestoreDisplayMode();
        directDraw->SetCooperativeLevel(displayWindow, DDSCL_NORMAL);
        ReleaseIfPresent(directDraw);
    }
    DestroyWindow(displayWindow);
    if (library != nullptr) {
        FreeLibrary(library);
        library = nullptr;
    }
    SetScreenSaverActive(TRUE);
}

}  // namespace directdraw
