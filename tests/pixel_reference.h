// What a display surface holds for one frame pixel, worked out from the
// layout's row of PixelLayouts() alone, not from the converters' formulas:
// each channel's top bits under its mask, the value stored least significant
// byte first. The frame's own 32-bit layout is a straight copy, top byte too;
// the browser canvas's abgr32 fills the byte no mask covers with an opaque 255.
#pragma once

#include <bit>
#include <cstdint>

#include "display/converters.h"

inline std::uint32_t ChannelUnderMask(std::uint32_t channel, std::uint32_t mask) {
    return (channel >> (8 - std::popcount(mask))) << std::countr_zero(mask);
}

inline std::uint32_t ExpectedPixelValue(const PixelLayout& layout, std::uint32_t pixel) {
    if (layout.bytesPerPixel == 4 && layout.redMask == 0x00FF0000 && layout.greenMask == 0x0000FF00 &&
        layout.blueMask == 0x000000FF) {
        return pixel;
    }
    const std::uint32_t alpha = layout.name == "abgr32" ? 0xFF000000u : 0;
    return alpha | ChannelUnderMask(pixel >> 16 & 0xFF, layout.redMask) |
           ChannelUnderMask(pixel >> 8 & 0xFF, layout.greenMask) |
           ChannelUnderMask(pixel & 0xFF, layout.blueMask);
}

inline void ExpectedPixelBytes(const PixelLayout& layout, std::uint32_t pixel, std::uint8_t* out) {
    const std::uint32_t value = ExpectedPixelValue(layout, pixel);
    for (std::uint32_t i = 0; i < layout.bytesPerPixel; ++i) {
        out[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}
