// The depth sort's SSE2 path: the same quicksort on a compact copy of the keys,
// each partition without a branch per key.
#pragma once

#include "geometry/mesh.h"

#if defined(__SSE2__)
#define DEMO_HAVE_COMPACT_DEPTH_SORT 1

// Leaves the same slots as the plain sort; meshes too large for its copy on
// the stack go to the plain sort.
void DepthSortCompact(const VertexArray& vertices, FaceArray& faces);
#endif
