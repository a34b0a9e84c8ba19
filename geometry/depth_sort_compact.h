// The depth sort's SSE2 path: the same quicksort on a compact copy of the keys,
// each partition without a branch per key.
#pragma once

#include "cpu/build_contents.h"
#include "geometry/mesh.h"

#if defined(DEMO_BUILD_SSE2)

// Leaves the same slots as the plain sort; meshes too large for its copy on
// the stack, or with a key too far from zero for its packed slots, go to the
// plain sort.
void DepthSortCompact(const VertexArray& vertices, FaceArray& faces);

// The same built for AVX2.
#if defined(DEMO_BUILD_AVX2)
void DepthSortCompactAvx2(const VertexArray& vertices, FaceArray& faces);
#endif
#endif
