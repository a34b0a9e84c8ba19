#include "app/random.h"

#include "app/clock.h"
#include "geometry/rounding.h"

namespace lcg {
namespace {
std::uint32_t state = 1;
}  // namespace

void srand(std::uint32_t seed) { state = seed; }

std::int32_t rand() {
    state = state * 214013u + 2531011u;
    return static_cast<std::int32_t>((state >> 16) & 0x7FFFu);
}
}  // namespace lcg

double TimerSeconds() { return static_cast<double>(MillisecondsSinceStart()) / 1000.0; }

double RandomUnit() { return lcg::rand() / 32767.0; }

void SeedRandom(double seed) {
    if (seed == -1.0) seed = TimerSeconds();
    lcg::srand(static_cast<std::uint32_t>(TruncateToInt32(seed)));
    lcg::rand();
}
