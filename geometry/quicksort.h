// The depth sort's quicksort, written once as a template over the slot record:
// QuickSortFaces runs it on the face array, and the SSE2 sort runs it at
// compile time to work out its table of small-range orders.
#pragma once

#include <cstdint>
#include <utility>

struct SortRange {
    std::int32_t low, high;
};

// Pending ranges. The larger part is always the one pushed, so no more than
// log2(count) + 1 are ever pending; 256 is far above any face count's need.
struct SortRangeStack {
    SortRange entries[257] = {};
    std::int32_t top = 1;  // entry 0 is never used
};

constexpr void Push(SortRangeStack& stack, SortRange range) { stack.entries[stack.top++] = range; }
constexpr SortRange Pop(SortRangeStack& stack) { return stack.entries[--stack.top]; }

// Scan from both ends, exchange, repeat until the scans cross; carry on with
// the smaller part at once and keep the larger for later. Only depthKey and
// order move. Not stable: equal keys end in the order these exact steps leave.
template <typename Slot>
constexpr void QuickSortSlots(Slot* slots, std::int32_t lo, std::int32_t hi) {
    SortRangeStack stack;
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
