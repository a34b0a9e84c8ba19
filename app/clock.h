// The platform's millisecond clock.
#pragma once

#include <cstdint>

// Milliseconds since a fixed point in the past (system start where the platform
// says so), reduced to 32 bits.
std::uint32_t MillisecondsSinceStart();
