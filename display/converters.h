// Row converters: one row of 0x00RRGGBB frame pixels into a display surface's
// own pixel layout. Chosen once when the display opens, called once per row.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// Reads exactly `count` source pixels and writes exactly count * (bytes per
// pixel) bytes at destination, nothing else. Neither address need be aligned.
using RowConverter = void (*)(const void* source, void* destination, std::int32_t count);

void ConvertRgb32(const void* source, void* destination, std::int32_t count);   // 4 bytes, p as is
void ConvertBgr32(const void* source, void* destination, std::int32_t count);   // 4 bytes, 0x00BBGGRR
void ConvertRgb24(const void* source, void* destination, std::int32_t count);   // bytes B, G, R
void ConvertBgr24(const void* source, void* destination, std::int32_t count);   // bytes R, G, B
void ConvertRgb565(const void* source, void* destination, std::int32_t count);  // R5 G6 B5
void ConvertBgr565(const void* source, void* destination, std::int32_t count);  // B5 G6 R5
void ConvertRgb555(const void* source, void* destination, std::int32_t count);  // R5 G5 B5
void ConvertBgr555(const void* source, void* destination, std::int32_t count);  // B5 G5 R5
void ConvertRgba(const void* source, void* destination, std::int32_t count);    // bytes R, G, B, 255

// One display layout: its name (as demo-snapshot's --format takes it), the
// surface's RGB bit count and channel masks, and the bytes a pixel takes.
struct PixelLayout {
    std::string_view name;
    std::uint32_t bitsPerPixel, redMask, greenMask, blueMask;
    std::uint32_t bytesPerPixel;
    RowConverter converter;
};

// Every layout the converters write, in the order SelectRowConverter searches.
// The last, rgba, is a browser canvas's: it shares bgr32's masks, so a surface
// of those masks gets bgr32.
std::span<const PixelLayout> PixelLayouts();

// The layout of that name, or nullptr.
const PixelLayout* FindPixelLayout(std::string_view name);

// The converter for a surface of this RGB bit count and these channel masks,
// or nullptr when the layout is not one of the eight surface layouts above.
RowConverter SelectRowConverter(std::uint32_t bitsPerPixel, std::uint32_t redMask,
                                std::uint32_t greenMask, std::uint32_t blueMask);
