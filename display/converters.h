// Row converters: one row of 0x00RRGGBB frame pixels into a display surface's
// own pixel layout. Chosen once, for a layout and the active level, when the
// display opens; then called once per row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "cpu/simd_level.h"

// Reads exactly `count` source pixels and writes exactly count * (bytes per
// pixel) bytes at destination, nothing else. Neither address need be aligned.
using RowConverter = void (*)(const void* source, void* destination, std::int32_t count);

// Layouts are named by their channel masks from the high bits down, never by
// byte order: rgb24 has red in the high bits, so its bytes are B, G, R; abgr32
// has alpha on top, so its bytes are R, G, B, 255. These are the references,
// the formula for every pixel; each layout's converters by level are in its
// row of PixelLayouts().
void ConvertRgb32(const void* source, void* destination, std::int32_t count);   // 4 bytes, p as is
void ConvertBgr32(const void* source, void* destination, std::int32_t count);   // 4 bytes, 0x00BBGGRR
void ConvertRgb24(const void* source, void* destination, std::int32_t count);   // bytes B, G, R
void ConvertBgr24(const void* source, void* destination, std::int32_t count);   // bytes R, G, B
void ConvertRgb565(const void* source, void* destination, std::int32_t count);  // R5 G6 B5
void ConvertBgr565(const void* source, void* destination, std::int32_t count);  // B5 G6 R5
void ConvertRgb555(const void* source, void* destination, std::int32_t count);  // R5 G5 B5
void ConvertBgr555(const void* source, void* destination, std::int32_t count);  // B5 G5 R5
void ConvertAbgr32(const void* source, void* destination, std::int32_t count);  // 4 bytes, 0xFFBBGGRR

// One display layout: its name (as demo-snapshot's --format takes it), the
// surface's RGB bit count and channel masks, the bytes a pixel takes, and its
// converters by level, the reference above at Plain.
struct PixelLayout {
    std::string_view name;
    std::uint32_t bitsPerPixel, redMask, greenMask, blueMask;
    std::uint32_t bytesPerPixel;
    SimdPaths<RowConverter> converters;
};

// The layout's converter at ActiveSimdLevel(), which it keeps however the
// level changes later.
RowConverter ConverterFor(const PixelLayout& layout);

// Every layout the converters write, in the order SelectRowConverter searches.
// The last, abgr32, is a browser canvas's: it shares bgr32's masks, so a
// surface of those masks gets bgr32.
std::span<const PixelLayout> PixelLayouts();

// The layout of that name (abgr32 also as rgba, its earlier name), or nullptr.
const PixelLayout* FindPixelLayout(std::string_view name);

// ConverterFor the layout of a surface of this RGB bit count and these channel
// masks, or nullptr when no row of PixelLayouts() has them (the first that has
// them wins).
RowConverter SelectRowConverter(std::uint32_t bitsPerPixel, std::uint32_t redMask,
                                std::uint32_t greenMask, std::uint32_t blueMask);

// A frame into a locked surface, the one row walk of every back-end: `height`
// rows of `width` pixels, source rows `sourceStride` pixels apart, destination
// rows `pitch` bytes apart (a surface's pitch may exceed its row's bytes). The
// bytes between the converted rows are left as they are.
void ConvertFrame(RowConverter converter, const std::uint32_t* source, std::ptrdiff_t sourceStride,
                  void* destination, std::ptrdiff_t pitch, std::int32_t width, std::int32_t height);

// Pixels as image files keep them, bytes R, G, B: the bgr24 layout's rows.
inline RowConverter ImageRgbConverter() { return ConverterFor(*FindPixelLayout("bgr24")); }
