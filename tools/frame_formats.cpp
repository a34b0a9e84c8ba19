#include "tools/frame_formats.h"

#include <cstring>

#include "display/converters.h"

namespace {

struct NamedLayout {
    const char* name;
    RowConverter converter;
    std::size_t bytesPerPixel;
};

constexpr NamedLayout kNamedLayouts[] = {
    {"rgb32", ConvertRgb32, 4},  {"bgr32", ConvertBgr32, 4},  {"rgb24", ConvertRgb24, 3},
    {"bgr24", ConvertBgr24, 3},  {"rgb565", ConvertRgb565, 2}, {"bgr565", ConvertBgr565, 2},
    {"rgb555", ConvertRgb555, 2}, {"bgr555", ConvertBgr555, 2},
};

const NamedLayout* FindLayout(const std::string& format) {
    for (const NamedLayout& layout : kNamedLayouts) {
        if (format == layout.name) return &layout;
    }
    return nullptr;
}

}  // namespace

std::optional<std::string> CheckFormatSupported(const std::string& format) {
    if (format.empty() || FindLayout(format) != nullptr) return std::nullopt;
    return "unknown --format " + format;
}

Bytes ConvertFrame(const FrameBuffer& frame, const std::string& format) {
    const NamedLayout* const found = FindLayout(format);
    if (found == nullptr) return {};  // the caller checked; an empty result is reported as unencodable
    const NamedLayout& layout = *found;
    const std::size_t rowBytes = kFrameWidth * layout.bytesPerPixel;
    Bytes bytes(rowBytes * kFrameHeight);
    for (std::int32_t row = 0; row < kFrameHeight; ++row) {
        layout.converter(frame.pixels.data() + row * kFrameWidth, bytes.data() + row * rowBytes,
                         kFrameWidth);
    }
    return bytes;
}
