// EncodePng with stb_image_write, for the Windows build (Debian has no ISA-L
// for MinGW). Level 1 and the Sub filter on every row: two thirds of the time
// of stb's defaults, and smaller files.
#include <stb_image_write.h>

#include "display/converters.h"
#include "tools/frame_files.h"

namespace {

void AppendBytes(void* context, void* data, int size) {
    auto& out = *static_cast<Bytes*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out.insert(out.end(), bytes, bytes + size);
}

}  // namespace

Bytes EncodePng(const FrameBuffer& frame, PngBuffers& buffers) {
    Bytes& rgb = buffers.rows;
    rgb.resize(frame.pixels.size() * 3);
    ImageRgbConverter()(frame.pixels.data(), rgb.data(), kFrameWidth * kFrameHeight);
    stbi_write_png_compression_level = 1;
    stbi_write_force_png_filter = 1;  // Sub
    Bytes png;
    if (stbi_write_png_to_func(AppendBytes, &png, kFrameWidth, kFrameHeight, 3, rgb.data(),
                               kFrameWidth * 3) == 0) {
        png.clear();  // the encoder gave up; an empty result says so
    }
    return png;
}
