// The depth sort's partition without a branch per key: the positions the
// quicksort's two scans would stop at are listed first, a group of keys at a
// time, and then exchanged pair by pair.
#pragma once

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "geometry/depth_sort_slots.h"

namespace compact_sort {

// For each set of chosen lanes of a group of eight: the chosen lane numbers in
// ascending order, and how many there are.
struct alignas(16) LaneList {
    std::int16_t lanes[kGroup];
};

inline constexpr auto kLaneLists = [] {
    std::array<LaneList, 256> lists{};
    for (int chosen = 0; chosen < 256; ++chosen) {
        int count = 0;
        for (int lane = 0; lane < kGroup; ++lane) {
            if (chosen >> lane & 1) lists[static_cast<std::size_t>(chosen)].lanes[count++] = static_cast<std::int16_t>(lane);
        }
    }
    return lists;
}();

inline constexpr auto kLaneCounts = [] {
    std::array<std::uint8_t, 256> counts{};
    for (int chosen = 0; chosen < 256; ++chosen) {
        for (int lane = 0; lane < kGroup; ++lane) counts[static_cast<std::size_t>(chosen)] =
            static_cast<std::uint8_t>(counts[static_cast<std::size_t>(chosen)] + (chosen >> lane & 1));
    }
    return counts;
}();

struct CandidateCounts {
    std::size_t atLeast, atMost;
};

// A level's way of listing a partition's candidates; the sort is built once for each.
using CandidateCollector = CandidateCounts (*)(CompactSort&, std::int32_t left, std::int32_t right, std::int32_t pivot);

// Appends a group's chosen positions to the two lists: the group starts at
// `positions` (in every lane), the masks choose its lanes.
inline void AppendCandidates(CompactSort& sort, CandidateCounts& counts, __m128i positions, unsigned atLeast,
                             unsigned atMost) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(sort.atLeast.data() + counts.atLeast),
                     _mm_add_epi16(positions, _mm_load_si128(reinterpret_cast<const __m128i*>(kLaneLists[atLeast].lanes))));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(sort.atMost.data() + 1 + counts.atMost),
                     _mm_add_epi16(positions, _mm_load_si128(reinterpret_cast<const __m128i*>(kLaneLists[atMost].lanes))));
    counts.atLeast += kLaneCounts[atLeast];
    counts.atMost += kLaneCounts[atMost];
}

// The lanes of a group that lie in the range.
inline unsigned LanesInRange(std::int32_t x, std::int32_t right) {
    return 0xFFu >> (kGroup - std::min(right + 1 - x, kGroup));
}

// Lists the positions left..right whose key is >= pivot and those whose key
// is <= pivot, eight keys per step, with no branch on any key.
inline CandidateCounts CollectCandidates(CompactSort& sort, std::int32_t left, std::int32_t right, std::int32_t pivot) {
    const __m128i pivotLow = _mm_set1_epi32(LowestOfKey(pivot));
    const __m128i pivotHigh = _mm_set1_epi32(HighestOfKey(pivot));
    __m128i positions = _mm_set1_epi16(static_cast<std::int16_t>(left));
    CandidateCounts counts{0, 0};
    for (std::int32_t x = left; x <= right; x += kGroup) {
        const auto* slots = reinterpret_cast<const __m128i*>(sort.slots.data() + x);
        const __m128i low = _mm_loadu_si128(slots);
        const __m128i high = _mm_loadu_si128(slots + 1);
        const __m128i below = _mm_packs_epi32(_mm_cmplt_epi32(low, pivotLow), _mm_cmplt_epi32(high, pivotLow));
        const __m128i above = _mm_packs_epi32(_mm_cmpgt_epi32(low, pivotHigh), _mm_cmpgt_epi32(high, pivotHigh));
        const auto bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_packs_epi16(below, above)));
        const unsigned inRange = LanesInRange(x, right);
        AppendCandidates(sort, counts, positions, ~bits & inRange, ~(bits >> 8) & inRange);
        positions = _mm_add_epi16(positions, _mm_set1_epi16(kGroup));
    }
    return counts;
}

// The quicksort's partition without a data-dependent branch per key. Before the
// scans cross, the left scan stops exactly at the slots whose original key is
// >= pivot, in order, and the right scan at those whose key is <= pivot, from
// the right; so the k-th exchange pairs the k-th of each list, for as long as
// the pair has not crossed (the pivot's own slot is in both lists, so there is
// at least one). After the last exchange the scans, if they have not passed
// each other already, stop at the next candidate or at the slot the other
// side's last exchange filled, whichever comes first.
template <CandidateCollector Collect>
Crossing Partition(CompactSort& sort, std::int32_t left, std::int32_t right) {
    const std::int32_t pivot = sort.slots[static_cast<std::size_t>((left + right) >> 1)];
    const CandidateCounts counts = Collect(sort, left, right, pivot);
    sort.atLeast[counts.atLeast] = kCompactSortLimit;
    sort.atMost[0] = -1;
    // The k-th candidate from each end, k from 1; past either list, a sentinel.
    const auto fromLeft = [&](std::size_t k) -> std::int32_t { return sort.atLeast[k - 1]; };
    const auto fromRight = [&](std::size_t k) -> std::int32_t { return sort.atMost[counts.atMost + 1 - k]; };
    std::size_t k = 1;
    do {
        const auto a = static_cast<std::size_t>(fromLeft(k));
        const auto b = static_cast<std::size_t>(fromRight(k));
        std::swap(sort.slots[a], sort.slots[b]);
        ++k;
    } while (fromLeft(k) <= fromRight(k));
    const std::size_t exchanges = k - 1;
    const std::int32_t lastLeft = fromLeft(exchanges);
    const std::int32_t lastRight = fromRight(exchanges);
    // Both candidates are read either way (the sentinels bound the lists), and
    // the choice is made with a mask: whether the scans passed each other at
    // the last exchange goes either way at random.
    const std::int32_t passed = -static_cast<std::int32_t>(lastRight - lastLeft <= 1);
    return {Choose(passed, lastLeft + 1, std::min(fromLeft(exchanges + 1), lastRight)),
            Choose(passed, lastRight - 1, std::max(fromRight(exchanges + 1), lastLeft))};
}

}  // namespace compact_sort
