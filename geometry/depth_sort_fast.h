// The depth sort's fast paths, which DepthSortFaces chooses from: the SSE2
// and AVX2 builds of one sort (geometry/depth_sort_compact.h), in
// depth_sort_sse2.cpp and depth_sort_avx2.cpp; a build has those
// cpu/build_contents.h names. They leave the same slots as the plain sort;
// meshes too large for its copy on the stack, or with a key too far from zero
// for its packed slots, go to the plain sort.
#pragma once

#include "geometry/mesh.h"

void DepthSortSse2(const VertexArray& vertices, FaceArray& faces);
void DepthSortAvx2(const VertexArray& vertices, FaceArray& faces);
