// Running the SDL back-end in a test: SDL's display-less driver, and the few
// ways in that the back-end leaves for tests.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "app/scene.h"
#include "display/screen.h"
#include "display/sdl/sdl_screen.h"
#include "tests/test_support.h"

constexpr std::int32_t kTestWidth = 640;
constexpr std::int32_t kTestHeight = 480;

class SdlBackEnd : public ::testing::Test {
protected:
    void SetUp() override {
        // Whatever the environment asks for, these tests run without a display.
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "dummy", SDL_HINT_OVERRIDE);
        AllowHeadlessDisplay(true);
    }
    void TearDown() override {
        ScreenClose();
        SetSurfaceAccess(DefaultSurfaceAccess());
        AllowHeadlessDisplay(false);
    }
};

// The back-end keeps its window to itself; there is only one.
inline SDL_Window* TheWindow() {
    for (Uint32 id = 1; id < 64; ++id) {
        if (SDL_Window* window = SDL_GetWindowFromID(id)) return window;
    }
    return nullptr;
}

inline std::vector<std::uint32_t> RandomFrame(std::uint32_t seed) {
    return RandomPixels(kTestWidth * kTestHeight, seed, 0x00FFFFFFu);
}

inline void PushKeyDown(SDL_Keycode key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    SDL_PushEvent(&event);
}

inline void PushCloseRequest(SDL_Window* window) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    event.window.windowID = SDL_GetWindowID(window);
    SDL_PushEvent(&event);
}

// Run from a dying test process at exit: says on stderr whether ScreenClose ran
// before the process ended, for the death test to match.
inline void ReportWhetherClosed() {
    const bool closed = SDL_WasInit(SDL_INIT_VIDEO) == 0;
    std::fprintf(stderr, closed ? "display closed\n" : "display left open\n");
}

// A lock that fails on its first call and succeeds afterwards.
struct LockLog {
    static inline int locks = 0;
    static inline int unlocks = 0;
    static int FailFirst(SDL_Surface*) { return locks++ == 0 ? -1 : 0; }
    static constexpr int kLongFailure = 200;
    static int FailMany(SDL_Surface*) { return locks++ < kLongFailure ? -1 : 0; }
    static int Succeed(SDL_Surface*) {
        ++locks;
        return 0;
    }
    static void Unlock(SDL_Surface*) { ++unlocks; }
};
