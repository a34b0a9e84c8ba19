// What the windowed and the fullscreen DirectDraw back-ends do alike: the
// display objects both hold, loading DirectDraw at run time, the window class,
// the row converter chosen from the primary surface's pixel format, the
// message pump, the frame into the locked back buffer, the quit keys and the
// last steps of closing. Each program links one back-end and this part.
#pragma once

#include <windows.h>

#include <ddraw.h>

#include <cstdint>

#include "display/converters.h"

namespace directdraw {

// sizeof(DDSURFACEDESC), version 1: DirectDraw refuses a record of another
// size. Its surface pointer makes it 120 bytes in a 64-bit program.
#if defined(_WIN64)
inline constexpr DWORD kDescriptionSize = 120;
#else
inline constexpr DWORD kDescriptionSize = 108;
#endif
#if defined(_WIN32)  // the host tests' stand-in record is smaller
static_assert(sizeof(DDSURFACEDESC) == kDescriptionSize, "the calls pass kDescriptionSize");
#endif

// The display objects of either back-end, one set per process; all absent
// before ScreenOpen. The back-ends keep what only one of them has.
struct Display {
    std::int32_t frameWidth;
    std::int32_t frameHeight;
    HWND window;
    WNDCLASSA windowClass;
    HMODULE library;
    LPDIRECTDRAW directDraw;
    LPDIRECTDRAWSURFACE primarySurface;
    LPDIRECTDRAWSURFACE backBuffer;  // ScreenFlip converts the frame into it
    RowConverter rowConverter;
};
extern Display display;

// A negative result is a failure; zero and positive ones are successes.
bool Failed(HRESULT result);

// The first steps of opening: the frame size kept, "ddraw.dll" loaded and its
// DirectDraw object made. The library handle is kept even when a later step
// fails, for ScreenClose to free.
bool LoadDirectDraw(std::int32_t width, std::int32_t height);

// Registers the window class named after the title. Its result is not looked
// at: a failure shows up as no window later.
void RegisterWindowClass(const char* title, UINT style, HCURSOR cursor, WNDPROC windowProc);

// The last steps of opening: the converter for the primary surface's RGB
// layout (any other layout fails the open), then the screen saver off.
bool ChooseConverterAndFinishOpen();

// Every pending message of the display window, translated and dispatched.
void PumpMessages();

// Locks the back buffer, converts the frame's rows into it at the lock's
// pitch and unlocks it. False when the lock fails: nothing is converted then.
bool ConvertFrameIntoBackBuffer(const std::uint32_t* pixels);

// For WM_CLOSE and WM_KEYDOWN: a close request or Esc (the low 8 bits of the
// key code) run ScreenClose and end the process with exit code 0; every other
// key is swallowed.
LRESULT EndOnCloseOrEscape(UINT message, WPARAM wParam);

// Releases a DirectDraw object if present and marks it absent.
template <typename Object>
void ReleaseIfPresent(Object*& object) {
    if (object != nullptr) object->Release();
    object = nullptr;
}

// What closing ends with once the surfaces are released: the display mode and
// the normal cooperative level back, the DirectDraw object released, the
// window destroyed, the library freed and the screen saver on again.
void CloseDirectDraw();

}  // namespace directdraw
