// Four vertex records seen as lanes: four neighbouring fields of four vertices
// read at once and turned so that each register holds one field of all four.
// For the paths that work on four vertices at a time with AVX2.
#pragma once

#include "cpu/build_contents.h"

#if defined(DEMO_BUILD_AVX2)

#include <immintrin.h>

#include <cstddef>

#include "geometry/mesh.h"

namespace vertex_lanes {

// Where a field lies in a vertex record, in floats from its start.
inline constexpr std::size_t kX = 0, kTx = 3, kSx = 6, kNx = 8, kTnx = 11, kTnz = 13;
static_assert(sizeof(Vertex) == 17 * sizeof(float) && offsetof(Vertex, tx) == kTx * sizeof(float) &&
              offsetof(Vertex, sx) == kSx * sizeof(float) && offsetof(Vertex, nx) == kNx * sizeof(float) &&
              offsetof(Vertex, tnx) == kTnx * sizeof(float) && offsetof(Vertex, tnz) == kTnz * sizeof(float) &&
              offsetof(Vertex, r) == 14 * sizeof(float) && offsetof(Vertex, b) == 16 * sizeof(float));

struct FourFields {
    __m128 field[4];  // field k of the four vertices, vertex v in lane v
};

inline const float* FieldsOf(const Vertex& vertex, std::size_t field) {
    return reinterpret_cast<const float*>(&vertex) + field;
}
inline float* FieldsOf(Vertex& vertex, std::size_t field) { return reinterpret_cast<float*>(&vertex) + field; }

// Fields field..field+3 of four vertices; all four must lie in the record.
DEMO_TARGET_AVX2 inline FourFields LoadFields(const Vertex* four, std::size_t field) {
    FourFields f{{_mm_loadu_ps(FieldsOf(four[0], field)), _mm_loadu_ps(FieldsOf(four[1], field)),
                  _mm_loadu_ps(FieldsOf(four[2], field)), _mm_loadu_ps(FieldsOf(four[3], field))}};
    _MM_TRANSPOSE4_PS(f.field[0], f.field[1], f.field[2], f.field[3]);
    return f;
}

DEMO_TARGET_AVX2 inline void StoreFields(Vertex* four, std::size_t field, FourFields f) {
    _MM_TRANSPOSE4_PS(f.field[0], f.field[1], f.field[2], f.field[3]);
    for (int v = 0; v < 4; ++v) _mm_storeu_ps(FieldsOf(four[v], field), f.field[v]);
}

}  // namespace vertex_lanes

#endif
