// The depth sort's AVX2 build: the SSE2 build's sort compiled for AVX2, with
// the keys worked out four faces at a time and the partition's groups of eight
// keys in one register.
#include "geometry/depth_sort_fast.h"

#include "cpu/build_contents.h"

#if defined(DEMO_BUILD_AVX2)

#include <immintrin.h>

#include "geometry/depth_sort_compact.h"

namespace compact_sort {
namespace {

// One corner's depth of four faces, widened to double.
DEMO_TARGET_AVX2 inline __m256d DepthsOfFour(const VertexArray& vertices, const Face* four, std::int32_t Face::*corner) {
    const auto depth = [&](std::size_t i) { return vertices[static_cast<std::size_t>(four[i].*corner)].tz; };
    return _mm256_cvtps_pd(_mm_setr_ps(depth(0), depth(1), depth(2), depth(3)));
}

// FillSlots four faces at a time: DepthKey's sum in the same order, rounded
// the same way (to nearest, ties to even, under the default rounding mode).
DEMO_TARGET_AVX2 inline bool FillSlotsAvx2(const VertexArray& vertices, const FaceArray& faces, CompactSort& sort) {
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

// CollectCandidates with the group's eight slots in one register.
DEMO_TARGET_AVX2 CandidateCounts CollectCandidatesAvx2(CompactSort& sort, std::int32_t left, std::int32_t right,
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

}  // namespace
}  // namespace compact_sort

// Everything inlined, so that the whole sort is built for AVX2. Last in the
// file: put before the pieces it inlines, GCC allocates its registers otherwise.
[[gnu::flatten]] DEMO_TARGET_AVX2 void DepthSortAvx2(const VertexArray& vertices, FaceArray& faces) {
    compact_sort::SortInCompactCopy<compact_sort::FillSlotsAvx2, compact_sort::CollectCandidatesAvx2>(vertices, faces);
}

#endif
