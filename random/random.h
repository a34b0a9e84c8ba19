// The random generator the scene set-up draws from. A leaf: it depends on
// nothing, so that geometry (the torus's colours) and app (the start angles and
// the seeding) can both use it.
#pragma once

#include <cstdint>

// Our own generator, so that every build draws the same torus for a seed: the
// linear congruential one of the 32-bit Windows C runtime, values 0..32767.
namespace lcg {
void srand(std::uint32_t seed);
std::int32_t rand();
}  // namespace lcg

// rand() / 32767.0: exactly 0.0 and exactly 1.0 at the two ends.
double RandomUnit();
