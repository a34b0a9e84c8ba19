// Starting SDL's video when the display server is there but busy. An X server
// turns a new client away now and then (EAGAIN) while other clients connect
// and leave quickly; SDL then falls back to a driver that shows nothing. Where
// a display is named, a start is therefore tried again after a short pause.
#pragma once

#include <cstdint>

// Whether a value (of an environment variable, of a hint) is there and not empty.
bool IsSet(const char* value);

// Whether the environment names a display: DISPLAY or WAYLAND_DISPLAY set and
// not empty.
bool DisplayIsNamed();

// One try at starting video. True when it runs on a driver that shows
// something; false leaves video stopped.
using VideoStartAttempt = bool (*)();

// The time the retries go by; the tests give one that only counts.
struct RetryClock {
    std::uint64_t (*nowMs)();
    void (*pause)(unsigned milliseconds);
};
RetryClock SteadyRetryClock();

// The pause before try number `retry` (0 for the first retry): growing from
// 10 ms, each at most 250 ms.
unsigned RetryPauseMs(int retry);

// No try starts later than this after the first one began.
inline constexpr unsigned kRetryBudgetMs = 2000;

// Calls `attempt` until it succeeds. With no display named there is nothing
// to wait for: one try. Otherwise tries again after each pause of
// RetryPauseMs while the time since the first try stays within kRetryBudgetMs.
bool StartVideoWithRetries(VideoStartAttempt attempt, const RetryClock& clock);
