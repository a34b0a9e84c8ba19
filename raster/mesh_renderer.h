// Draws the whole mesh, back to front, lit by one directional light.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "geometry/mesh.h"
#include "raster/frame_buffer.h"

// A corner rounded to the pixel grid.
struct ScreenPoint {
    std::int32_t x, y;
};

// A face's corners (vertex numbers) and whether it turns toward the viewer.
struct FaceCorners {
    std::uint32_t v0, v1, v2, facesViewer;
};

// What the renderer works out once a frame before it draws: each vertex's
// rounded screen corner and lit colour, so that a corner shared by six faces is
// rounded and lit once, and each face's corners and orientation, in face order,
// so that the drawing order looks faces up in this small table instead of in
// the face records. It lives with the scene and is sized when the scene is
// built, so that frames allocate nothing.
struct CornerCache {
    std::vector<ScreenPoint> points;
    std::vector<PackedColor> colours;
    std::vector<FaceCorners> faces;
};

// Room for a mesh of this size; allocates only where the cache was smaller.
void SizeCornerCache(CornerCache& cache, std::size_t vertexCount, std::size_t faceCount);

// Walks the faces in the depth sort's order, drops those that turn away from
// the viewer, lights each corner with a clamped diffuse term (no ambient) and
// fills the face with Gouraud shading. lightDir is a unit vector toward the
// light. Above the plain level the cache is used; one sized for a smaller mesh
// is grown first, which allocates.
void DrawMeshGouraud(FrameBuffer& frameBuffer, const VertexArray& vertices, const FaceArray& faces,
                     Vec3 lightDir, CornerCache& cache);

// Whether corners p0, p1, p2 run counter-clockwise on the screen (y downward):
// (x1 - x0)(y0 - y2) - (y1 - y0)(x0 - x2) > 0, exactly, for any 32-bit
// coordinates. Corners on one line do not.
bool FacesViewer(ScreenPoint p0, ScreenPoint p1, ScreenPoint p2);

// The colour of one corner: its own colour scaled by the clamped diffuse term
// of its transformed normal against lightDir, each channel rounded.
PackedColor LitCornerColor(const Vertex& vertex, Vec3 lightDir);
