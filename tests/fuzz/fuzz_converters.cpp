// The row converters with any count, alignment and pixels: the bytes of the
// per-pixel formula, and nothing written or read outside the row.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "display/converters.h"
#include "display/pixel_formulas.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

struct Layout {
    RowConverter convert;
    std::size_t bytesPerPixel;
    void (*expected)(std::uint32_t pixel, std::uint8_t* out);
};

template <typename Value>
void Put(std::uint8_t* out, Value value) {
    std::memcpy(out, &value, sizeof value);
}

const Layout kLayouts[] = {
    {ConvertRgb32, 4, [](std::uint32_t p, std::uint8_t* o) { Put(o, pixel::Rgb32(p)); }},
    {ConvertBgr32, 4, [](std::uint32_t p, std::uint8_t* o) { Put(o, pixel::Bgr32(p)); }},
    {ConvertRgb24, 3, [](std::uint32_t p, std::uint8_t* o) { Put(o, pixel::Rgb24(p)); }},
    {ConvertBgr24, 3, [](std::uint32_t p, std::uint8_t* o) { Put(o, pixel::Bgr24(p)); }},
    {ConvertRgb565, 2, [](std::uint32_t p, std::uint8_t* o) { Put(o, pixel::Rgb565(p)); }},
    {ConvertBgr565, 2, [](std::uint32_t p, std::uint8_t* o) { Put(o, pixel::Bgr565(p)); }},
    {ConvertRgb555, 2, [](std::uint32_t p, std::uint8_t* o) { Put(o, pixel::Rgb555(p)); }},
    {ConvertBgr555, 2, [](std::uint32_t p, std::uint8_t* o) { Put(o, pixel::Bgr555(p)); }},
};

constexpr std::uint8_t kGuard = 0x5A;
constexpr std::size_t kGuardBytes = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input{data, size};
    const Layout& layout = kLayouts[input.Take<std::uint8_t>() % std::size(kLayouts)];
    const std::size_t sourceOffset = input.Take<std::uint8_t>() % 4;
    const std::size_t destinationOffset = input.Take<std::uint8_t>() % 16;
    const auto count = static_cast<std::int32_t>(input.Take<std::uint16_t>() % 1300);

    // The source is exactly the row, at the end of its own heap block, so that
    // reading one pixel too many is caught.
    const auto sourceBytes = static_cast<std::size_t>(count) * 4;
    std::vector<std::uint8_t> source(sourceOffset + sourceBytes);
    for (std::size_t i = sourceOffset; i < source.size(); ++i) source[i] = input.Take<std::uint8_t>();
    const std::size_t outBytes = static_cast<std::size_t>(count) * layout.bytesPerPixel;
    std::vector<std::uint8_t> out(kGuardBytes + destinationOffset + outBytes + kGuardBytes, kGuard);
    std::uint8_t* destination = out.data() + kGuardBytes + destinationOffset;
    layout.convert(source.data() + sourceOffset, destination, count);

    std::uint8_t expected[4];
    for (std::int32_t i = 0; i < count; ++i) {
        std::uint32_t pixel;
        std::memcpy(&pixel, source.data() + sourceOffset + static_cast<std::size_t>(i) * 4, 4);
        layout.expected(pixel, expected);
        if (std::memcmp(destination + static_cast<std::size_t>(i) * layout.bytesPerPixel, expected,
                        layout.bytesPerPixel) != 0) {
            std::abort();
        }
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        const bool inRow = out.data() + i >= destination && out.data() + i < destination + outBytes;
        if (!inRow && out[i] != kGuard) std::abort();
    }
    return 0;
}
