#include "app/frame_crc.h"

#include <array>
#include <bit>

#if defined(DEMO_CRC32_FROM_ISAL)
#include <isa-l/crc.h>
#elif defined(DEMO_CRC32_FROM_ZLIB)
#include <zlib.h>
#endif

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
#if defined(DEMO_CRC32_FROM_ISAL)
    // Carry-less multiplication: a frame in a fraction of zlib's time.
    return crc32_gzip_refl(0, bytes.data(), bytes.size());
#elif defined(DEMO_CRC32_FROM_ZLIB)
    return static_cast<std::uint32_t>(crc32_z(0L, bytes.data(), bytes.size()));
#else
    // The reflected polynomial of zlib's CRC-32, one table entry per byte value.
    static constexpr auto kTable = [] {
        std::array<std::uint32_t, 256> table{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int bit = 0; bit < 8; ++bit) c = (c & 1u) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
        return table;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t byte : bytes) crc = kTable[(crc ^ byte) & 0xFFu] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
#endif
}

std::uint32_t FrameCrc32(const FrameBuffer& frame) {
    static_assert(std::endian::native == std::endian::little);
    return Crc32({reinterpret_cast<const std::uint8_t*>(frame.pixels.data()), sizeof frame.pixels});
}
