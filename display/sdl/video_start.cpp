#include "display/sdl/video_start.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

std::uint64_t SteadyNowMs() {
    const auto sinceStart = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count());
}

void SleepMs(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

bool DisplayIsNamed() { return IsSet(std::getenv("DISPLAY")) || IsSet(std::getenv("WAYLAND_DISPLAY")); }

RetryClock SteadyRetryClock() { return {SteadyNowMs, SleepMs}; }

// 10 ms is the gap at which a busy X server was never seen to refuse a client;
// doubling reaches a server that stays busy longer without hammering it.
unsigned RetryPauseMs(int retry) {
    constexpr unsigned kFirstMs = 10;
    constexpr unsigned kLongestMs = 250;
    return std::min(kFirstMs << std::min(retry, 5), kLongestMs);
}

// The budget counts the tries too: a display that answers slowly (a remote
// one, say) is not waited on for a dozen slow tries.
bool StartVideoWithRetries(VideoStartAttempt attempt, const RetryClock& clock) {
    const std::uint64_t startMs = clock.nowMs();
    if (attempt()) return true;
    if (!DisplayIsNamed()) return false;
    for (int retry = 0;; ++retry) {
        const unsigned pauseMs = RetryPauseMs(retry);
        if (clock.nowMs() - startMs + pauseMs > kRetryBudgetMs) return false;
        clock.pause(pauseMs);
        if (attempt()) return true;
    }
}
