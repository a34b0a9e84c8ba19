#include "geometry/depth_sort_sse2.h"

#include "cpu/build_contents.h"

#if defined(DEMO_BUILD_SSE2)
#include "geometry/depth_sort_two_lines.h"

void DepthSortSse2(const VertexArray& vertices, FaceArray& faces) {
    compact_sort::SortInCompactCopy<compact_sort::FillSlots, compact_sort::CollectCandidates>(vertices, faces);
}
#endif
