#include "app/frame_crc.h"

#include <array>

namespace {

// The reflected polynomial of zlib's CRC-32, one table entry per byte value.
constexpr std::array<std::uint32_t, 256> kCrcTable = [] {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[n] = c;
    }
    return table;
}();

}  // namespace

std::uint32_t FrameCrc32(const FrameBuffer& frame) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const PackedColor pixel : frame.pixels) {
        for (int shift = 0; shift < 32; shift += 8) {
            crc = kCrcTable[(crc ^ (pixel >> shift)) & 0xFFu] ^ (crc >> 8);
        }
    }
    return crc ^ 0xFFFFFFFFu;
}
