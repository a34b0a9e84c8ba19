// The depth sort's fast builds put together: the quicksort's ranges worked
// by two lines of work side by side, in the compact copy.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "geometry/depth_sort.h"
#include "geometry/depth_sort_partition.h"
#include "geometry/depth_sort_slots.h"
#include "geometry/depth_sort_small_ranges.h"
#include "geometry/mesh.h"
#include "geometry/quicksort.h"


namespace compact_sort {

// One line of work through the ranges: the range in hand and those put off.
struct SortLine {
    SortRangeStack stack;
    SortRange range{0, -1};
    bool busy = false;
};

// One step of a line: the range in hand partitioned, carrying on with the
// smaller part and putting off the larger (the choice made without a branch:
// it goes either way at random); or, once it is small, finished from the table
// and the next put-off range taken up.
template <CandidateCollector Collect>
[[gnu::always_inline]] inline void Step(CompactSort& sort, SortLine& line) {
    auto& [left, right] = line.range;
    if (right - left >= kSmallRange) {
        const auto [i, j] = Partition<Collect>(sort, left, right);
        const std::int32_t leftIsSmaller = -static_cast<std::int32_t>(j - left < right - i);
        const SortRange larger = {Choose(leftIsSmaller, i, left), Choose(leftIsSmaller, right, j)};
        left = Choose(leftIsSmaller, left, i);
        right = Choose(leftIsSmaller, j, right);
        line.stack.entries[line.stack.top] = larger;  // kept only when it holds two slots or more
        line.stack.top += larger.low < larger.high;
        return;
    }
    FinishSmallRange(sort, left, right);
    line.busy = line.stack.top != 1;
    if (line.busy) line.range = Pop(line.stack);
}

// An idle line takes up a range the other has put off.
inline void ShareWork(SortLine& idle, SortLine& other) {
    if (idle.busy || other.stack.top == 1) return;
    idle.range = Pop(other.stack);
    idle.busy = true;
}

// A range's final order depends on its own keys alone, so the ranges may be
// worked in any order: two lines of work go side by side, one step each in
// turn, and the processor overlaps the one's loads and comparisons with the
// other's.
template <CandidateCollector Collect>
void QuickSortCompact(CompactSort& sort, std::int32_t lo, std::int32_t hi) {
    SortLine first, second;
    first.range = {lo, hi};
    first.busy = true;
    while (first.busy || second.busy) {
        ShareWork(second, first);
        ShareWork(first, second);
        if (first.busy) Step<Collect>(sort, first);
        if (second.busy) Step<Collect>(sort, second);
    }
}

// Keys into the packed copy, the sort, and the slots back into the faces.
template <SlotFill kFill, CandidateCollector kCollect>
[[gnu::always_inline]] inline void SortInCompactCopy(const VertexArray& vertices, FaceArray& faces) {
    CompactSort sort;
    if (faces.empty() || faces.size() > static_cast<std::size_t>(kCompactSortLimit) || !kFill(vertices, faces, sort)) {
        DepthSortPlain(vertices, faces);
        return;
    }
    // The last group of keys, and the last small range, may reach past the
    // last face: those slots are read (and written back unchanged).
    std::fill_n(sort.slots.begin() + static_cast<std::ptrdiff_t>(faces.size()), kGroup, 0);
    QuickSortCompact<kCollect>(sort, 0, static_cast<std::int32_t>(faces.size()) - 1);
    for (std::size_t f = 0; f < faces.size(); ++f) {
        faces[f].depthKey = KeyOf(sort.slots[f]);
        faces[f].order = OrderOf(sort.slots[f]);
    }
}

}  // namespace compact_sort
