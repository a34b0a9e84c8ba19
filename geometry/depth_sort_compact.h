// The depth sort's SSE2 path: the same quicksort on a compact copy of the keys,
// each partition without a branch per key.
#pragma once

#include "geometry/mesh.h"

#if defined(__SSE2__)
#define DEMO_HAVE_COMPACT_DEPTH_SORT 1

// Leaves the same slots as the plain sort; meshes too large for its copy on
// the stack, or with a key too far from zero for its packed slots, go to the
// plain sort.
void DepthSortCompact(const VertexArray& vertices, FaceArray& faces);

// The same built for AVX2; 64-bit x86 only.
#if defined(__GNUC__) && defined(__x86_64__)
#define DEMO_HAVE_COMPACT_DEPTH_SORT_AVX2 1
#define DEMO_AVX2_DEPTH_SORT __attribute__((target("avx2")))
void DepthSortCompactAvx2(const VertexArray& vertices, FaceArray& faces);
#endif
#endif
