#include "tools/frame_files.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <zlib.h>

#ifdef DEMO_CRC32_FROM_ISAL
#include <isa-l/crc.h>
#endif

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

std::string Describe(const std::string& path, const char* what, int error) {
    return "cannot write " + path + ": " + what + (error != 0 ? std::string(": ") + std::strerror(error) : "");
}

// Writes the bytes and empties the stream's buffer; returns errno of the first
// failure, or 0.
int WriteAndFlush(std::FILE* file, const Bytes& bytes) {
    errno = 0;
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (written && std::fflush(file) == 0) return 0;
    return errno != 0 ? errno : EIO;
}

// Writes and closes; returns errno of the first failure, or 0.
int WriteAndClose(std::FILE* file, const Bytes& bytes) {
    int error = WriteAndFlush(file, bytes);
    errno = 0;
    if (std::fclose(file) != 0 && error == 0) error = errno != 0 ? errno : EIO;
    return error;
}

std::uint32_t Crc32Of(const std::uint8_t* bytes, std::size_t size) {
#ifdef DEMO_CRC32_FROM_ISAL
    // ISA-L's carry-less multiplication: a frame in a fraction of zlib's time.
    return crc32_gzip_refl(0, bytes, size);
#else
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes lengths as unsigned int; feed large buffers in pieces.
    constexpr std::size_t kPiece = 1u << 30;
    for (std::size_t offset = 0; offset < size; offset += kPiece) {
        crc = crc32(crc, bytes + offset, static_cast<uInt>(std::min(kPiece, size - offset)));
    }
    return static_cast<std::uint32_t>(crc);
#endif
}

bool IsSpecialFile(const std::string& path) {
    std::error_code ignored;
    const auto status = std::filesystem::status(path, ignored);
    return std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
}

}  // namespace

Bytes FrameBufferBytes(const FrameBuffer& frame) {
    Bytes bytes(frame.pixels.size() * 4);
    std::uint8_t* out = bytes.data();
    for (const PackedColor pixel : frame.pixels) {
        for (int byte = 0; byte < 4; ++byte) *out++ = static_cast<std::uint8_t>(pixel >> (8 * byte));
    }
    return bytes;
}

Bytes FrameInLayout(const FrameBuffer& frame, const PixelLayout& layout) {
    const std::size_t rowBytes = kFrameWidth * layout.bytesPerPixel;
    Bytes bytes(rowBytes * kFrameHeight);
    ConvertFrame(ConverterFor(layout), frame.pixels.data(), kFrameWidth, bytes.data(),
                 static_cast<std::ptrdiff_t>(rowBytes), kFrameWidth, kFrameHeight);
    return bytes;
}

std::uint32_t Crc32(const Bytes& bytes) { return Crc32Of(bytes.data(), bytes.size()); }

std::uint32_t FrameBufferCrc32(const FrameBuffer& frame) {
    if constexpr (std::endian::native == std::endian::little) {
        return Crc32Of(reinterpret_cast<const std::uint8_t*>(frame.pixels.data()), frame.pixels.size() * 4);
    } else {
        return Crc32(FrameBufferBytes(frame));
    }
}

std::optional<std::string> WriteWholeFile(const std::string& path, const Bytes& bytes) {
    if (IsSpecialFile(path)) {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        if (file == nullptr) return Describe(path, "cannot open", errno);
        const int error = WriteAndClose(file, bytes);
        if (error != 0) return Describe(path, "write failed", error);
        return std::nullopt;
    }
    const std::string temporary = path + ".partial";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    if (file == nullptr) return Describe(path, "cannot create", errno);
    const int error = WriteAndClose(file, bytes);
    if (error != 0) {
        std::remove(temporary.c_str());
        return Describe(path, "write failed", error);
    }
    std::error_code renameError;
    std::filesystem::rename(temporary, path, renameError);  // replaces an existing file
    if (renameError) {
        std::remove(temporary.c_str());
        return "cannot write " + path + ": cannot rename into place: " + renameError.message();
    }
    return std::nullopt;
}

int WriteToStandardOutput(const Bytes& bytes) {
#ifdef _WIN32
    _doserrno = 0;  // the C runtime sets it only when a system call fails
    const int error = WriteAndFlush(stdout, bytes);
    return error == 0 ? 0 : StandardOutputWriteError(error, _doserrno);
#else
    return WriteAndFlush(stdout, bytes);
#endif
}

int StandardOutputWriteError(int error, unsigned long systemError) {
    constexpr unsigned long kBrokenPipe = 109;  // ERROR_BROKEN_PIPE: the reader's end is closed
    constexpr unsigned long kNoData = 232;      // ERROR_NO_DATA: the pipe is being closed
    return systemError == kBrokenPipe || systemError == kNoData ? EPIPE : error;
}

void PrepareStandardOutputForBytes() {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
}
