// Back-to-front draw order; there is no depth buffer.
#pragma once

#include <cstdint>

#include "geometry/mesh.h"
#include "geometry/rounding.h"

// Gives slot f the key of face f and order f, then sorts the (depthKey, order)
// pairs ascending: the farthest face is drawn first.
void DepthSortFaces(const VertexArray& vertices, FaceArray& faces);

// Sorts slots lo..hi (lo <= hi) by depthKey, moving only depthKey and order.
// Not stable: equal keys end in the order this exact quicksort leaves them,
// and that order is part of the picture.
void QuickSortFaces(FaceArray& faces, std::int32_t lo, std::int32_t hi);

// The sum of the face's three depths, added in this order and rounded (ties to
// even): a larger key is nearer the eye.
inline std::int32_t DepthKey(const VertexArray& vertices, const Face& face) {
    const auto depth = [&](std::int32_t index) { return static_cast<double>(vertices[static_cast<std::size_t>(index)].tz); };
    return RoundToInt32((depth(face.vert1) + depth(face.vert0)) + depth(face.vert2));
}

// The reference path, which the faster ones fall back on where they cannot sort.
void DepthSortPlain(const VertexArray& vertices, FaceArray& faces);
