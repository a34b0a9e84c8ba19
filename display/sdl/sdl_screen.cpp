#include "display/sdl/sdl_screen.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "display/converters.h"
#include "display/screen.h"
#include "display/sdl/frame_copy.h"
#include "display/sdl/sdl_formats.h"
#include "display/sdl/video_start.h"
#include "display/sdl/wayland_seat.h"

namespace {

bool headlessAllowed = false;

std::int32_t frameWidth = 0;
std::int32_t frameHeight = 0;
bool videoStarted = false;
SDL_Window* displayWindow = nullptr;
RowConverter rowConverter = nullptr;
Uint32 converterFormat = SDL_PIXELFORMAT_UNKNOWN;  // the layout rowConverter writes

// The surface drawn into last. SDL hands out a new one when the window changes
// size; that one is cleared before the frame goes on it.
SDL_Surface* drawnSurface = nullptr;
int drawnWidth = 0;
int drawnHeight = 0;

int LockWhereRequired(SDL_Surface* surface) {
    return SDL_MUSTLOCK(surface) ? SDL_LockSurface(surface) : 0;
}

void UnlockWhereRequired(SDL_Surface* surface) {
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
}

SurfaceAccess surfaceAccess = DefaultSurfaceAccess();

void DiscardLogMessage(void*, int, SDL_LogPriority, const char*) {}

// Drivers that put nothing on a screen: SDL falls back to one of them when it
// finds no display, and to the user that is no display either.
bool IsHeadlessDriver(const char* name) {
    return std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0;
}

// While SDL probes for a display, the libraries below it report what they do
// not find on stderr; the programs never write to the console.
bool StartVideo() {
    if (!SteerClearOfSeatlessWayland()) return false;
    const int savedError = dup(STDERR_FILENO);
    const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (savedError >= 0 && nowhere >= 0) dup2(nowhere, STDERR_FILENO);
    const bool started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (savedError >= 0 && nowhere >= 0) dup2(savedError, STDERR_FILENO);
    if (nowhere >= 0) close(nowhere);
    if (savedError >= 0) close(savedError);
    return started;
}

bool IsQuitRequest(const SDL_Event& event) {
    switch (event.type) {
        case SDL_KEYDOWN:
            return event.key.keysym.sym == SDLK_ESCAPE;
        case SDL_WINDOWEVENT:
            return event.window.event == SDL_WINDOWEVENT_CLOSE;
        case SDL_QUIT:  // the last window closed, or the process was asked to stop
            return true;
        default:
            return false;
    }
}

// The only place events are handled. A quit request ends the process here.
void PumpEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        if (IsQuitRequest(event)) {
            ScreenClose();
            std::exit(0);
        }
    }
}

bool IsNewSurface(const SDL_Surface* surface) {
    return surface != drawnSurface || surface->w != drawnWidth || surface->h != drawnHeight;
}

void DrawFrame(SDL_Surface* surface, const std::uint32_t* pixels) {
    if (IsNewSurface(surface)) {
        SDL_FillRect(surface, nullptr, 0);  // black wherever the frame does not reach
        drawnSurface = surface;
        drawnWidth = surface->w;
        drawnHeight = surface->h;
    }
    const SurfaceBytes bytes{static_cast<std::uint8_t*>(surface->pixels), surface->w, surface->h,
                             surface->pitch, surface->format->BytesPerPixel};
    CopyFrameToSurface(pixels, frameWidth, frameHeight, bytes, rowConverter);
}

// Whether the converters write the desktop's own layout, the one an X
// window's image has.
bool ScreenLayoutHasConverter() {
    SDL_DisplayMode desktop;
    return SDL_GetDesktopDisplayMode(0, &desktop) == 0 && SelectLayoutConverter(desktop.format) != nullptr;
}

// One try for StartVideoWithRetries: a start that lands on a driver showing
// nothing is undone, so that the next try starts afresh.
bool StartVideoOnDisplay() {
    if (!StartVideo()) return false;
    if (headlessAllowed || !IsHeadlessDriver(SDL_GetCurrentVideoDriver())) return true;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return false;
}

}  // namespace

SurfaceAccess DefaultSurfaceAccess() { return {LockWhereRequired, UnlockWhereRequired}; }

void SetSurfaceAccess(SurfaceAccess access) { surfaceAccess = access; }

void AllowHeadlessDisplay(bool allowed) { headlessAllowed = allowed; }

std::int32_t ScreenOpen(const char* title, std::int32_t width, std::int32_t height) {
    frameWidth = width;
    frameHeight = height;
    // SDL would switch the screen saver off as video starts; we do it only once
    // the display is open, so that a failed open leaves it alone.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    SDL_LogSetOutputFunction(DiscardLogMessage, nullptr);
    if (!StartVideoWithRetries(StartVideoOnDisplay, SteadyRetryClock())) return 0;
    videoStarted = true;
    const char* driver = SDL_GetCurrentVideoDriver();
    // On X11 the window surface can be an image in the screen's own layout,
    // with no GPU texture in between: that layout is what the converters write.
    // Elsewhere (Wayland, the console) SDL has only the texture to offer, and
    // so it is on an X screen whose layout SDL cannot name or we cannot write
    // (10 bits a channel): SDL then gives a surface in a layout of its own.
    // Its texture is drawn with OpenGL, and a window made without OpenGL
    // would be made anew for it, under a new X window id.
    Uint32 windowFlags = 0;
    if (std::strcmp(driver, "x11") == 0) {
        if (ScreenLayoutHasConverter()) {
            SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        } else {
            windowFlags = SDL_WINDOW_OPENGL;
        }
    }
    if (!OpenDisplayWindow(title, width, height, windowFlags, displayWindow)) return 0;
    SDL_Surface* surface = SDL_GetWindowSurface(displayWindow);
    if (surface == nullptr) return 0;
    rowConverter = SelectSurfaceConverter(*surface->format);
    if (rowConverter == nullptr) return 0;
    converterFormat = surface->format->format;
    SDL_DisableScreenSaver();
    return 1;
}

std::int32_t ScreenFlip(const std::uint32_t* pixels) {
    PumpEvents();
    if (displayWindow == nullptr || rowConverter == nullptr) return 0;
    if (!DisplayIsActive(displayWindow)) {
        SDL_Delay(1);
        return 1;
    }
    SDL_Surface* surface = SDL_GetWindowSurface(displayWindow);
    if (surface == nullptr || surface->format->format != converterFormat) return 0;
    if (surfaceAccess.lock(surface) != 0) return 0;
    DrawFrame(surface, pixels);
    surfaceAccess.unlock(surface);
    SDL_UpdateWindowSurface(displayWindow);
    SDL_Delay(0);  // give up the rest of the time slice
    return 1;
}

void ScreenClose() {
    if (displayWindow != nullptr) {
        // A fullscreen window takes its display mode with it: the desktop's returns.
        SDL_DestroyWindow(displayWindow);
        displayWindow = nullptr;
    }
    drawnSurface = nullptr;
    rowConverter = nullptr;
    if (videoStarted) {
        SDL_EnableScreenSaver();  // before video stops: afterwards SDL ignores the call
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        videoStarted = false;
    }
}
