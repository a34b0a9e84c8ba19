// The per-frame vertex stage: rotate, then project onto the 640 x 480 screen.
#pragma once

#include "geometry/mesh.h"

// Writes tx..tz and tnx..tnz of every vertex, and sx, sy for every vertex in
// front of the eye (at z = 256, focal length 256, screen centre (320, 240)).
// A vertex at or behind the eye keeps the screen position it last had.
void TransformVertices(VertexArray& vertices, const Matrix4& m);
