#include "geometry/depth_sort.h"

#include "cpu/build_contents.h"
#include "cpu/simd_level.h"
#include "geometry/depth_sort_fast.h"
#include "geometry/quicksort.h"

// The reference: keys into the face slots, then the quicksort over them.
void DepthSortPlain(const VertexArray& vertices, FaceArray& faces) {
    for (std::size_t f = 0; f < faces.size(); ++f) {
        faces[f].depthKey = DepthKey(vertices, faces[f]);
        faces[f].order = static_cast<std::int32_t>(f);
    }
    if (!faces.empty()) QuickSortFaces(faces, 0, static_cast<std::int32_t>(faces.size()) - 1);
}

void QuickSortFaces(FaceArray& faces, std::int32_t lo, std::int32_t hi) { QuickSortSlots(faces.data(), lo, hi); }

// The sort's paths by level; every one leaves the same slots.
constexpr SimdPaths<decltype(&DepthSortPlain)> kDepthSortPaths =
    DEMO_SIMD_PATHS(DepthSortPlain, DepthSortSse2, DepthSortAvx2, nullptr);

void DepthSortFaces(const VertexArray& vertices, FaceArray& faces) {
    PathFor(kDepthSortPaths, ActiveSimdLevel())(vertices, faces);
}
