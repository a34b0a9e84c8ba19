// 16.16 fixed point and the wrapping 32-bit arithmetic the fills rely on.
#pragma once

#include <cstdint>

// A signed 32-bit value with 16 fraction bits: level L is L << 16.
using Fixed16 = std::int32_t;

// Two's-complement wrap-around instead of undefined overflow, so that corners
// however far off the screen give some defined result (which the span fill
// then clips) rather than undefined behaviour.
inline std::int32_t WrapAdd(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

inline std::int32_t WrapSubtract(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

// a + b * count, as if b were added count times.
inline std::int32_t WrapAddTimes(std::int32_t a, std::int32_t b, std::uint64_t count) {
    const auto product = static_cast<std::uint32_t>(static_cast<std::uint64_t>(static_cast<std::uint32_t>(b)) * count);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + product);
}

inline Fixed16 ToFixed16(std::int32_t level) {
    return static_cast<Fixed16>(static_cast<std::uint32_t>(level) << 16);
}

// Truncating division; the one quotient that does not fit (min / -1) wraps.
inline std::int32_t WrapDivide(std::int32_t numerator, std::int32_t denominator) {
    if (denominator == -1) return WrapSubtract(0, numerator);
    return numerator / denominator;
}
