#include "display/sdl/video_start.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>

namespace {

bool IsSetAndNotEmpty(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] != '\0';
}

}  // namespace

bool DisplayIsNamed() { return IsSetAndNotEmpty("DISPLAY") || IsSetAndNotEmpty("WAYLAND_DISPLAY"); }

// 10 ms is the gap at which a busy X server was never seen to refuse a client;
// doubling reaches a server that stays busy longer without hammering it.
unsigned RetryPauseMs(int retry) {
    constexpr unsigned kFirstMs = 10;
    constexpr unsigned kLongestMs = 250;
    return std::min(kFirstMs << std::min(retry, 5), kLongestMs);
}

bool StartVideoWithRetries(VideoStartAttempt attempt, Pause pause) {
    if (attempt()) return true;
    if (!DisplayIsNamed()) return false;
    unsigned pausedMs = 0;
    for (int retry = 0; pausedMs + RetryPauseMs(retry) <= kRetryBudgetMs; ++retry) {
        pause(RetryPauseMs(retry));
        pausedMs += RetryPauseMs(retry);
        if (attempt()) return true;
    }
    return false;
}

void PauseMilliseconds(unsigned milliseconds) { SDL_Delay(milliseconds); }
