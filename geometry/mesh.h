// The records the geometry pipeline passes around, and the arrays that hold them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One point of the mesh with everything derived from it. Model space is
// right-handed: x right, y up, z toward the viewer (larger tz is nearer).
struct Vertex {
    float x, y, z;        // model position
    float tx, ty, tz;     // position after the world matrix
    float sx, sy;         // unrounded screen position, y growing downward
    float nx, ny, nz;     // unit vertex normal in model space
    float tnx, tny, tnz;  // normal after the world matrix
    float r, g, b;        // colour, each channel 0.0..255.0
};

// One triangle. depthKey and order belong to the draw order, not to the face
// in whose slot they stand: the depth sort permutes just those two fields.
struct Face {
    std::int32_t vert0, vert1, vert2;
    std::int32_t tu0, tv0, tu1, tv1, tu2, tv2;
    std::int32_t depthKey;
    std::int32_t order;
    float nx, ny, nz;  // unit face normal, zero for a degenerate triangle
    std::int32_t colorIndex;
};

struct Vec3 {
    float x, y, z;
};

// 4 x 4 matrix acting on column vectors, stored row by row: m[row][column]
// with rows and columns counted from 0. Row 3 is always (0, 0, 0, 1).
struct Matrix4 {
    float m[4][4];
};

// Every operation works over the whole array it is given; none takes a count.
using VertexArray = std::vector<Vertex>;
using FaceArray = std::vector<Face>;

// Discards what the array held and gives it `count` all-zero records.
template <typename Record>
void RecreateArray(std::vector<Record>& array, std::size_t count) {
    array.assign(count, Record{});
}
