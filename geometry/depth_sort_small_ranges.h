// The depth sort's ranges of up to five slots, finished in one step from a
// table instead of partitioned.
#pragma once

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>

#include "geometry/depth_sort_slots.h"
#include "geometry/quicksort.h"

namespace compact_sort {

// The quicksort only compares keys, so its result on so few slots is a
// permutation fixed by how the keys compare, and that is told by how many keys
// of the range are smaller than each. The table holds the permutation for
// every such pattern, worked out by the quicksort itself at compile time. A
// pattern is numbered sum(smaller[i] * 5^i) within the block of its slot count.
inline constexpr std::int32_t kSmallRange = 5;
inline constexpr std::int32_t kPatternBase = 5;
inline constexpr std::int32_t kFirstOfCount[kSmallRange + 1] = {0, 0, 1, 1 + 25, 1 + 25 + 125, 1 + 25 + 125 + 625};
inline constexpr std::size_t kPatterns = 1 + 25 + 125 + 625 + 3125;

struct SmallPermutation {
    std::uint8_t from[kSmallRange];  // slot i takes what slot from[i] held
};

// The pattern of the first `count` keys (0..5), as the table numbers it.
constexpr std::int32_t PatternIndexPlain(const std::int32_t* k, std::int32_t count) {
    std::int32_t pattern = 0;
    for (std::int32_t i = 0, weight = 1; i < count; ++i, weight *= kPatternBase) {
        std::int32_t smaller = 0;
        for (std::int32_t j = 0; j < count; ++j) smaller += k[j] < k[i];
        pattern += smaller * weight;
    }
    return kFirstOfCount[count] + pattern;
}

struct KeyAndOrder {
    std::int32_t depthKey;
    std::int32_t order;
};

inline constexpr auto kSmallPermutations = [] {
    std::array<SmallPermutation, kPatterns> table{};
    for (SmallPermutation& entry : table) {
        for (std::uint8_t i = 0; i < kSmallRange; ++i) entry.from[i] = i;
    }
    for (std::int32_t count = 2; count <= kSmallRange; ++count) {
        // Every assignment of keys 0..count-1 to the slots: every pattern occurs.
        std::int32_t assignments = 1;
        for (std::int32_t i = 0; i < count; ++i) assignments *= count;
        for (std::int32_t a = 0; a < assignments; ++a) {
            std::int32_t keys[kSmallRange] = {};
            KeyAndOrder slots[kSmallRange] = {};
            for (std::int32_t i = 0, rest = a; i < count; ++i, rest /= count) {
                keys[i] = rest % count;
                slots[i] = {keys[i], i};
            }
            QuickSortSlots(slots, 0, count - 1);
            SmallPermutation& entry = table[static_cast<std::size_t>(PatternIndexPlain(keys, count))];
            for (std::int32_t i = 0; i < count; ++i) entry.from[i] = static_cast<std::uint8_t>(slots[i].order);
        }
    }
    return table;
}();

struct alignas(16) FourLanes {
    std::int32_t lanes[4];
};

// Per slot count: all ones in the lanes of the range's first four slots.
inline constexpr auto kFirstFourInRange = [] {
    std::array<FourLanes, kSmallRange + 1> masks{};
    for (std::int32_t count = 0; count <= kSmallRange; ++count) {
        for (std::int32_t i = 0; i < 4; ++i) masks[static_cast<std::size_t>(count)].lanes[i] = -std::int32_t{i < count};
    }
    return masks;
}();

// PatternIndexPlain of the slots' keys with every comparison made four lanes at
// a time. Keys past the range stand in as the largest key, so that they are
// smaller than none.
inline std::int32_t PatternIndex(const std::int32_t* slots, std::int32_t count) {
    count = std::clamp(count, 0, kSmallRange);
    const auto& firstFour = kFirstFourInRange[static_cast<std::size_t>(count)];
    const __m128i inRange = _mm_load_si128(reinterpret_cast<const __m128i*>(firstFour.lanes));
    const __m128i largest = _mm_set1_epi32(std::numeric_limits<std::int32_t>::max());
    const __m128i keys = _mm_srai_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(slots)), kOrderBits);
    const __m128i first = _mm_or_si128(_mm_and_si128(keys, inRange), _mm_andnot_si128(inRange, largest));
    // Chosen with a mask: GCC makes a branch of the plain choice.
    const std::int32_t hasFifth = -std::int32_t{count == kSmallRange};
    const std::int32_t fifth = (KeyOf(slots[4]) & hasFifth) | (std::numeric_limits<std::int32_t>::max() & ~hasFifth);
    const __m128i fifths = _mm_set1_epi32(fifth);
    // Minus the count of smaller keys, for each of the first four.
    __m128i minusSmaller = _mm_cmpgt_epi32(first, _mm_shuffle_epi32(first, 0x00));
    minusSmaller = _mm_add_epi32(minusSmaller, _mm_cmpgt_epi32(first, _mm_shuffle_epi32(first, 0x55)));
    minusSmaller = _mm_add_epi32(minusSmaller, _mm_cmpgt_epi32(first, _mm_shuffle_epi32(first, 0xAA)));
    minusSmaller = _mm_add_epi32(minusSmaller, _mm_cmpgt_epi32(first, _mm_shuffle_epi32(first, 0xFF)));
    minusSmaller = _mm_add_epi32(minusSmaller, _mm_cmpgt_epi32(first, fifths));
    // Counts below 5 and weights below 2^15: one 16-bit product per lane.
    const __m128i weights = _mm_and_si128(_mm_setr_epi32(1, 5, 25, 125), inRange);
    __m128i sum = _mm_madd_epi16(_mm_sub_epi32(_mm_setzero_si128(), minusSmaller), weights);
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0x4E));
    sum = _mm_add_epi32(sum, _mm_shuffle_epi32(sum, 0xB1));
    // SSE2 has no population count; four bits take a table.
    constexpr std::int32_t kBitsSet[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
    const std::int32_t fifthSmaller = kBitsSet[_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(fifths, first)))];
    return kFirstOfCount[static_cast<std::size_t>(count)] + _mm_cvtsi128_si32(sum) + (fifthSmaller * 625 & hasFifth);
}

// A range of up to five slots (or none) in one step and without a branch on
// its keys: the five slots from `left` are read and written back, those past
// the range unchanged. The arrays' spare room covers slots past the last face.
inline void FinishSmallRange(CompactSort& sort, std::int32_t left, std::int32_t right) {
    const auto first = static_cast<std::size_t>(left);
    const std::int32_t* slots = sort.slots.data() + first;
    const SmallPermutation& permutation = kSmallPermutations[static_cast<std::size_t>(PatternIndex(slots, right - left + 1))];
    std::int32_t before[kSmallRange];
    std::copy_n(slots, kSmallRange, before);
    for (std::size_t i = 0; i < kSmallRange; ++i) {
        sort.slots[first + i] = before[permutation.from[i]];
    }
}

}  // namespace compact_sort
