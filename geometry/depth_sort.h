// Back-to-front draw order; there is no depth buffer.
#pragma once

#include <cstdint>

#include "geometry/mesh.h"

// Gives slot f the key of face f (its rounded depth sum) and order f, then sorts
// the (depthKey, order) pairs ascending: the farthest face is drawn first.
void DepthSortFaces(const VertexArray& vertices, FaceArray& faces);

// The same sort with the baseline instruction set only, where DepthSortFaces
// may take wider instructions; the tests hold each to the other.
void DepthSortFacesBaseline(const VertexArray& vertices, FaceArray& faces);

// Sorts slots lo..hi (lo <= hi) by depthKey, moving only depthKey and order.
// Not stable: equal keys end in the order this exact quicksort leaves them,
// and that order is part of the picture.
void QuickSortFaces(FaceArray& faces, std::int32_t lo, std::int32_t hi);
