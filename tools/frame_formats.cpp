#include "tools/frame_formats.h"

#include <cstring>

#include "display/converters.h"

std::optional<std::string> CheckFormatSupported(const std::string& format) {
    if (format.empty() || FindPixelLayout(format) != nullptr) return std::nullopt;
    return "unknown --format " + format;
}

Bytes ConvertFrame(const FrameBuffer& frame, const std::string& format) {
    const PixelLayout* layout = FindPixelLayout(format);
    if (layout == nullptr) return {};
    const std::size_t rowBytes = kFrameWidth * layout->bytesPerPixel;
    Bytes bytes(rowBytes * kFrameHeight);
    for (std::int32_t row = 0; row < kFrameHeight; ++row) {
        layout->converter(frame.pixels.data() + row * kFrameWidth, bytes.data() + static_cast<std::size_t>(row) * rowBytes,
                         kFrameWidth);
    }
    return bytes;
}
