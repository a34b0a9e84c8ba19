// Putting a frame onto a display surface whose size, pitch and pixel layout are
// the display's own. Nothing here talks to a display, so all of it runs in tests.
#pragma once

#include <cstdint>

#include "display/converters.h"

// One axis of the frame's place on the surface: `length` pixels from `source`
// in the frame go to `target` on the surface.
struct PlacedSpan {
    std::int32_t source, target, length;
};

// The frame centred on the surface; a surface smaller than the frame shows its
// middle. Never reaches outside either of them.
struct FramePlacement {
    PlacedSpan columns, rows;
};

FramePlacement CentreFrame(std::int32_t frameWidth, std::int32_t frameHeight,
                           std::int32_t surfaceWidth, std::int32_t surfaceHeight);

// The surface's bytes as a locked surface hands them out. `pitch` is the byte
// distance between rows and may exceed width * bytesPerPixel.
struct SurfaceBytes {
    std::uint8_t* pixels;
    std::int32_t width, height, pitch, bytesPerPixel;
};

// Converts the frame -- frameWidth x frameHeight pixels, rows back to back --
// row by row into the surface at its centred place. The bytes between rows and
// around the frame are left as they are.
void CopyFrameToSurface(const std::uint32_t* frame, std::int32_t frameWidth,
                        std::int32_t frameHeight, const SurfaceBytes& surface,
                        RowConverter converter);
