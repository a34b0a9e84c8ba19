// Float-to-integer conversions with the same answer on every build.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "cpu/build_contents.h"

#if defined(DEMO_BUILD_SSE2)
#include <emmintrin.h>
#endif

// What the x86 conversion instructions give for NaN and for values that do not
// fit; the portable paths give the same, so no build differs from another.
inline constexpr std::int32_t kIntegerIndefinite = std::numeric_limits<std::int32_t>::min();

inline bool FitsInt32(double value) {
    return value >= -2147483648.0 && value <= 2147483647.0;  // false for NaN
}

// Round to nearest, ties to even (2.5 -> 2, 3.5 -> 4), under the default
// rounding mode.
inline std::int32_t RoundToInt32Portable(double value) {
    const double rounded = std::nearbyint(value);
    return FitsInt32(rounded) ? static_cast<std::int32_t>(rounded) : kIntegerIndefinite;
}

// Chosen when compiling, not from a level table: it is inlined into inner loops, and every level rounds alike.
// WebAssembly's SSE2 header converts through lrint, one call per value; its
// own rounding instruction, which the portable path uses, is much faster.
inline std::int32_t RoundToInt32(double value) {
#if defined(DEMO_BUILD_SSE2) && !defined(DEMO_BUILD_WASM_SIMD)
    return _mm_cvtsd_si32(_mm_set_sd(value));
#else
    return RoundToInt32Portable(value);
#endif
}

// Truncate toward zero (12.999 -> 12, -2.5 -> -2).
inline std::int32_t TruncateToInt32(double value) {
    const double truncated = std::trunc(value);
    return FitsInt32(truncated) ? static_cast<std::int32_t>(truncated) : kIntegerIndefinite;
}
