// demo-fullscreen: the display switched to a mode of the frame's size, the
// mouse cursor hidden, and nothing drawn while the program is in the background.
#include <cstring>
#include <vector>

#include "display/sdl/sdl_formats.h"
#include "display/sdl/sdl_screen.h"

namespace {

constexpr int kDisplay = 0;  // the primary display

std::vector<SDL_DisplayMode> ListDisplayModes() {
    std::vector<SDL_DisplayMode> modes;
    const int count = SDL_GetNumDisplayModes(kDisplay);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(kDisplay, i, &mode) == 0) modes.push_back(mode);
    }
    return modes;
}

// Whether the display really switches to the modes SDL lists. A Wayland
// compositor does not: SDL 2.26 offers made-up modes there and shows one by
// scaling the window's buffer to the whole output, which stretches a 4:3 frame
// on a wide output. There the frame is centred on black instead, as on a
// display that has no mode of the frame's size.
bool ModesAreReal() { return std::strcmp(SDL_GetCurrentVideoDriver(), "wayland") != 0; }

// A Wayland compositor maps a window, and so can give it the focus, only once
// it has a picture; without the focus no frame is drawn. A black one breaks
// that wait and shows nothing of the frame.
bool PresentBlackFrame(SDL_Window* window) {
    SDL_Surface* surface = SDL_GetWindowSurface(window);
    if (surface == nullptr) return false;
    SDL_FillRect(surface, nullptr, 0);
    return SDL_UpdateWindowSurface(window) == 0;
}

}  // namespace

// The window starts out on the display's top-left corner and, in the fallback,
// as large as the desktop: that already covers the screen where no window
// manager is there to carry out the fullscreen request.
bool OpenDisplayWindow(const char* title, std::int32_t width, std::int32_t height, Uint32 flags,
                       SDL_Window*& window) {
    SDL_Rect desktop;
    if (SDL_GetDisplayBounds(kDisplay, &desktop) != 0) return false;
    SDL_DisplayMode mode;
    if (ModesAreReal() && FindFullscreenMode(ListDisplayModes(), width, height, mode)) {
        window = SDL_CreateWindow(title, desktop.x, desktop.y, width, height, SDL_WINDOW_SHOWN | flags);
        if (window == nullptr) return false;
        if (SDL_SetWindowDisplayMode(window, &mode) != 0) return false;
        if (SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) != 0) return false;
    } else {
        // No mode of the frame's size: the frame sits in the middle of a window
        // as large as the desktop.
        window = SDL_CreateWindow(title, desktop.x, desktop.y, desktop.w, desktop.h,
                                  SDL_WINDOW_FULLSCREEN_DESKTOP | flags);
        if (window == nullptr) return false;
    }
    SDL_ShowCursor(SDL_DISABLE);
    return PresentBlackFrame(window);
}

bool DisplayIsActive(SDL_Window* window) {
    const Uint32 flags = SDL_GetWindowFlags(window);
    return (flags & SDL_WINDOW_INPUT_FOCUS) != 0 && (flags & SDL_WINDOW_MINIMIZED) == 0;
}
