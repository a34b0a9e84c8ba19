// 16.16 fixed point and the wrapping 32-bit arithmetic the fills rely on.
#pragma once

#include <array>
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

// Exact truncating division without a divide instruction for the quotients a
// frame needs by the dozen thousand: divisors up to 1023 in magnitude (row
// heights, run lengths) and numerators below 2^27 in magnitude (16.16 column
// and colour differences). With m = ceil(2^37 / d), |n| * m >> 37 equals
// |n| / d whenever |n| * (m * d - 2^37) < 2^37, which these bounds ensure.
// Anything larger takes the ordinary division.
namespace exact_divide {
inline constexpr int kShift = 37;
inline constexpr std::uint32_t kDivisorLimit = 1024;
inline constexpr std::uint32_t kNumeratorLimit = 1u << 27;
inline constexpr auto kReciprocals = [] {
    std::array<std::uint64_t, kDivisorLimit> reciprocals{};
    for (std::uint64_t d = 1; d < kDivisorLimit; ++d) {
        reciprocals[static_cast<std::size_t>(d)] = ((std::uint64_t{1} << kShift) + d - 1) / d;
    }
    return reciprocals;
}();
}  // namespace exact_divide

// numerator / divisor, truncated toward zero, for a divisor from 1 to 1023
// whose reciprocal is given.
inline std::int32_t DivideByReciprocal(std::int32_t numerator, std::int32_t divisor,
                                       std::uint64_t reciprocal) {
    // Work on the magnitude; (v ^ sign) - sign negates v where sign is all ones.
    const auto sign = static_cast<std::uint32_t>(numerator >> 31);
    const std::uint32_t magnitude = (static_cast<std::uint32_t>(numerator) ^ sign) - sign;
    if (magnitude >= exact_divide::kNumeratorLimit) return numerator / divisor;
    const auto quotient = static_cast<std::uint32_t>((magnitude * reciprocal) >> exact_divide::kShift);
    return static_cast<std::int32_t>((quotient ^ sign) - sign);
}

// numerator / denominator, truncated toward zero; denominator is never 0.
inline std::int32_t DivideTruncating(std::int32_t numerator, std::int32_t denominator) {
    if (denominator > 0 && static_cast<std::uint32_t>(denominator) < exact_divide::kDivisorLimit) {
        return DivideByReciprocal(numerator, denominator,
                                  exact_divide::kReciprocals[static_cast<std::size_t>(denominator)]);
    }
    if (denominator < 0 && denominator > -static_cast<std::int32_t>(exact_divide::kDivisorLimit)) {
        // Truncation is symmetric: n / -d = -(n / d), and -(n / d) fits for |d| > 1.
        return WrapSubtract(0, DivideTruncating(numerator, -denominator));
    }
    return WrapDivide(numerator, denominator);
}
