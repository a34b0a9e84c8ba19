#include "display/converters.h"

#include <cstring>

#include "cpu/build_contents.h"
#include "display/converters_fast.h"
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

// Byte by byte: a copy of the three-byte record is put together in memory and
// read back in overlapping pieces, which stalls every pixel.
void Store(std::uint8_t* destination, pixel::Bytes3 value) {
    destination[0] = value.first;
    destination[1] = value.second;
    destination[2] = value.third;
}

// One pixel at a time through a per-pixel formula.
template <auto kFormula>
void ConvertEach(const void* source, void* destination, std::int32_t count) {
    const auto* in = static_cast<const std::uint8_t*>(source);
    auto* out = static_cast<std::uint8_t*>(destination);
    for (std::int32_t i = 0; i < count; ++i, in += 4) {
        const auto value = kFormula(LoadPixel(in));
        Store(out, value);
        out += sizeof value;
    }
}

// A layout's converter at a level with group paths of its own: the level's
// group path over the start of the row, the formula over the rest. The level
// is fixed in the function, so that a converter chosen once runs its level's
// paths without looking them up again for every row.
template <const GroupPaths& kLevel, GroupPath GroupPaths::*kGroups, auto kFormula>
void ConvertGroupsThenTail(const void* source, void* destination, std::int32_t count) {
    const auto* in = static_cast<const std::uint8_t*>(source);
    auto* out = static_cast<std::uint8_t*>(destination);
    const std::int32_t done = count > 0 ? (kLevel.*kGroups)(in, out, count) : 0;
    constexpr std::size_t kBytesPerPixel = sizeof(decltype(kFormula(0u)));
    ConvertEach<kFormula>(in + static_cast<std::size_t>(done) * 4,
                          out + static_cast<std::size_t>(done) * kBytesPerPixel, count - done);
}

// A layout's converters by level: the reference at Plain, then each level's
// group paths with the reference's formula.
template <RowConverter kPlain, GroupPath GroupPaths::*kGroups, auto kFormula>
constexpr SimdPaths<RowConverter> kByLevel =
    DEMO_SIMD_PATHS(kPlain, (ConvertGroupsThenTail<kConvertersSse2, kGroups, kFormula>),
                    (ConvertGroupsThenTail<kConvertersAvx2, kGroups, kFormula>), nullptr);

// Searched in order; the first row that matches wins.
constexpr PixelLayout kLayouts[] = {
    {"rgb32", 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 4, kByLevel<ConvertRgb32, &GroupPaths::rgb32, pixel::Rgb32>},
    {"bgr32", 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 4, kByLevel<ConvertBgr32, &GroupPaths::bgr32, pixel::Bgr32>},
    {"rgb24", 24, 0x00FF0000, 0x0000FF00, 0x000000FF, 3, kByLevel<ConvertRgb24, &GroupPaths::rgb24, pixel::Rgb24>},
    {"bgr24", 24, 0x000000FF, 0x0000FF00, 0x00FF0000, 3, kByLevel<ConvertBgr24, &GroupPaths::bgr24, pixel::Bgr24>},
    {"rgb565", 16, 0xF800, 0x07E0, 0x001F, 2, kByLevel<ConvertRgb565, &GroupPaths::rgb565, pixel::Rgb565>},
    {"bgr565", 16, 0x001F, 0x07E0, 0xF800, 2, kByLevel<ConvertBgr565, &GroupPaths::bgr565, pixel::Bgr565>},
    {"rgb555", 16, 0x7C00, 0x03E0, 0x001F, 2, kByLevel<ConvertRgb555, &GroupPaths::rgb555, pixel::Rgb555>},
    {"bgr555", 16, 0x001F, 0x03E0, 0x7C00, 2, kByLevel<ConvertBgr555, &GroupPaths::bgr555, pixel::Bgr555>},
    // Only the web page writes it, and WebAssembly has no group paths for it.
    {"abgr32", 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 4, {ConvertAbgr32}},
};

}  // namespace

// The references: the formula for every pixel, and for the frame's own layout
// the C library's copy.
void ConvertRgb32(const void* source, void* destination, std::int32_t count) {
    if (count > 0) std::memcpy(destination, source, static_cast<std::size_t>(count) * 4);
}
void ConvertBgr32(const void* s, void* d, std::int32_t n) { ConvertEach<pixel::Bgr32>(s, d, n); }
void ConvertRgb24(const void* s, void* d, std::int32_t n) { ConvertEach<pixel::Rgb24>(s, d, n); }
void ConvertBgr24(const void* s, void* d, std::int32_t n) { ConvertEach<pixel::Bgr24>(s, d, n); }
void ConvertRgb565(const void* s, void* d, std::int32_t n) { ConvertEach<pixel::Rgb565>(s, d, n); }
void ConvertBgr565(const void* s, void* d, std::int32_t n) { ConvertEach<pixel::Bgr565>(s, d, n); }
void ConvertRgb555(const void* s, void* d, std::int32_t n) { ConvertEach<pixel::Rgb555>(s, d, n); }
void ConvertBgr555(const void* s, void* d, std::int32_t n) { ConvertEach<pixel::Bgr555>(s, d, n); }
void ConvertAbgr32(const void* s, void* d, std::int32_t n) { ConvertEach<pixel::Abgr32>(s, d, n); }

std::span<const PixelLayout> PixelLayouts() { return kLayouts; }

const PixelLayout* FindPixelLayout(std::string_view name) {
    if (name == "rgba") name = "abgr32";
    for (const PixelLayout& layout : kLayouts) {
        if (layout.name == name) return &layout;
    }
    return nullptr;
}

RowConverter ConverterFor(const PixelLayout& layout) { return PathFor(layout.converters, ActiveSimdLevel()); }

RowConverter SelectRowConverter(std::uint32_t bitsPerPixel, std::uint32_t redMask,
                                std::uint32_t greenMask, std::uint32_t blueMask) {
    for (const PixelLayout& row : kLayouts) {
        if (row.bitsPerPixel == bitsPerPixel && row.redMask == redMask &&
            row.greenMask == greenMask && row.blueMask == blueMask) {
            return ConverterFor(row);
        }
    }
    return nullptr;
}

void ConvertFrame(RowConverter converter, const std::uint32_t* source, std::ptrdiff_t sourceStride,
                  void* destination, std::ptrdiff_t pitch, std::int32_t width, std::int32_t height) {
    auto* target = static_cast<std::uint8_t*>(destination);
    for (std::int32_t row = 0; row < height; ++row) {
        converter(source + row * sourceStride, target + row * pitch, width);
    }
}
