#include "raster/frame_buffer.h"

#include <cstring>

void ClearFrameBuffer(FrameBuffer& frameBuffer) {
    std::memset(frameBuffer.pixels.data(), 0, sizeof frameBuffer.pixels);
}
