#include "app/random.h"

#include "app/clock.h"
#include "geometry/rounding.h"

double TimerSeconds() { return static_cast<double>(MillisecondsSinceStart()) / 1000.0; }

void SeedRandom(double seed) {
    if (seed == -1.0) seed = TimerSeconds();
    lcg::srand(static_cast<std::uint32_t>(TruncateToInt32(seed)));
    lcg::rand();
}
