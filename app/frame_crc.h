// The CRC-32 that demo-snapshot and the web page print: zlib's, through
// ISA-L where the build has it, else zlib, else (the web page, which has
// neither) a table of its own.
#pragma once

#include <cstdint>
#include <span>

#include "raster/frame_buffer.h"

// zlib's CRC-32 of the bytes.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

// Crc32 of the frame buffer's bytes: 0x00RRGGBB words, least significant byte
// first, as memory holds them on every build's processor.
std::uint32_t FrameCrc32(const FrameBuffer& frame);
