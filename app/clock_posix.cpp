#include <time.h>

#include "app/clock.h"

std::uint32_t MillisecondsSinceStart() {
    // Time since boot, suspended time included, like the Windows tick count.
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const auto milliseconds = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                              static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(milliseconds);
}
