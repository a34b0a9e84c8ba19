// Draws the whole mesh, back to front, lit by one directional light.
#pragma once

#include "geometry/mesh.h"
#include "raster/frame_buffer.h"

// Walks the faces in the depth sort's order, drops those that turn away from
// the viewer, lights each corner with a clamped diffuse term (no ambient) and
// fills the face with Gouraud shading. lightDir is a unit vector toward the light.
void DrawMeshGouraud(FrameBuffer& frameBuffer, const VertexArray& vertices,
                     const FaceArray& faces, Vec3 lightDir);

// The colour of one corner: its own colour scaled by the clamped diffuse term
// of its transformed normal against lightDir, each channel rounded.
PackedColor LitCornerColor(const Vertex& vertex, Vec3 lightDir);
