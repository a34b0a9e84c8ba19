// The depth sort's SSE2 build.
#include "geometry/depth_sort_fast.h"

#include "cpu/build_contents.h"

#if defined(DEMO_BUILD_SSE2)
#include "geometry/depth_sort_compact.h"

void DepthSortSse2(const VertexArray& vertices, FaceArray& faces) {
    compact_sort::SortInCompactCopy<compact_sort::FillSlots, compact_sort::CollectCandidates>(vertices, faces);
}
#endif
