#include "geometry/depth_sort.h"

#include <utility>

#include "geometry/rounding.h"

namespace {

struct Range {
    std::int32_t low, high;
};

// Pending ranges. The larger part is always the one pushed, so no more than
// log2(count) + 1 are ever pending; 256 is far above any face count's need.
struct RangeStack {
    Range entries[257] = {};
    std::int32_t top = 1;  // entry 0 is never used
};

void Push(RangeStack& stack, Range range) { stack.entries[stack.top++] = range; }
Range Pop(RangeStack& stack) { return stack.entries[--stack.top]; }

void ExchangeSlots(Face& a, Face& b) {
    std::swap(a.depthKey, b.depthKey);
    std::swap(a.order, b.order);
}

}  // namespace

void QuickSortFaces(FaceArray& faces, std::int32_t lo, std::int32_t hi) {
    const auto key = [&](std::int32_t slot) { return faces[static_cast<std::size_t>(slot)].depthKey; };
    RangeStack stack;
    Push(stack, {lo, hi});
    do {
        auto [left, right] = Pop(stack);
        do {
            std::int32_t i = left;
            std::int32_t j = right;
            const std::int32_t pivot = key((left + right) >> 1);
            do {
                while (key(i) < pivot) ++i;
                while (key(j) > pivot) --j;
                if (i <= j) {
                    ExchangeSlots(faces[static_cast<std::size_t>(i)],
                                  faces[static_cast<std::size_t>(j)]);
                    ++i;
                    --j;
                }
            } while (i <= j);
            // Carry on with the smaller part at once; keep the larger for later.
            if (j - left < right - i) {
                if (i < right) Push(stack, {i, right});
                right = j;
            } else {
                if (left < j) Push(stack, {left, j});
                left = i;
            }
        } while (left < right);
    } while (stack.top != 1);
}

void DepthSortFaces(const VertexArray& vertices, FaceArray& faces) {
    if (faces.empty()) return;
    const auto depth = [&](std::int32_t index) {
        return static_cast<double>(vertices[static_cast<std::size_t>(index)].tz);
    };
    for (std::size_t f = 0; f < faces.size(); ++f) {
        Face& face = faces[f];
        face.depthKey = RoundToInt32((depth(face.vert1) + depth(face.vert0)) + depth(face.vert2));
        face.order = static_cast<std::int32_t>(f);
    }
    QuickSortFaces(faces, 0, static_cast<std::int32_t>(faces.size() - 1));
}
