// The CRC-32 demo-snapshot prints for a frame, without zlib (which the web page
// does not have).
#pragma once

#include <cstdint>

#include "raster/frame_buffer.h"

// zlib's CRC-32 of the frame buffer's bytes: 0x00RRGGBB words, least
// significant byte first.
std::uint32_t FrameCrc32(const FrameBuffer& frame);
