#include "geometry/depth_sort_compact.h"

#if defined(DEMO_HAVE_COMPACT_DEPTH_SORT)

#include <emmintrin.h>
#if defined(DEMO_HAVE_COMPACT_DEPTH_SORT_AVX2)
#include <immintrin.h>
#endif

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include "geometry/depth_sort.h"
#include "geometry/quicksort.h"

namespace {

// Meshes up to this size are sorted in a compact copy on the stack.
constexpr std::int32_t kCompactSortLimit = 4096;

// A slot of the copy is one word: the key above the order, so that an exchange
// moves one word. Keys from -kKeyLimit to kKeyLimit - 1 fit; a mesh with a key
// beyond goes to the plain sort.
constexpr std::int32_t kOrderBits = 12;
constexpr std::int32_t kOrderMask = (1 << kOrderBits) - 1;
constexpr std::int32_t kKeyLimit = 1 << (31 - kOrderBits);
static_assert(kCompactSortLimit - 1 <= kOrderMask);

constexpr std::int32_t Packed(std::int32_t key, std::int32_t order) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(key) << kOrderBits) | order;
}
constexpr std::int32_t KeyOf(std::int32_t slot) { return slot >> kOrderBits; }
constexpr std::int32_t OrderOf(std::int32_t slot) { return slot & kOrderMask; }

// Keys compared through whole slots: a slot's key is below the pivot's exactly
// when the slot is below the lowest slot of the pivot's key, and above it when
// it is above the highest.
constexpr std::int32_t LowestOfKey(std::int32_t slot) { return slot & ~kOrderMask; }
constexpr std::int32_t HighestOfKey(std::int32_t slot) { return slot | kOrderMask; }

// Candidates are gathered eight keys at a time, so the arrays have room for a
// group that reaches past the last slot.
constexpr std::int32_t kGroup = 8;

// The candidate lists take whole groups of positions, up to sixteen, from
// where they have got to.
constexpr std::int32_t kListRoom = 16;

// The packed slots, and room for each partition's candidate lists.
struct CompactSort {
    std::array<std::int32_t, kCompactSortLimit + kGroup> slots;
    // Positions with key >= pivot, ascending, then a sentinel past any position.
    std::array<std::int16_t, kCompactSortLimit + kListRoom> atLeast;
    // A sentinel before any position, then the positions with key <= pivot, ascending.
    std::array<std::int16_t, kCompactSortLimit + 1 + kListRoom> atMost;
};

// ---- Ranges of up to five slots, finished from a table ----
//
// The quicksort only compares keys, so its result on so few slots is a
// permutation fixed by how the keys compare, and that is told by how many keys
// of the range are smaller than each. The table holds the permutation for
// every such pattern, worked out by the quicksort itself at compile time. A
// pattern is numbered sum(smaller[i] * 5^i) within the block of its slot count.
constexpr std::int32_t kSmallRange = 5;
constexpr std::int32_t kPatternBase = 5;
constexpr std::int32_t kFirstOfCount[kSmallRange + 1] = {0, 0, 1, 1 + 25, 1 + 25 + 125, 1 + 25 + 125 + 625};
constexpr std::size_t kPatterns = 1 + 25 + 125 + 625 + 3125;

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

constexpr auto kSmallPermutations = [] {
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
constexpr auto kFirstFourInRange = [] {
    std::array<FourLanes, kSmallRange + 1> masks{};
    for (std::int32_t count = 0; count <= kSmallRange; ++count) {
        for (std::int32_t i = 0; i < 4; ++i) masks[static_cast<std::size_t>(count)].lanes[i] = -std::int32_t{i < count};
    }
    return masks;
}();

// PatternIndexPlain of the slots' keys with every comparison made four lanes at
// a time. Keys past the range stand in as the largest key, so that they are
// smaller than none.
std::int32_t PatternIndex(const std::int32_t* slots, std::int32_t count) {
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
void FinishSmallRange(CompactSort& sort, std::int32_t left, std::int32_t right) {
    const auto first = static_cast<std::size_t>(left);
    const std::int32_t* slots = sort.slots.data() + first;
    const SmallPermutation& permutation = kSmallPermutations[static_cast<std::size_t>(PatternIndex(slots, right - left + 1))];
    std::int32_t before[kSmallRange];
    std::copy_n(slots, kSmallRange, before);
    for (std::size_t i = 0; i < kSmallRange; ++i) {
        sort.slots[first + i] = before[permutation.from[i]];
    }
}

// ---- Partitions without a branch per key ----

// For each set of chosen lanes of a group of eight: the chosen lane numbers in
// ascending order, and how many there are.
struct alignas(16) LaneList {
    std::int16_t lanes[kGroup];
};

constexpr auto kLaneLists = [] {
    std::array<LaneList, 256> lists{};
    for (int chosen = 0; chosen < 256; ++chosen) {
        int count = 0;
        for (int lane = 0; lane < kGroup; ++lane) {
            if (chosen >> lane & 1) lists[static_cast<std::size_t>(chosen)].lanes[count++] = static_cast<std::int16_t>(lane);
        }
    }
    return lists;
}();

constexpr auto kLaneCounts = [] {
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
CandidateCounts CollectCandidates(CompactSort& sort, std::int32_t left, std::int32_t right, std::int32_t pivot) {
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

#if defined(DEMO_HAVE_COMPACT_DEPTH_SORT_AVX2)
// The same with the group's eight slots in one register.
DEMO_AVX2_DEPTH_SORT CandidateCounts CollectCandidatesAvx2(CompactSort& sort, std::int32_t left, std::int32_t right,
                                                           std::int32_t pivot) {
    const __m256i pivotLow = _mm256_set1_epi32(LowestOfKey(pivot));
    const __m256i pivotHigh = _mm256_set1_epi32(HighestOfKey(pivot));
    const __m256i rights = _mm256_set1_epi32(right);
    __m256i lanePositions = _mm256_add_epi32(_mm256_set1_epi32(left), _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
    __m128i positions = _mm_set1_epi16(static_cast<std::int16_t>(left));
    CandidateCounts counts{0, 0};
    for (std::int32_t x = left; x <= right; x += kGroup) {
        const __m256i slots = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sort.slots.data() + x));
        // Lanes past the range count as both below and above, so in neither list.
        const __m256i outside = _mm256_cmpgt_epi32(lanePositions, rights);
        const __m256 below = _mm256_castsi256_ps(_mm256_or_si256(_mm256_cmpgt_epi32(pivotLow, slots), outside));
        const __m256 above = _mm256_castsi256_ps(_mm256_or_si256(_mm256_cmpgt_epi32(slots, pivotHigh), outside));
        const auto belowLanes = static_cast<unsigned>(_mm256_movemask_ps(below));
        const auto aboveLanes = static_cast<unsigned>(_mm256_movemask_ps(above));
        AppendCandidates(sort, counts, positions, ~belowLanes & 0xFFu, ~aboveLanes & 0xFFu);
        lanePositions = _mm256_add_epi32(lanePositions, _mm256_set1_epi32(kGroup));
        positions = _mm_add_epi16(positions, _mm_set1_epi16(kGroup));
    }
    return counts;
}
#endif

// `yes` where the mask is all ones, `no` where it is zero, with no branch for
// the compiler to make of it.
constexpr std::int32_t Choose(std::int32_t mask, std::int32_t yes, std::int32_t no) {
    return no ^ ((no ^ yes) & mask);
}

// Where a partition's two scans stopped: i just past the left part, j just
// before the right part.
struct Crossing {
    std::int32_t i, j;
};

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

#if defined(DEMO_HAVE_COMPACT_DEPTH_SORT_AVX2)
// ---- Ranges of up to sixteen slots partitioned in registers ----
//
// The same exchanges as Partition, worked out from the two candidate masks:
// the lanes of each list as nibbles, the number of exchanges from a
// comparison of the lists nibble by nibble, each lane's partner from its rank
// in its list, and all exchanges as one permutation of the registers.

// For each set of a group's lanes: the lane numbers (plus `offset`) in nibbles,
// ascending or descending, and zeros after them.
constexpr std::array<std::uint32_t, 256> LaneNibbles(bool ascending, unsigned offset) {
    std::array<std::uint32_t, 256> lists{};
    for (unsigned chosen = 0; chosen < 256; ++chosen) {
        int count = 0;
        for (unsigned step = 0; step < kGroup; ++step) {
            const unsigned lane = ascending ? step : kGroup - 1 - step;
            if (chosen >> lane & 1) lists[chosen] |= (lane + offset) << (4 * count++);
        }
    }
    return lists;
}
constexpr auto kLowAscending = LaneNibbles(true, 0);
constexpr auto kHighAscending = LaneNibbles(true, kGroup);
constexpr auto kLowDescending = LaneNibbles(false, 0);
constexpr auto kHighDescending = LaneNibbles(false, kGroup);

// The lanes of up to sixteen slots with key >= pivot and <= pivot, one bit a
// lane, and the same as lists: the k-th nibble of fromLeft is the k-th
// candidate from the left, then fillers at or past the last lane (8 for
// eight lanes, 15 for sixteen); of fromRight the k-th from the right, then 0s.
// Where a list has run out, its filler stands in for the scan's sentinel: no
// exchange pairs it, and the stop it gives is the other side's last exchange.
struct RegisterCandidates {
    unsigned atLeast, atMost;
    std::uint64_t fromLeft, fromRight;
};

// Eight lanes, with fillers of 8.
inline RegisterCandidates CandidatesOfEight(unsigned atLeast, unsigned atMost) {
    const std::uint64_t pastLast = 0x8888888888888888u << (4 * __builtin_popcount(atLeast));
    return {atLeast, atMost, kLowAscending[atLeast] | pastLast, kLowDescending[atMost]};
}

// Sixteen lanes, with fillers of 15.
inline RegisterCandidates CandidatesOfSixteen(unsigned atLeast, unsigned atMost) {
    const unsigned leastLow = atLeast & 0xFF, mostHigh = atMost >> kGroup;
    const int countLeast = __builtin_popcount(atLeast);
    const std::uint64_t pastLast = (~std::uint64_t{0} << (4 * countLeast & 63)) & -std::uint64_t{countLeast < 16};
    return {atLeast, atMost,
            kLowAscending[leastLow] | std::uint64_t{kHighAscending[atLeast >> kGroup]} << (4 * __builtin_popcount(leastLow)) |
                pastLast,
            kHighDescending[mostHigh] | std::uint64_t{kLowDescending[atMost & 0xFF]} << (4 * __builtin_popcount(mostHigh))};
}

// A pair is exchanged while its left lane is not past its right; no pair with
// a filler is. For eight lanes: nibble by nibble, fromRight + 8 - fromLeft
// stays in 0..15, so no nibble borrows from the next.
inline std::int32_t ExchangeCountOfEight(const RegisterCandidates& c) {
    constexpr std::uint64_t kNibbleTops = 0x8888888888888888u;
    return __builtin_popcountll(((c.fromRight | kNibbleTops) - c.fromLeft) & kNibbleTops);
}

// For sixteen lanes: in bytes, even nibbles and odd apart.
inline std::int32_t ExchangeCountOfSixteen(const RegisterCandidates& c) {
    constexpr std::uint64_t kLowNibbles = 0x0F0F0F0F0F0F0F0Fu, kByteTops = 0x8080808080808080u;
    const auto notPast = [](std::uint64_t left, std::uint64_t right) {
        return __builtin_popcountll((((right & kLowNibbles) | kByteTops) - (left & kLowNibbles)) & kByteTops);
    };
    return notPast(c.fromLeft, c.fromRight) + notPast(c.fromLeft >> 4, c.fromRight >> 4);
}

constexpr std::int32_t NthLane(std::uint64_t lanes, std::int32_t n) {
    return static_cast<std::int32_t>(lanes >> (4 * n) & 15);
}

// Where the scans stop, as in Partition.
[[gnu::always_inline]] inline Crossing CrossingInRegisters(std::int32_t left, const RegisterCandidates& c,
                                                           std::int32_t exchanges) {
    const std::int32_t lastLeft = NthLane(c.fromLeft, exchanges - 1);
    const std::int32_t lastRight = NthLane(c.fromRight, exchanges - 1);
    const std::int32_t passed = -static_cast<std::int32_t>(lastRight - lastLeft <= 1);
    return {left + Choose(passed, lastLeft + 1, std::min(NthLane(c.fromLeft, exchanges), lastRight)),
            left + Choose(passed, lastRight - 1, std::max(NthLane(c.fromRight, exchanges), lastLeft))};
}

DEMO_AVX2_DEPTH_SORT inline unsigned LaneBits(__m256i lanes) {
    return static_cast<unsigned>(_mm256_movemask_ps(_mm256_castsi256_ps(lanes)));
}

// Four times the number of bits set in each lane (each below 256).
DEMO_AVX2_DEPTH_SORT inline __m256i FourTimesBitsSet(__m256i lanes) {
    const __m256i perNibble = _mm256_setr_epi8(0, 4, 4, 8, 4, 8, 8, 12, 4, 8, 8, 12, 8, 12, 12, 16,  //
                                               0, 4, 4, 8, 4, 8, 8, 12, 4, 8, 8, 12, 8, 12, 12, 16);
    const __m256i low = _mm256_and_si256(lanes, _mm256_set1_epi32(0x0F));
    const __m256i high = _mm256_srli_epi32(lanes, 4);
    return _mm256_add_epi32(_mm256_shuffle_epi8(perNibble, low), _mm256_shuffle_epi8(perNibble, high));
}

// For the eight lanes from `first` (0 or 8): where each takes its slot from.
// A lane in the first `exchanges` of a list takes its partner's, found by its
// rank in its list (times four: the shift to the partner's nibble); others
// keep their own. The lane of a last exchange with itself is in both lists.
// Of the other eight lanes, `leastBefore` candidates come before these from
// the left and `mostAfter` after them from the right.
DEMO_AVX2_DEPTH_SORT inline __m256i SourceLanes(const RegisterCandidates& c, std::int32_t exchanges, unsigned first,
                                                int leastBefore, int mostAfter) {
    const __m256i laneBit = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
    const __m256i lanesBefore = _mm256_sub_epi32(laneBit, _mm256_set1_epi32(1));
    const __m256i lanesAfter = _mm256_xor_si256(_mm256_add_epi32(lanesBefore, laneBit), _mm256_set1_epi32(0xFF));
    const auto leastHere = static_cast<int>(c.atLeast >> first & 0xFF), mostHere = static_cast<int>(c.atMost >> first & 0xFF);
    const __m256i least = _mm256_set1_epi32(leastHere), most = _mm256_set1_epi32(mostHere);
    const __m256i rankFromLeft =
        _mm256_add_epi32(FourTimesBitsSet(_mm256_and_si256(least, lanesBefore)), _mm256_set1_epi32(4 * leastBefore));
    const __m256i rankFromRight =
        _mm256_add_epi32(FourTimesBitsSet(_mm256_and_si256(most, lanesAfter)), _mm256_set1_epi32(4 * mostAfter));
    const __m256i exchanged = _mm256_set1_epi32(4 * exchanges);
    const __m256i leftOnes = _mm256_and_si256(_mm256_cmpeq_epi32(_mm256_and_si256(least, laneBit), laneBit),
                                              _mm256_cmpgt_epi32(exchanged, rankFromLeft));
    const __m256i rightOnes = _mm256_and_si256(_mm256_cmpeq_epi32(_mm256_and_si256(most, laneBit), laneBit),
                                               _mm256_cmpgt_epi32(exchanged, rankFromRight));
    // Partners lie among the first eight nibbles of the lists (there are at
    // most eight exchanges); only a lane's low four bits count from here on.
    const __m256i partnerOfLeft = _mm256_srlv_epi32(_mm256_set1_epi32(static_cast<int>(c.fromRight)), rankFromLeft);
    const __m256i partnerOfRight = _mm256_srlv_epi32(_mm256_set1_epi32(static_cast<int>(c.fromLeft)), rankFromRight);
    const __m256i own = _mm256_add_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), _mm256_set1_epi32(static_cast<int>(first)));
    return _mm256_blendv_epi8(_mm256_blendv_epi8(own, partnerOfRight, rightOnes), partnerOfLeft, leftOnes);
}

// Partition for left..right of up to eight slots: the eight slots from left
// are read and written back, those past the range unchanged.
DEMO_AVX2_DEPTH_SORT inline Crossing PartitionInRegister(CompactSort& sort, std::int32_t left, std::int32_t right) {
    std::int32_t* group = sort.slots.data() + left;
    const std::int32_t pivot = sort.slots[static_cast<std::size_t>((left + right) >> 1)];
    const __m256i slots = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(group));
    const unsigned inRange = 0xFFu >> (kGroup - 1 - (right - left));
    const unsigned below = LaneBits(_mm256_cmpgt_epi32(_mm256_set1_epi32(LowestOfKey(pivot)), slots));
    const unsigned above = LaneBits(_mm256_cmpgt_epi32(slots, _mm256_set1_epi32(HighestOfKey(pivot))));
    const RegisterCandidates candidates = CandidatesOfEight(~below & inRange, ~above & inRange);
    const std::int32_t exchanges = ExchangeCountOfEight(candidates);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(group),
                        _mm256_permutevar8x32_epi32(slots, SourceLanes(candidates, exchanges, 0, 0, 0)));
    return CrossingInRegisters(left, candidates, exchanges);
}

// Lanes 0..15 of two registers picked by `from`, eight of them.
DEMO_AVX2_DEPTH_SORT inline __m256i PickFromTwo(__m256i low, __m256i high, __m256i from) {
    const __m256 fromHigh = _mm256_castsi256_ps(_mm256_slli_epi32(from, 28));
    return _mm256_castps_si256(_mm256_blendv_ps(_mm256_castsi256_ps(_mm256_permutevar8x32_epi32(low, from)),
                                                _mm256_castsi256_ps(_mm256_permutevar8x32_epi32(high, from)), fromHigh));
}

// The same for left..right of nine to sixteen slots, the sixteen from left read
// and written back (the array's spare room covers those past the last face).
DEMO_AVX2_DEPTH_SORT inline Crossing PartitionInTwoRegisters(CompactSort& sort, std::int32_t left, std::int32_t right) {
    std::int32_t* group = sort.slots.data() + left;
    const std::int32_t pivot = sort.slots[static_cast<std::size_t>((left + right) >> 1)];
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(group));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(group + kGroup));
    const unsigned inRange = 0xFFFFu >> (2 * kGroup - 1 - (right - left));
    const __m256i lowest = _mm256_set1_epi32(LowestOfKey(pivot)), highest = _mm256_set1_epi32(HighestOfKey(pivot));
    const unsigned below = LaneBits(_mm256_cmpgt_epi32(lowest, low)) | LaneBits(_mm256_cmpgt_epi32(lowest, high)) << kGroup;
    const unsigned above = LaneBits(_mm256_cmpgt_epi32(low, highest)) | LaneBits(_mm256_cmpgt_epi32(high, highest)) << kGroup;
    const RegisterCandidates candidates = CandidatesOfSixteen(~below & inRange, ~above & inRange);
    const std::int32_t exchanges = ExchangeCountOfSixteen(candidates);
    const int leastLow = __builtin_popcount(candidates.atLeast & 0xFF);
    const int mostHigh = __builtin_popcount(candidates.atMost >> kGroup);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(group),
                        PickFromTwo(low, high, SourceLanes(candidates, exchanges, 0, 0, mostHigh)));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(group + kGroup),
                        PickFromTwo(low, high, SourceLanes(candidates, exchanges, kGroup, leastLow, 0)));
    return CrossingInRegisters(left, candidates, exchanges);
}
#endif

// ---- Keys into the packed slots ----

// Every face's key and order into the packed slots; false when a key is too
// far from zero to be packed.
using SlotFill = bool (*)(const VertexArray& vertices, const FaceArray& faces, CompactSort& sort);

constexpr bool KeyFits(std::int32_t key) { return key >= -kKeyLimit && key < kKeyLimit; }

inline bool FillSlots(const VertexArray& vertices, const FaceArray& faces, CompactSort& sort) {
    for (std::size_t f = 0; f < faces.size(); ++f) {
        const std::int32_t key = DepthKey(vertices, faces[f]);
        if (!KeyFits(key)) return false;
        sort.slots[f] = Packed(key, static_cast<std::int32_t>(f));
    }
    return true;
}

#if defined(DEMO_HAVE_COMPACT_DEPTH_SORT_AVX2)
// One corner's depth of four faces, widened to double.
DEMO_AVX2_DEPTH_SORT inline __m256d DepthsOfFour(const VertexArray& vertices, const Face* four, std::int32_t Face::*corner) {
    const auto depth = [&](std::size_t i) { return vertices[static_cast<std::size_t>(four[i].*corner)].tz; };
    return _mm256_cvtps_pd(_mm_setr_ps(depth(0), depth(1), depth(2), depth(3)));
}

// FillSlots four faces at a time: DepthKey's sum in the same order, rounded
// the same way (to nearest, ties to even, under the default rounding mode).
DEMO_AVX2_DEPTH_SORT inline bool FillSlotsAvx2(const VertexArray& vertices, const FaceArray& faces, CompactSort& sort) {
    const std::size_t whole = faces.size() & ~std::size_t{3};
    __m128i orders = _mm_setr_epi32(0, 1, 2, 3);
    __m128i lowest = _mm_setzero_si128(), highest = _mm_setzero_si128();
    for (std::size_t f = 0; f < whole; f += 4) {
        const Face* four = faces.data() + f;
        const __m256d firstTwo =
            _mm256_add_pd(DepthsOfFour(vertices, four, &Face::vert1), DepthsOfFour(vertices, four, &Face::vert0));
        const __m128i keys = _mm256_cvtpd_epi32(_mm256_add_pd(firstTwo, DepthsOfFour(vertices, four, &Face::vert2)));
        lowest = _mm_min_epi32(lowest, keys);
        highest = _mm_max_epi32(highest, keys);
        const __m128i slots = _mm_or_si128(_mm_slli_epi32(keys, kOrderBits), orders);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sort.slots.data() + f), slots);
        orders = _mm_add_epi32(orders, _mm_set1_epi32(4));
    }
    lowest = _mm_min_epi32(lowest, _mm_shuffle_epi32(lowest, 0x4E));
    lowest = _mm_min_epi32(lowest, _mm_shuffle_epi32(lowest, 0xB1));
    highest = _mm_max_epi32(highest, _mm_shuffle_epi32(highest, 0x4E));
    highest = _mm_max_epi32(highest, _mm_shuffle_epi32(highest, 0xB1));
    bool fit = KeyFits(_mm_cvtsi128_si32(lowest)) && KeyFits(_mm_cvtsi128_si32(highest));
    for (std::size_t f = whole; f < faces.size(); ++f) {
        const std::int32_t key = DepthKey(vertices, faces[f]);
        fit = fit && KeyFits(key);
        sort.slots[f] = Packed(key, static_cast<std::int32_t>(f));
    }
    return fit;
}
#endif

// ---- The quicksort's outer loops, two ranges at a time ----

// A level's pieces of the sort, which is built once for each. A level may
// partition ranges of up to sixteen slots in registers.
struct Sse2Pieces {
    static constexpr SlotFill fill = FillSlots;
    static constexpr CandidateCollector collect = CollectCandidates;
    [[maybe_unused]] static constexpr bool partitionsInRegisters = false;  // unread where no AVX2 is built
};

#if defined(DEMO_HAVE_COMPACT_DEPTH_SORT_AVX2)
struct Avx2Pieces {
    static constexpr SlotFill fill = FillSlotsAvx2;
    static constexpr CandidateCollector collect = CollectCandidatesAvx2;
    static constexpr bool partitionsInRegisters = true;
};
#endif

template <typename Pieces>
[[gnu::always_inline]] inline Crossing PartitionRange(CompactSort& sort, std::int32_t left, std::int32_t right) {
#if defined(DEMO_HAVE_COMPACT_DEPTH_SORT_AVX2)
    if constexpr (Pieces::partitionsInRegisters) {
        if (right - left < kGroup) return PartitionInRegister(sort, left, right);
        if (right - left < 2 * kGroup) return PartitionInTwoRegisters(sort, left, right);
    }
#endif
    return Partition<Pieces::collect>(sort, left, right);
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
template <typename Pieces>
[[gnu::always_inline]] inline void Step(CompactSort& sort, SortLine& line) {
    auto& [left, right] = line.range;
    if (right - left >= kSmallRange) {
        const auto [i, j] = PartitionRange<Pieces>(sort, left, right);
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
template <typename Pieces>
void QuickSortCompact(CompactSort& sort, std::int32_t lo, std::int32_t hi) {
    SortLine first, second;
    first.range = {lo, hi};
    first.busy = true;
    while (first.busy || second.busy) {
        ShareWork(second, first);
        ShareWork(first, second);
        if (first.busy) Step<Pieces>(sort, first);
        if (second.busy) Step<Pieces>(sort, second);
    }
}

// Keys into the packed copy, the sort, and the slots back into the faces.
template <typename Pieces>
[[gnu::always_inline]] inline void SortInCompactCopy(const VertexArray& vertices, FaceArray& faces) {
    CompactSort sort;
    if (faces.empty() || faces.size() > static_cast<std::size_t>(kCompactSortLimit) || !Pieces::fill(vertices, faces, sort)) {
        PathFor(kDepthSortPaths, SimdLevel::Plain)(vertices, faces);
        return;
    }
    // The last group of keys, and the last small range, may reach past the
    // last face: those slots are read (and written back unchanged).
    std::fill_n(sort.slots.begin() + static_cast<std::ptrdiff_t>(faces.size()), kGroup, 0);
    QuickSortCompact<Pieces>(sort, 0, static_cast<std::int32_t>(faces.size()) - 1);
    for (std::size_t f = 0; f < faces.size(); ++f) {
        faces[f].depthKey = KeyOf(sort.slots[f]);
        faces[f].order = OrderOf(sort.slots[f]);
    }
}

}  // namespace

void DepthSortCompact(const VertexArray& vertices, FaceArray& faces) {
    SortInCompactCopy<Sse2Pieces>(vertices, faces);
}

#if defined(DEMO_HAVE_COMPACT_DEPTH_SORT_AVX2)
// Everything inlined, so that the whole sort is built for AVX2.
[[gnu::flatten]] DEMO_AVX2_DEPTH_SORT void DepthSortCompactAvx2(const VertexArray& vertices, FaceArray& faces) {
    SortInCompactCopy<Avx2Pieces>(vertices, faces);
}
#endif

#endif
