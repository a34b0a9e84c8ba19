// Integer Gouraud fills: all the drawing into the frame (its clear writes it too).
#pragma once

#include <cstddef>
#include <cstdint>

#include "raster/fixed_point.h"
#include "raster/frame_buffer.h"

// One span of row y from column x1 to x2, both ends included, each channel
// stepping linearly from its first value to its second (16.16). The span is
// clipped to the screen; nothing is ever written outside it. Colours are
// grouped by channel: red pair, green pair, blue pair.
void GouraudSpan(FrameBuffer& frameBuffer, std::int32_t x1, std::int32_t y, std::int32_t x2,
                 Fixed16 r1, Fixed16 r2, Fixed16 g1, Fixed16 g2, Fixed16 b1, Fixed16 b2);

// A triangle with a colour per corner, corners in any order and winding, walked
// row by row from the top corner and handed to GouraudSpan.
void GouraudTriangle(FrameBuffer& frameBuffer, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                     std::int32_t y2, std::int32_t x3, std::int32_t y3, PackedColor c1,
                     PackedColor c2, PackedColor c3);

// The two above are the reference, written as plainly as the algorithm reads.
// The fast fill below must give the same bytes for every input, and the tests
// hold it to that at every level.

// One triangle as GouraudTriangle takes it: three corners and their colours.
struct ScreenTriangle {
    std::int32_t x1, y1, x2, y2, x3, y3;
    PackedColor c1, c2, c3;
};

// Fills the triangles in order, each exactly as GouraudTriangle would, with
// the active level's fill (GouraudTriangle one by one at Plain). Given several
// at once, the fill works out the next triangles' edges while it writes this
// one's rows.
void FillTriangles(FrameBuffer& frameBuffer, const ScreenTriangle* triangles, std::size_t count);
