// The frame converted into one of the display layouts, rows packed.
#pragma once

#include <optional>
#include <string>

#include "raster/frame_buffer.h"
#include "tools/frame_files.h"

// A message when this build cannot write the named layout.
std::optional<std::string> CheckFormatSupported(const std::string& format);

// The frame in the named layout, row after row with no padding; empty for a
// layout CheckFormatSupported refuses.
Bytes ConvertFrame(const FrameBuffer& frame, const std::string& format);
