#include "bench/converter_peers.h"

#include <SDL.h>
#include <pixman.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "display/pixel_formulas.h"

namespace {

template <auto kFormula>
void ConvertPlain(const PackedColor* source, std::uint8_t* destination, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const auto value = kFormula(source[i]);
        std::memcpy(destination + i * sizeof value, &value, sizeof value);
    }
}

constexpr std::size_t kRowPixels = kFrameWidth;
constexpr std::size_t kFramePixels = kFramePixelCount;

std::size_t RowBytes(const BenchLayout& layout) { return kRowPixels * layout.bytesPerPixel; }

void ConvertWithSdl(const BenchLayout& layout, const FrameBuffer& frame, std::uint8_t* destination) {
    const int status = SDL_ConvertPixels(kFrameWidth, kFrameHeight, SDL_PIXELFORMAT_XRGB8888, frame.pixels.data(),
                                         kFrameWidth * 4, layout.sdlFormat, destination,
                                         static_cast<int>(RowBytes(layout)));
    if (status != 0) std::fprintf(stderr, "SDL_ConvertPixels: %s\n", SDL_GetError());
}

// pixman works on images wrapped around the caller's pixels, made once here.
struct PixmanImages {
    pixman_image_t* source;
    pixman_image_t* target;
};

std::shared_ptr<PixmanImages> WrapInPixmanImages(const BenchLayout& layout, const FrameBuffer& frame,
                                                 std::uint8_t* destination) {
    // pixman never writes a source image; its interface just is not const.
    auto* pixels = const_cast<std::uint32_t*>(frame.pixels.data());
    // pixman wants 32-bit aligned rows: every layout's row is a multiple of 4 bytes.
    auto* targetPixels = reinterpret_cast<std::uint32_t*>(destination);
    const auto format = static_cast<pixman_format_code_t>(layout.pixmanFormat);
    return {new PixmanImages{
                pixman_image_create_bits(PIXMAN_x8r8g8b8, kFrameWidth, kFrameHeight, pixels, kFrameWidth * 4),
                pixman_image_create_bits(format, kFrameWidth, kFrameHeight, targetPixels,
                                         static_cast<int>(RowBytes(layout)))},
            [](PixmanImages* images) {
                pixman_image_unref(images->target);
                pixman_image_unref(images->source);
                delete images;
            }};
}

void ConvertWithPixman(const PixmanImages& images) {
    pixman_image_composite32(PIXMAN_OP_SRC, images.source, nullptr, images.target, 0, 0, 0, 0, 0, 0, kFrameWidth,
                             kFrameHeight);
}

std::uint32_t PixelAt(const FrameBytes& bytes, std::size_t index, std::size_t bytesPerPixel) {
    std::uint32_t value = 0;
    std::memcpy(&value, bytes.data() + index * bytesPerPixel, bytesPerPixel);  // little-endian host
    return value;
}

}  // namespace

const BenchLayout kBenchLayouts[8] = {
    {"rgb32", 4, 0x00FFFFFF, ConvertPlain<pixel::Rgb32>, SDL_PIXELFORMAT_XRGB8888, PIXMAN_x8r8g8b8},
    {"bgr32", 4, 0x00FFFFFF, ConvertPlain<pixel::Bgr32>, SDL_PIXELFORMAT_XBGR8888, PIXMAN_x8b8g8r8},
    // SDL names array layouts by memory order, pixman by the value's bits.
    {"rgb24", 3, 0xFFFFFF, ConvertPlain<pixel::Rgb24>, SDL_PIXELFORMAT_BGR24, PIXMAN_r8g8b8},
    {"bgr24", 3, 0xFFFFFF, ConvertPlain<pixel::Bgr24>, SDL_PIXELFORMAT_RGB24, PIXMAN_b8g8r8},
    {"rgb565", 2, 0xFFFF, ConvertPlain<pixel::Rgb565>, SDL_PIXELFORMAT_RGB565, PIXMAN_r5g6b5},
    {"bgr565", 2, 0xFFFF, ConvertPlain<pixel::Bgr565>, SDL_PIXELFORMAT_BGR565, PIXMAN_b5g6r5},
    {"rgb555", 2, 0x7FFF, ConvertPlain<pixel::Rgb555>, SDL_PIXELFORMAT_XRGB1555, PIXMAN_x1r5g5b5},
    {"bgr555", 2, 0x7FFF, ConvertPlain<pixel::Bgr555>, SDL_PIXELFORMAT_XBGR1555, PIXMAN_x1b5g5r5},
};

FrameConversion MakeRowConverterConversion(const BenchLayout& layout, const FrameBuffer& frame,
                                           std::uint8_t* destination) {
    const RowConverter converter = ConverterFor(*FindPixelLayout(layout.name));
    return [converter, &layout, &frame, destination] {
        ConvertFrame(converter, frame.pixels.data(), kFrameWidth, destination,
                     static_cast<std::ptrdiff_t>(RowBytes(layout)), kFrameWidth, kFrameHeight);
    };
}
FrameConversion MakePlainLoopConversion(const BenchLayout& layout, const FrameBuffer& frame,
                                        std::uint8_t* destination) {
    return [&layout, &frame, destination] { layout.plainLoop(frame.pixels.data(), destination, kFramePixels); };
}
FrameConversion MakeSdlConversion(const BenchLayout& layout, const FrameBuffer& frame, std::uint8_t* destination) {
    return [&layout, &frame, destination] { ConvertWithSdl(layout, frame, destination); };
}
FrameConversion MakePixmanConversion(const BenchLayout& layout, const FrameBuffer& frame,
                                     std::uint8_t* destination) {
    return [images = WrapInPixmanImages(layout, frame, destination)] { ConvertWithPixman(*images); };
}

std::string CompareColourBits(const BenchLayout& layout, const FrameBytes& expected, const FrameBytes& actual) {
    if (expected.size() != actual.size()) return "sizes differ";
    for (std::size_t i = 0; i < kFramePixels; ++i) {
        const std::uint32_t want = PixelAt(expected, i, layout.bytesPerPixel) & layout.colourBits;
        const std::uint32_t got = PixelAt(actual, i, layout.bytesPerPixel) & layout.colourBits;
        if (want != got) {
            char message[128];
            std::snprintf(message, sizeof message, "pixel (%zu, %zu): ours 0x%06X, theirs 0x%06X",
                          i % kRowPixels, i / kRowPixels, want, got);
            return message;
        }
    }
    return {};
}
