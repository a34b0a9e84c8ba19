// The depth sort's compact copy, which its SSE2 and AVX2 builds work in: each
// face's key and number packed into one word, so that an exchange moves one word.
#pragma once

#include <array>
#include <cstdint>

#include "geometry/depth_sort.h"
#include "geometry/mesh.h"

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

// Keys compared through whole slots: a slot's key is below the pivot's exactly
// when the slot is below the lowest slot of the pivot's key, and above it when
// it is above the highest.
constexpr std::int32_t LowestOfKey(std::int32_t slot) { return slot & ~kOrderMask; }
constexpr std::int32_t HighestOfKey(std::int32_t slot) { return slot | kOrderMask; }

// Candidates are gathered eight keys at a time, so the arrays have room for a
// group that reaches past the last slot.
inline constexpr std::int32_t kGroup = 8;

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

// Where a partition's two scans stopped: i just past the left part, j just
// before the right part.
struct Crossing {
    std::int32_t i, j;
};

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

}  // namespace compact_sort
