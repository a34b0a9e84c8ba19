// Seeding the generator of random/random.h, and the uptime clock it is seeded with.
#pragma once

#include "random/random.h"

// Seconds since the system started, in whole milliseconds; wraps after 2^32 ms.
double TimerSeconds();

// Seeds with the seed truncated toward zero (-1.0 means the uptime) and throws
// the first number away, so that it never reaches a caller.
void SeedRandom(double seed);
