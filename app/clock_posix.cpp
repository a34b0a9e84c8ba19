#include <time.h>

#include "app/clock.h"

std::uint32_t MillisecondsSinceStart() {
    // Time since boot, suspended time included, like the Windows tick count. A
    // browser has no such clock: there the wall clock stands in, so that each
    // visit still draws a torus of its own.
    timespec now{};
    if (clock_gettime(CLOCK_BOOTTIME, &now) != 0) clock_gettime(CLOCK_REALTIME, &now);
    const auto milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                              static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(milliseconds);
}
