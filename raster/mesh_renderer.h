// Draws the whole mesh, back to front, lit by one directional light.
#pragma once

#include <cstdint>

#include "geometry/mesh.h"
#include "raster/frame_buffer.h"

// Walks the faces in the depth sort's order, drops those that turn away from
// the viewer, lights each corner with a clamped diffuse term (no ambient) and
// fills the face with Gouraud shading. lightDir is a unit vector toward the light.
void DrawMeshGouraud(FrameBuffer& frameBuffer, const VertexArray& vertices,
                     const FaceArray& faces, Vec3 lightDir);

// Whether screen corners (x0, y0), (x1, y1), (x2, y2) run counter-clockwise on
// the screen (y downward): (x1 - x0)(y0 - y2) - (y1 - y0)(x0 - x2) > 0, exactly,
// for any 32-bit coordinates. Corners on one line do not.
bool FacesViewer(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                 std::int32_t y2);

// The colour of one corner: its own colour scaled by the clamped diffuse term
// of its transformed normal against lightDir, each channel rounded.
PackedColor LitCornerColor(const Vertex& vertex, Vec3 lightDir);
