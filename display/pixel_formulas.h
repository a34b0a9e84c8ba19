// The output of each layout for one source pixel: the one definition that the
// one-pixel paths and the tests share. Channels are narrowed by dropping low
// bits; no rounding.
#pragma once

#include <cstdint>

namespace pixel {

constexpr std::uint32_t Red(std::uint32_t p) { return (p >> 16) & 0xFFu; }
constexpr std::uint32_t Green(std::uint32_t p) { return (p >> 8) & 0xFFu; }
constexpr std::uint32_t Blue(std::uint32_t p) { return p & 0xFFu; }

constexpr std::uint32_t Rgb32(std::uint32_t p) { return p; }  // the top byte too
constexpr std::uint32_t Bgr32(std::uint32_t p) { return Blue(p) << 16 | Green(p) << 8 | Red(p); }
// A browser canvas: bgr32 under an opaque alpha of 255 (bytes R, G, B, 255).
constexpr std::uint32_t Abgr32(std::uint32_t p) { return 0xFFu << 24 | Blue(p) << 16 | Green(p) << 8 | Red(p); }

constexpr std::uint16_t Rgb565(std::uint32_t p) {
    return static_cast<std::uint16_t>((Red(p) >> 3) << 11 | (Green(p) >> 2) << 5 | Blue(p) >> 3);
}
constexpr std::uint16_t Bgr565(std::uint32_t p) {
    return static_cast<std::uint16_t>((Blue(p) >> 3) << 11 | (Green(p) >> 2) << 5 | Red(p) >> 3);
}
constexpr std::uint16_t Rgb555(std::uint32_t p) {
    return static_cast<std::uint16_t>((Red(p) >> 3) << 10 | (Green(p) >> 3) << 5 | Blue(p) >> 3);
}
constexpr std::uint16_t Bgr555(std::uint32_t p) {
    return static_cast<std::uint16_t>((Blue(p) >> 3) << 10 | (Green(p) >> 3) << 5 | Red(p) >> 3);
}

// 24-bit layouts are three bytes in memory order.
struct Bytes3 {
    std::uint8_t first, second, third;
};
static_assert(sizeof(Bytes3) == 3);
constexpr Bytes3 Rgb24(std::uint32_t p) {
    return {static_cast<std::uint8_t>(Blue(p)), static_cast<std::uint8_t>(Green(p)),
            static_cast<std::uint8_t>(Red(p))};
}
constexpr Bytes3 Bgr24(std::uint32_t p) {
    return {static_cast<std::uint8_t>(Red(p)), static_cast<std::uint8_t>(Green(p)),
            static_cast<std::uint8_t>(Blue(p))};
}

}  // namespace pixel
