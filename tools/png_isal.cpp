// EncodePng with ISA-L's deflate at level 1 and the Up filter on every row,
// in one IDAT chunk. Against libpng at its fastest settings
// (bench/png_encoders_bench.cpp): files a little smaller, in a sixth of the
// time; zlib's deflate was most of libpng's.
#include <array>
#include <cstring>
#include <utility>

#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include "display/converters.h"
#include "tools/frame_files.h"

namespace {

constexpr std::size_t kRgbRowBytes = kFrameWidth * 3;
constexpr std::size_t kFilteredBytes = (kRgbRowBytes + 1) * kFrameHeight;  // a filter byte leads each row
constexpr std::uint8_t kFilterUp = 2;

using RgbRow = std::array<std::uint8_t, kRgbRowBytes>;

// Every row as the difference from the row above (the first from zeros): the
// black around the torus becomes long runs of zeros, and so do flat spans.
void FilterRowsUp(const FrameBuffer& frame, std::uint8_t* out) {
    RgbRow rows[2];
    RgbRow* above = &rows[0];
    RgbRow* current = &rows[1];
    above->fill(0);
    const RowConverter toRgb = ImageRgbConverter();
    for (std::int32_t y = 0; y < kFrameHeight; ++y) {
        toRgb(frame.pixels.data() + y * kFrameWidth, current->data(), kFrameWidth);
        *out++ = kFilterUp;
        for (std::size_t i = 0; i < kRgbRowBytes; ++i) {
            *out++ = static_cast<std::uint8_t>((*current)[i] - (*above)[i]);
        }
        std::swap(above, current);
    }
}

void PutBigEndian32(std::uint8_t* out, std::uint32_t value) {
    for (int byte = 0; byte < 4; ++byte) out[byte] = static_cast<std::uint8_t>(value >> (24 - 8 * byte));
}

// A chunk's type and data are at start, its length already written before it;
// the CRC of both follows them.
void AppendChunkCrc(Bytes& png, std::size_t start) {
    const auto crc = static_cast<std::uint32_t>(crc32(0L, png.data() + start, static_cast<uInt>(png.size() - start)));
    png.resize(png.size() + 4);
    PutBigEndian32(png.data() + png.size() - 4, crc);
}

// Appends a chunk's length and type; its data goes after them.
std::size_t BeginChunk(Bytes& png, const char (&type)[5], std::uint32_t length) {
    png.resize(png.size() + 8);
    PutBigEndian32(png.data() + png.size() - 8, length);
    std::memcpy(png.data() + png.size() - 4, type, 4);
    return png.size() - 4;
}

void AppendHeader(Bytes& png) {
    static constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    png.insert(png.end(), kSignature, kSignature + 8);
    const std::size_t start = BeginChunk(png, "IHDR", 13);
    png.resize(png.size() + 13);
    std::uint8_t* header = png.data() + png.size() - 13;
    PutBigEndian32(header, kFrameWidth);
    PutBigEndian32(header + 4, kFrameHeight);
    header[8] = 8;  // bits per sample
    header[9] = 2;  // colour type: RGB
    // compression, filter method and interlace stay 0: deflate, the five filters, none
    AppendChunkCrc(png, start);
}

// Compresses the filtered rows as a zlib stream into an IDAT chunk; false if
// ISA-L refused.
bool AppendImageData(Bytes& png, PngBuffers& buffers) {
    // Level 1 with its suggested work buffer; at worst the data is stored,
    // costing a few bytes per 64 KiB block.
    buffers.work.resize(ISAL_DEF_LVL1_DEFAULT);
    buffers.compressed.resize(kFilteredBytes + kFilteredBytes / 1024 + 1024);

    isal_zstream stream;
    isal_deflate_stateless_init(&stream);
    stream.level = 1;
    stream.level_buf = buffers.work.data();
    stream.level_buf_size = static_cast<std::uint32_t>(buffers.work.size());
    stream.gzip_flag = IGZIP_ZLIB;
    stream.end_of_stream = 1;
    stream.next_in = buffers.rows.data();
    stream.avail_in = static_cast<std::uint32_t>(buffers.rows.size());
    stream.next_out = buffers.compressed.data();
    stream.avail_out = static_cast<std::uint32_t>(buffers.compressed.size());
    if (isal_deflate_stateless(&stream) != COMP_OK) return false;

    const std::size_t start = BeginChunk(png, "IDAT", stream.total_out);
    png.insert(png.end(), buffers.compressed.begin(), buffers.compressed.begin() + stream.total_out);
    AppendChunkCrc(png, start);
    return true;
}

void AppendEnd(Bytes& png) { AppendChunkCrc(png, BeginChunk(png, "IEND", 0)); }

}  // namespace

Bytes EncodePng(const FrameBuffer& frame, PngBuffers& buffers) {
    buffers.rows.resize(kFilteredBytes);
    FilterRowsUp(frame, buffers.rows.data());
    Bytes png;
    png.reserve(256 * 1024);  // a frame of the turn takes about 70 KiB
    AppendHeader(png);
    if (!AppendImageData(png, buffers)) return {};
    AppendEnd(png);
    return png;
}
