// demo-windowed: the frame in a window of its own size, centred on the desktop.
#include "display/sdl/sdl_screen.h"

bool OpenDisplayWindow(const char* title, std::int32_t width, std::int32_t height, Uint32 flags,
                       SDL_Window*& window) {
    window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height,
                              SDL_WINDOW_SHOWN | flags);  // not resizable
    return window != nullptr;
}

bool DisplayIsActive(SDL_Window*) { return true; }
