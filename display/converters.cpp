#include "display/converters.h"

#include <algorithm>
#include <cstring>

#include "display/converter_groups.h"
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

// Searched in order; the first row that matches wins.
constexpr PixelLayout kLayouts[] = {
    {"rgb32", 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 4, ConvertRgb32},
    {"bgr32", 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 4, ConvertBgr32},
    {"rgb24", 24, 0x00FF0000, 0x0000FF00, 0x000000FF, 3, ConvertRgb24},
    {"bgr24", 24, 0x000000FF, 0x0000FF00, 0x00FF0000, 3, ConvertBgr24},
    {"rgb565", 16, 0xF800, 0x07E0, 0x001F, 2, ConvertRgb565},
    {"bgr565", 16, 0x001F, 0x07E0, 0xF800, 2, ConvertBgr565},
    {"rgb555", 16, 0x7C00, 0x03E0, 0x001F, 2, ConvertRgb555},
    {"bgr555", 16, 0x001F, 0x03E0, 0x7C00, 2, ConvertBgr555},
    {"abgr32", 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 4, ConvertAbgr32},
};

// Where a level has no vector paths of its own: the formula for every pixel,
// and the C library's copy for the frame's own layout.
constexpr GroupPaths kPlainGroupPaths = {CopyWholeRow, NoGroups, NoGroups, NoGroups,
                                         NoGroups,     NoGroups, NoGroups, NoGroups};

#if defined(DEMO_BUILD_SSE2)
constexpr const GroupPaths* kSse2Paths = &kConvertersSse2;
#else
constexpr const GroupPaths* kSse2Paths = nullptr;
#endif
#if defined(DEMO_BUILD_AVX2)
constexpr const GroupPaths* kAvx2Paths = &kConvertersAvx2;
#else
constexpr const GroupPaths* kAvx2Paths = nullptr;
#endif
constexpr SimdPaths<const GroupPaths*> kGroupPathsByLevel = {&kPlainGroupPaths, kSse2Paths, kAvx2Paths,
                                                             nullptr};

const GroupPaths& ActiveGroupPaths() { return *PathFor(kGroupPathsByLevel, ActiveSimdLevel()); }

// Whole groups through the fast path, then the row's tail through the formula.
template <typename Formula>
void ConvertGroupsThenTail(const void* source, void* destination, std::int32_t count,
                           GroupPath groups, Formula formula) {
    const auto* in = static_cast<const std::uint8_t*>(source);
    auto* out = static_cast<std::uint8_t*>(destination);
    const std::int32_t done = count > 0 ? groups(in, out, count) : 0;
    constexpr std::size_t kBytesPerPixel = sizeof(decltype(formula(0u)));
    ConvertEach(in + static_cast<std::size_t>(done) * 4, out + static_cast<std::size_t>(done) * kBytesPerPixel,
                count - done, formula);
}

}  // namespace

std::int32_t NoGroups(const std::uint8_t*, std::uint8_t*, std::int32_t) { return 0; }

// Where there are no vector paths the C library's copy is the best at hand.
std::int32_t CopyWholeRow(const std::uint8_t* source, std::uint8_t* destination, std::int32_t count) {
    std::memcpy(destination, source, static_cast<std::size_t>(count) * 4);
    return count;
}

void ConvertRgb32(const void* source, void* destination, std::int32_t count) {
    ConvertGroupsThenTail(source, destination, count, ActiveGroupPaths().rgb32, pixel::Rgb32);
}
void ConvertBgr32(const void* source, void* destination, std::int32_t count) {
    ConvertGroupsThenTail(source, destination, count, ActiveGroupPaths().bgr32, pixel::Bgr32);
}
void ConvertRgb24(const void* source, void* destination, std::int32_t count) {
    ConvertGroupsThenTail(source, destination, count, ActiveGroupPaths().rgb24, pixel::Rgb24);
}
void ConvertBgr24(const void* source, void* destination, std::int32_t count) {
    ConvertGroupsThenTail(source, destination, count, ActiveGroupPaths().bgr24, pixel::Bgr24);
}
void ConvertRgb565(const void* source, void* destination, std::int32_t count) {
    ConvertGroupsThenTail(source, destination, count, ActiveGroupPaths().rgb565, pixel::Rgb565);
}
void ConvertBgr565(const void* source, void* destination, std::int32_t count) {
    ConvertGroupsThenTail(source, destination, count, ActiveGroupPaths().bgr565, pixel::Bgr565);
}
void ConvertRgb555(const void* source, void* destination, std::int32_t count) {
    ConvertGroupsThenTail(source, destination, count, ActiveGroupPaths().rgb555, pixel::Rgb555);
}
void ConvertBgr555(const void* source, void* destination, std::int32_t count) {
    ConvertGroupsThenTail(source, destination, count, ActiveGroupPaths().bgr555, pixel::Bgr555);
}

// Only the web page uses it, and WebAssembly has no vector paths here.
void ConvertAbgr32(const void* source, void* destination, std::int32_t count) {
    ConvertEach(source, destination, count, pixel::Abgr32);
}

std::span<const PixelLayout> PixelLayouts() { return kLayouts; }

const PixelLayout* FindPixelLayout(std::string_view name) {
    if (name == "rgba") name = "abgr32";
    for (const PixelLayout& layout : kLayouts) {
        if (layout.name == name) return &layout;
    }
    return nullptr;
}

RowConverter SelectRowConverter(std::uint32_t bitsPerPixel, std::uint32_t redMask,
                                std::uint32_t greenMask, std::uint32_t blueMask) {
    for (const PixelLayout& row : kLayouts) {
        if (row.bitsPerPixel == bitsPerPixel && row.redMask == redMask &&
            row.greenMask == greenMask && row.blueMask == blueMask) {
            return row.converter;
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
