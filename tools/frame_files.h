// Turning a frame into file bytes, and writing files whole or not at all.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "display/converters.h"
#include "raster/frame_buffer.h"

using Bytes = std::vector<std::uint8_t>;

// The frame buffer as it sits in memory: 0x00RRGGBB words, least significant
// byte first.
Bytes FrameBufferBytes(const FrameBuffer& frame);

// The frame in a display layout, row after row with no padding.
Bytes FrameInLayout(const FrameBuffer& frame, const PixelLayout& layout);

// Working memory of EncodePng, kept from one frame to the next so that a turn
// does not ask the system for fresh pages every frame. One per thread.
struct PngBuffers {
    Bytes rows;  // the frame's rows as the encoder takes them
    Bytes compressed;
    Bytes work;
};

// An 8-bit RGB PNG of the frame; empty if the encoder failed.
Bytes EncodePng(const FrameBuffer& frame, PngBuffers& buffers);

// zlib's CRC-32 of the bytes.
std::uint32_t Crc32(const Bytes& bytes);

// Crc32(FrameBufferBytes(frame)), without the copy where memory already holds
// the words least significant byte first.
std::uint32_t FrameBufferCrc32(const FrameBuffer& frame);

// Writes the bytes to path, or returns a message naming the path and the cause.
// A regular file is written beside the target and renamed over it, so a failed
// write leaves no partial file; a device or pipe is written directly.
std::optional<std::string> WriteWholeFile(const std::string& path, const Bytes& bytes);

// Writes the bytes to standard output and flushes them; returns errno of the
// failure (EPIPE when the reader has gone, on Windows too), or 0. Call
// PrepareStandardOutputForBytes once first.
int WriteToStandardOutput(const Bytes& bytes);

// The errno WriteToStandardOutput reports for a failed write: the C runtime's
// own, except that a reader gone from a Windows pipe is EPIPE there too. The
// Windows C runtime reports that write as EINVAL; only the system error beneath
// it (ERROR_BROKEN_PIPE, or ERROR_NO_DATA while the pipe is being closed) tells
// it from the others. systemError is 0 where the platform has none.
int StandardOutputWriteError(int error, unsigned long systemError);

// Standard output in binary mode (Windows would turn \n into \r\n), and a
// write to a closed pipe answered with EPIPE rather than a fatal signal.
void PrepareStandardOutputForBytes();
