// The row converters with any layout, vector level, count, alignment and
// pixels: the bytes the layout's masks give, and nothing written or read
// outside the row.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "display/converters.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/pixel_reference.h"
#include "tests/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input{data, size};
    const PixelLayout& layout = PixelLayouts()[input.Take<std::uint8_t>() % PixelLayouts().size()];
    static const std::vector<SimdLevel> levels = RunnableSimdLevels();
    UseSimdLevel(levels[input.Take<std::uint8_t>() % levels.size()]);
    const std::size_t sourceOffset = input.Take<std::uint8_t>() % 4;
    const std::size_t destinationOffset = input.Take<std::uint8_t>() % 16;
    const auto count = static_cast<std::int32_t>(input.Take<std::uint16_t>() % 1300);

    // The source is exactly the row, at the end of its own heap block, so that
    // reading one pixel too many is caught.
    const auto sourceBytes = static_cast<std::size_t>(count) * 4;
    std::vector<std::uint8_t> source(sourceOffset + sourceBytes);
    for (std::size_t i = sourceOffset; i < source.size(); ++i) source[i] = input.Take<std::uint8_t>();
    const std::size_t outBytes = static_cast<std::size_t>(count) * layout.bytesPerPixel;
    std::vector<std::uint8_t> out = GuardedBytes(destinationOffset + outBytes), expected = out;
    std::uint8_t* row = expected.data() + kGuardMargin + destinationOffset;
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        std::uint32_t pixel;
        std::memcpy(&pixel, source.data() + sourceOffset + i * 4, 4);
        ExpectedPixelBytes(layout, pixel, row + i * layout.bytesPerPixel);
    }
    ConverterFor(layout)(source.data() + sourceOffset, out.data() + kGuardMargin + destinationOffset, count);
    if (out != expected) std::abort();
    return 0;
}
