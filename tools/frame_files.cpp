#include "tools/frame_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <stb_image_write.h>
#include <zlib.h>

namespace {

void AppendBytes(void* context, void* data, int size) {
    auto& out = *static_cast<Bytes*>(context);
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    out.insert(out.end(), bytes, bytes + size);
}

std::string Describe(const std::string& path, const char* what, int error) {
    return "cannot write " + path + ": " + what + (error != 0 ? std::string(": ") + std::strerror(error) : "");
}

// Writes and closes; returns errno of the first failure, or 0.
int WriteAndClose(std::FILE* file, const Bytes& bytes) {
    errno = 0;
    const bool written = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    int error = written ? 0 : (errno != 0 ? errno : EIO);
    errno = 0;
    if (std::fclose(file) != 0 && error == 0) error = errno != 0 ? errno : EIO;
    return error;
}

bool IsSpecialFile(const std::string& path) {
    std::error_code ignored;
    const auto status = std::filesystem::status(path, ignored);
    return std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
}

}  // namespace

Bytes FrameBufferBytes(const FrameBuffer& frame) {
    Bytes bytes;
    bytes.reserve(frame.pixels.size() * 4);
    for (const PackedColor pixel : frame.pixels) {
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<std::uint8_t>(pixel >> shift));
    }
    return bytes;
}

Bytes EncodePng(const FrameBuffer& frame) {
    Bytes rgb;
    rgb.reserve(frame.pixels.size() * 3);
    for (const PackedColor pixel : frame.pixels) {
        rgb.push_back(static_cast<std::uint8_t>(pixel >> 16));
        rgb.push_back(static_cast<std::uint8_t>(pixel >> 8));
        rgb.push_back(static_cast<std::uint8_t>(pixel));
    }
    Bytes png;
    if (stbi_write_png_to_func(AppendBytes, &png, kFrameWidth, kFrameHeight, 3, rgb.data(),
                               kFrameWidth * 3) == 0) {
        png.clear();  // the encoder gave up; an empty result says so
    }
    return png;
}

std::uint32_t Crc32(const Bytes& bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib takes lengths as unsigned int; feed large buffers in pieces.
    constexpr std::size_t kPiece = 1u << 30;
    for (std::size_t offset = 0; offset < bytes.size(); offset += kPiece) {
        const std::size_t length = std::min(kPiece, bytes.size() - offset);
        crc = crc32(crc, bytes.data() + offset, static_cast<uInt>(length));
    }
    return static_cast<std::uint32_t>(crc);
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
