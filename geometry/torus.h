// The one mesh the demo shows.
#pragma once

#include <cstdint>

#include "geometry/mesh.h"

// Builds a torus around the z axis: `rings` cross-sections of `sides` vertices,
// each quad split into two outward-wound triangles. Draws three random numbers
// per vertex (its colour) and then one per quad (the quad's colour index).
// The vertex of ring i and side j has index j * rings + i.
void MakeTorus(std::int32_t rings, std::int32_t sides, std::int32_t majorRadius,
               std::int32_t minorRadius, std::int32_t textureSize, VertexArray& vertices,
               FaceArray& faces);
