#include "random/random.h"

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

double RandomUnit() { return lcg::rand() / 32767.0; }
