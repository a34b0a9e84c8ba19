// The depth sort's SSE2 and AVX2 builds: the same quicksort as the plain
// sort, on a compact copy of the keys (geometry/depth_sort_slots.h), each
// partition without a branch per key (depth_sort_partition.h), ranges of up
// to five slots finished from a table (depth_sort_small_ranges.h) and two
// ranges worked side by side (depth_sort_two_lines.h). They leave the same
// slots as the plain sort; meshes too large for the copy on the stack, or with
// a key too far from zero for its packed slots, go to the plain sort.
#pragma once

#include "geometry/mesh.h"

void DepthSortSse2(const VertexArray& vertices, FaceArray& faces);
void DepthSortAvx2(const VertexArray& vertices, FaceArray& faces);
