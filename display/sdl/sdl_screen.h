// The SDL back-end behind display/screen.h. sdl_screen.cpp holds what both
// programs share; each program links one flavour (windowed.cpp or
// fullscreen.cpp), which provides the two procedures below.
#pragma once

#include <SDL.h>

#include <cstdint>

// Creates the display window -- shown, with the title as its caption, in the
// mode the flavour wants, with `flags` added to the flavour's own -- and stores
// it in `window` as soon as it exists. False when a step fails; what was made
// stays made.
bool OpenDisplayWindow(const char* title, std::int32_t width, std::int32_t height, Uint32 flags,
                       SDL_Window*& window);

// Whether frames may reach the window now. While they may not, ScreenFlip only
// waits a millisecond.
bool DisplayIsActive(SDL_Window* window);

// How ScreenFlip gets at the window surface's bytes: SDL's lock where SDL asks
// for one. The tests swap in a lock that fails.
struct SurfaceAccess {
    int (*lock)(SDL_Surface* surface);  // 0 on success, as SDL_LockSurface
    void (*unlock)(SDL_Surface* surface);
};
SurfaceAccess DefaultSurfaceAccess();
void SetSurfaceAccess(SurfaceAccess access);

// SDL's drivers that show nothing (offscreen, dummy) count as no display, and
// ScreenOpen fails on them. The tests let them through to run the back-end
// without a display.
void AllowHeadlessDisplay(bool allowed);
