#include "geometry/depth_sort.h"

#include <array>
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

// The quicksort over anything with (depthKey, order) slots: the face records
// themselves, or a compact copy of just those two fields.
template <typename Slot>
void QuickSortSlots(Slot* slots, std::int32_t lo, std::int32_t hi) {
    RangeStack stack;
    Push(stack, {lo, hi});
    do {
        auto [left, right] = Pop(stack);
        do {
            std::int32_t i = left;
            std::int32_t j = right;
            const std::int32_t pivot = slots[(left + right) >> 1].depthKey;
            do {
                while (slots[i].depthKey < pivot) ++i;
                while (slots[j].depthKey > pivot) --j;
                if (i <= j) {
                    std::swap(slots[i].depthKey, slots[j].depthKey);
                    std::swap(slots[i].order, slots[j].order);
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

struct KeyAndOrder {
    std::int32_t depthKey;
    std::int32_t order;
};

// Meshes up to this size are sorted in a compact copy on the stack, which
// keeps the sort's working set in the first-level cache.
constexpr std::size_t kCompactSortLimit = 4096;

}  // namespace

void QuickSortFaces(FaceArray& faces, std::int32_t lo, std::int32_t hi) {
    QuickSortSlots(faces.data(), lo, hi);
}

void DepthSortFaces(const VertexArray& vertices, FaceArray& faces) {
    if (faces.empty()) return;
    const auto depth = [&](std::int32_t index) {
        return static_cast<double>(vertices[static_cast<std::size_t>(index)].tz);
    };
    const auto key = [&](const Face& face) {
        return RoundToInt32((depth(face.vert1) + depth(face.vert0)) + depth(face.vert2));
    };
    const auto last = static_cast<std::int32_t>(faces.size() - 1);
    if (faces.size() > kCompactSortLimit) {
        for (std::size_t f = 0; f < faces.size(); ++f) {
            faces[f].depthKey = key(faces[f]);
            faces[f].order = static_cast<std::int32_t>(f);
        }
        QuickSortFaces(faces, 0, last);
        return;
    }
    std::array<KeyAndOrder, kCompactSortLimit> slots;
    for (std::size_t f = 0; f < faces.size(); ++f) {
        slots[f] = {key(faces[f]), static_cast<std::int32_t>(f)};
    }
    QuickSortSlots(slots.data(), 0, last);
    for (std::size_t f = 0; f < faces.size(); ++f) {
        faces[f].depthKey = slots[f].depthKey;
        faces[f].order = slots[f].order;
    }
}
