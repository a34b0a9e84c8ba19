// Random numbers and the uptime clock the scene set-up seeds them with.
#pragma once

#include <cstdint>

// Our own generator, so that every build draws the same torus for a seed: the
// linear congruential one of the 32-bit Windows C runtime, values 0..32767.
namespace lcg {
void srand(std::uint32_t seed);
std::int32_t rand();
}  // namespace lcg

// Seconds since the system started, in whole milliseconds; wraps after 2^32 ms.
double TimerSeconds();

// rand() / 32767.0: exactly 0.0 and exactly 1.0 at the two ends.
double RandomUnit();

// Seeds with the seed truncated toward zero (-1.0 means the uptime) and throws
// the first number away, so that it never reaches a caller.
void SeedRandom(double seed);
