// The triangle fill for the triangles a mesh on the screen is made of, with a
// pixel's channels packed in one register: one walk for SSE2, one for AVX2 and
// one for AVX-512. GouraudTriangles chooses among them and the general fill.
#pragma once

#include <cstddef>
#include <cstdint>

#include "raster/frame_buffer.h"
#include "raster/gouraud.h"

#if defined(__SSE2__)

// Whether the packed walks may fill this triangle: every corner on the screen
// and above the last row, every colour with a zero top byte. They then give
// exactly the pixels of GouraudTrianglePlain: there is nothing to clip, every
// side value stays between two corners' values (steps truncate toward zero),
// so every channel stays in 0..0x00FF0000, and every run has seven more pixels
// of frame after it for the packed writers' last group. Inline: it is asked of
// every triangle of every frame.
inline bool FitsPackedTriangle(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                               std::int32_t x3, std::int32_t y3, PackedColor c1, PackedColor c2, PackedColor c3) {
    const auto fits = [](std::int32_t x, std::int32_t y) {
        return static_cast<std::uint32_t>(x) < static_cast<std::uint32_t>(kFrameWidth) &&
               static_cast<std::uint32_t>(y) < static_cast<std::uint32_t>(kFrameHeight - 1);
    };
    return fits(x1, y1) && fits(x2, y2) && fits(x3, y3) && ((c1 | c2 | c3) >> 24) == 0;
}

// Each walk over a list of triangles that all fit, in order: the triangles'
// edges are worked out a few triangles ahead of the rows being written. The
// AVX2 walk only where ProcessorHasAvx2(); the AVX-512 one only where
// ProcessorHasAvx512Walk(), and on 32-bit builds it is the AVX2 walk.
void FillTrianglesPackedSse2(FrameBuffer& frameBuffer, const ScreenTriangle* triangles, std::size_t count);
void FillTrianglesPackedAvx2(FrameBuffer& frameBuffer, const ScreenTriangle* triangles, std::size_t count);
void FillTrianglesPackedAvx512(FrameBuffer& frameBuffer, const ScreenTriangle* triangles, std::size_t count);

// Whether this processor, and the system, run AVX2 code.
bool ProcessorHasAvx2();

// Whether this processor, and the system, run the AVX-512 walk (F, BW, VL and
// VBMI); always false on 32-bit builds.
bool ProcessorHasAvx512Walk();

#endif
