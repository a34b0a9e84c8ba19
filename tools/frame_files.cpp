#include "tools/frame_files.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <fcntl.h>
#include <io.h>
#include <windows.h>
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

bool IsSpecialFile(const std::string& path) {
    std::error_code ignored;
    const auto status = std::filesystem::status(path, ignored);
    return std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
}

}  // namespace

// Every build's processor keeps the words least significant byte first (app/frame_crc.cpp).
Bytes FrameBufferBytes(const FrameBuffer& frame) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(frame.pixels.data());
    return Bytes(bytes, bytes + sizeof frame.pixels);
}

Bytes FrameInLayout(const FrameBuffer& frame, const PixelLayout& layout) {
    const std::size_t rowBytes = kFrameWidth * layout.bytesPerPixel;
    Bytes bytes(rowBytes * kFrameHeight);
    ConvertFrame(ConverterFor(layout), frame.pixels.data(), kFrameWidth, bytes.data(),
                 static_cast<std::ptrdiff_t>(rowBytes), kFrameWidth, kFrameHeight);
    return bytes;
}

std::optional<std::string> WriteWholeFile(const std::string& path, const Bytes& bytes) {
    const bool direct = IsSpecialFile(path);
    // A device or pipe is written directly, a regular file beside its target.
    const std::string written = direct ? path : path + ".partial";
    std::FILE* file = std::fopen(written.c_str(), "wb");
    if (file == nullptr) return Describe(path, direct ? "cannot open" : "cannot create", errno);
    if (const int error = WriteAndClose(file, bytes); error != 0) {
        if (!direct) std::remove(written.c_str());
        return Describe(path, "write failed", error);
    }
    if (direct) return std::nullopt;
    std::error_code renameError;
    std::filesystem::rename(written, path, renameError);  // replaces an existing file
    if (renameError) {
        std::remove(written.c_str());
        return "cannot write " + path + ": cannot rename into place: " + renameError.message();
    }
    return std::nullopt;
}

int WriteToStandardOutput(const Bytes& bytes) {
#ifdef _WIN32
    // The system's own writes, a short one followed by the rest: the C runtime
    // takes a short write for a failure with no system error beneath it, and a
    // short write is how Wine reports a reader that closes the pipe part-way
    // through a frame. The write after it then fails with the pipe's error.
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    for (std::size_t done = 0; done < bytes.size();) {
        const auto piece = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD written = 0;
        if (WriteFile(out, bytes.data() + done, piece, &written, nullptr) == 0) {
            return StandardOutputWriteError(EIO, GetLastError());
        }
        if (written == 0) return EIO;
        done += written;
    }
    return 0;
#else
    return WriteAndFlush(stdout, bytes);
#endif
}

int StandardOutputWriteError(int error, unsigned long systemError) {
    constexpr unsigned long kBrokenPipe = 109;   // ERROR_BROKEN_PIPE: the reader's end is closed
    constexpr unsigned long kNoData = 232;       // ERROR_NO_DATA: the pipe is being closed
    constexpr unsigned long kNotConnected = 233;  // ERROR_PIPE_NOT_CONNECTED: Wine's word for it
    constexpr unsigned long kDiskFull = 112;     // ERROR_DISK_FULL
    if (systemError == kBrokenPipe || systemError == kNoData || systemError == kNotConnected) return EPIPE;
    return systemError == kDiskFull ? ENOSPC : error;
}

void PrepareStandardOutputForBytes() {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
}
