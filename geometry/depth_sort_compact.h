// The depth sort's SSE2 and AVX2 builds (geometry/depth_sort_fast.h): the
// plain sort's quicksort, exchange for exchange, in a compact copy of the
// keys. In reading order: the sort itself, from the faces into the copy and
// back, with two lines of work through the quicksort's ranges; the partition,
// without a branch per key; the ranges of up to five slots, finished from a
// table. A level gives its own ways of filling the copy and of listing a
// partition's candidates (depth_sort_avx2.cpp); this header gives SSE2's.
#pragma once

#include <emmintrin.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "geometry/depth_sort.h"
#include "geometry/mesh.h"
#include "geometry/quicksort.h"

namespace compact_sort {

// Meshes up to this size are sorted in a compact copy on the stack.
inline constexpr std::int32_t kCompactSortLimit = 4096;

// A slot of the copy is one word: the key above the order, so that an exchange
// moves one word. Keys from -kKeyLimit to kKeyLimit - 1 fit; a mesh with a key
// beyond goes to the plain sort.
inline constexpr std::int32_t kOrderBits = 12;
inline constexpr std::int32_t kOrderMask = (1 << kOrderBits) - 1;
inline constexpr std::int32_t kKeyLimit = 1 << (31 - kOrderBits);
static_assert(kCompactSortLimit - 1 <= kOrderMask);

constexpr std::int32_t Packed(std::int32_t key, std::int32_t order) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(key) << kOrderBits) | order;
}
constexpr std::int32_t KeyOf(std::int32_t slot) { return slot >> kOrderBits; }
constexpr std::int32_t OrderOf(std::int32_t slot) { return slot & kOrderMask; }
constexpr bool KeyFits(std::int32_t key) { return key >= -kKeyLimit && key < kKeyLimit; }

// Keys compared through whole slots: a slot's key is below the pivot's exactly
// when the slot is below the lowest slot of the pivot's key, and above it when
// it is above the highest.
constexpr std::int32_t LowestOfKey(std::int32_t slot) { return slot & ~kOrderMask; }
constexpr std::int32_t HighestOfKey(std::int32_t slot) { return slot | kOrderMask; }

// Candidates are gathered eight keys at a time, so the arrays have room for a
// group that reaches past the last slot.
inline constexpr std::int32_t kGroup = 8;

// Ranges of up to this many slots are finished from a table, not partitioned.
inline constexpr std::int32_t kSmallRange = 5;

// The candidate lists take whole groups of positions, up to sixteen, from
// where they have got to.
inline constexpr std::int32_t kListRoom = 16;

// The packed slots, and room for each partition's candidate lists.
struct CompactSort {
    std::array<std::int32_t, kCompactSortLimit + kGroup> slots;
    // Positions with key >= pivot, ascending, then a sentinel past any position.
    std::array<std::int16_t, kCompactSortLimit + kListRoom> atLeast;
    // A sentinel before any position, then the positions with key <= pivot, ascending.
    std::array<std::int16_t, kCompactSortLimit + 1 + kListRoom> atMost;
};

// `yes` where the mask is all ones, `no` where it is zero, with no branch for
// the compiler to make of it.
constexpr std::int32_t Choose(std::int32_t mask, std::int32_t yes, std::int32_t no) {
    return no ^ ((no ^ yes) & mask);
}

// A level's way of filling the copy: every face's key and order into the
// packed slots; false when a key is too far from zero to be packed.
using SlotFill = bool (*)(const VertexArray& vertices, const FaceArray& faces, CompactSort& sort);

// A level's way of listing a partition's candidates (see Partition).
struct CandidateCounts {
    std::size_t atLeast, atMost;
};
using CandidateCollector = CandidateCounts (*)(CompactSort&, std::int32_t left, std::int32_t right, std::int32_t pivot);

// Where a partition's two scans stopped: i just past the left part, j just
// before the right part.
struct Crossing {
    std::int32_t i, j;
};

// The steps below, in the order they are defined.
template <CandidateCollector Collect>
void QuickSortCompact(CompactSort& sort, std::int32_t lo, std::int32_t hi);
template <CandidateCollector Collect>
Crossing Partition(CompactSort& sort, std::int32_t left, std::int32_t right);
inline void FinishSmallRange(CompactSort& sort, std::int32_t left, std::int32_t right);

// --- The sort ---------------------------------------------------------------

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

// SSE2's fill of the copy: DepthKey face by face.
inline bool FillSlots(const VertexArray& vertices, const FaceArray& faces, CompactSort& sort) {
    for (std::size_t f = 0; f < faces.size(); ++f) {
        const std::int32_t key = DepthKey(vertices, faces[f]);
        if (!KeyFits(key)) return false;
        sort.slots[f] = Packed(key, static_cast<std::int32_t>(f));
    }
    return true;
}

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

// --- The partition ----------------------------------------------------------

// The quicksort's partition without a data-dependent branch per key. Before the
// scans cross, the left scan stops exactly at the slots whose original key is
// >= pivot, in order, and the right scan at those whose key is <= pivot, from
// the right; so the k-th exchange pairs the k-th of each list, for as long as
// the pair has not crossed (the pivot's own slot is in both lists, so there is
// at least one). After the last exchange the scans, if they have not passed
// each other already, stop at the next candidate or at the slot the other
// side's last exchange filled, whichever comes first. The two lists are made
// first, a group of keys at a time (Collect), and then exchanged pair by pair.
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

// A table, not std::popcount: the baseline instruction set has no population count.
inline constexpr auto kLaneCounts = [] {
    std::array<std::uint8_t, 256> counts{};
    for (unsigned chosen = 0; chosen < 256; ++chosen) counts[chosen] = static_cast<std::uint8_t>(std::popcount(chosen));
    return counts;
}();

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

// SSE2's lists: the positions left..right whose key is >= pivot and those
// whose key is <= pivot, eight keys per step, with no branch on any key.
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

// --- Ranges of up to five slots ---------------------------------------------

// The quicksort only compares keys, so its result on so few slots is a
// permutation fixed by how the keys compare, and that is told by how many keys
// of the range are smaller than each. The table holds the permutation for
// every such pattern, worked out by the quicksort itself at compile time. A
// pattern is numbered sum(smaller[i] * 5^i) within the block of its slot count.
inline constexpr std::int32_t kPatternBase = 5;
inline constexpr std::int32_t kFirstOfCount[kSmallRange + 1] = {0, 0, 1, 1 + 25, 1 + 25 + 125, 1 + 25 + 125 + 625};
inline constexpr std::size_t kPatterns = 1 + 25 + 125 + 625 + 3125;

struct SmallPermutation {
    std::uint8_t from[kSmallRange];  // slot i takes what slot from[i] held
};

// The pattern of the first `count` keys (0..5), as the table numbers it.
constexpr std::int32_t PatternIndex(const std::int32_t* k, std::int32_t count) {
    std::int32_t pattern = 0;
    for (std::int32_t i = 0, weight = 1; i < count; ++i, weight *= kPatternBase) {
        std::int32_t smaller = 0;
        for (std::int32_t j = 0; j < count; ++j) smaller += k[j] < k[i];
        pattern += smaller * weight;
    }
    return kFirstOfCount[count] + pattern;
}

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
            Face slots[kSmallRange] = {};
            for (std::int32_t i = 0, rest = a; i < count; ++i, rest /= count) {
                keys[i] = rest % count;
                slots[i].depthKey = keys[i];
                slots[i].order = i;
            }
            QuickSortSlots(slots, 0, count - 1);
            SmallPermutation& entry = table[static_cast<std::size_t>(PatternIndex(keys, count))];
            for (std::int32_t i = 0; i < count; ++i) entry.from[i] = static_cast<std::uint8_t>(slots[i].order);
        }
    }
    return table;
}();

// A range of up to five slots (or none) in one step and without a branch on
// its keys: the five slots from `left` are read and written back, those past
// the range unchanged. The arrays' spare room covers slots past the last face.
inline void FinishSmallRange(CompactSort& sort, std::int32_t left, std::int32_t right) {
    const auto first = static_cast<std::size_t>(left);
    std::int32_t before[kSmallRange], keys[kSmallRange];
    for (std::size_t i = 0; i < kSmallRange; ++i) {
        before[i] = sort.slots[first + i];
        keys[i] = KeyOf(before[i]);
    }
    const std::int32_t count = std::clamp(right - left + 1, 0, kSmallRange);
    const SmallPermutation& permutation = kSmallPermutations[static_cast<std::size_t>(PatternIndex(keys, count))];
    for (std::size_t i = 0; i < kSmallRange; ++i) {
        sort.slots[first + i] = before[permutation.from[i]];
    }
}

}  // namespace compact_sort
