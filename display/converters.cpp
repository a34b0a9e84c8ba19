#include "display/converters.h"

#include <cstring>

#include "display/pixel_formulas.h"

namespace {

// Unaligned-safe loads and stores: memcpy compiles to plain moves.
std::uint32_t LoadPixel(const std::uint8_t* source) {
    std::uint32_t pixel;
    std::memcpy(&pixel, source, sizeof pixel);
    return pixel;
}

template <typename Value>
void Store(std::uint8_t* destination, Value value) {
    std::memcpy(destination, &value, sizeof value);
}

// One pixel at a time through a per-pixel formula.
template <typename Formula>
void ConvertEach(const void* source, void* destination, std::int32_t count, Formula formula) {
    const auto* in = static_cast<const std::uint8_t*>(source);
    auto* out = static_cast<std::uint8_t*>(destination);
    for (std::int32_t i = 0; i < count; ++i, in += 4) {
        const auto value = formula(LoadPixel(in));
        Store(out, value);
        out += sizeof value;
    }
}

struct LayoutRow {
    std::uint32_t bitsPerPixel, redMask, greenMask, blueMask;
    RowConverter converter;
};

// Searched in order; the first row that matches wins.
constexpr LayoutRow kLayouts[] = {
    {32, 0x00FF0000, 0x0000FF00, 0x000000FF, ConvertRgb32},
    {32, 0x000000FF, 0x0000FF00, 0x00FF0000, ConvertBgr32},
    {24, 0x00FF0000, 0x0000FF00, 0x000000FF, ConvertRgb24},
    {24, 0x000000FF, 0x0000FF00, 0x00FF0000, ConvertBgr24},
    {16, 0xF800, 0x07E0, 0x001F, ConvertRgb565},
    {16, 0x001F, 0x07E0, 0xF800, ConvertBgr565},
    {16, 0x7C00, 0x03E0, 0x001F, ConvertRgb555},
    {16, 0x001F, 0x03E0, 0x7C00, ConvertBgr555},
};

}  // namespace

void ConvertRgb32(const void* source, void* destination, std::int32_t count) {
    if (count > 0) std::memcpy(destination, source, static_cast<std::size_t>(count) * 4);
}
void ConvertBgr32(const void* source, void* destination, std::int32_t count) {
    ConvertEach(source, destination, count, pixel::Bgr32);
}
void ConvertRgb24(const void* source, void* destination, std::int32_t count) {
    ConvertEach(source, destination, count, pixel::Rgb24);
}
void ConvertBgr24(const void* source, void* destination, std::int32_t count) {
    ConvertEach(source, destination, count, pixel::Bgr24);
}
void ConvertRgb565(const void* source, void* destination, std::int32_t count) {
    ConvertEach(source, destination, count, pixel::Rgb565);
}
void ConvertBgr565(const void* source, void* destination, std::int32_t count) {
    ConvertEach(source, destination, count, pixel::Bgr565);
}
void ConvertRgb555(const void* source, void* destination, std::int32_t count) {
    ConvertEach(source, destination, count, pixel::Rgb555);
}
void ConvertBgr555(const void* source, void* destination, std::int32_t count) {
    ConvertEach(source, destination, count, pixel::Bgr555);
}

RowConverter SelectRowConverter(std::uint32_t bitsPerPixel, std::uint32_t redMask,
                                std::uint32_t greenMask, std::uint32_t blueMask) {
    for (const LayoutRow& row : kLayouts) {
        if (row.bitsPerPixel == bitsPerPixel && row.redMask == redMask &&
            row.greenMask == greenMask && row.blueMask == blueMask) {
            return row.converter;
        }
    }
    return nullptr;
}
