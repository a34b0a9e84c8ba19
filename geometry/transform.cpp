#include "geometry/transform.h"

#include <cstddef>

#include "cpu/build_contents.h"
#include "cpu/simd_level.h"
#include "geometry/matrix.h"
#include "geometry/rounding.h"

#if defined(DEMO_BUILD_SSE2)
#include <emmintrin.h>
#endif

namespace {

// The eye's distance from the origin, and the projection's scale.
constexpr double kEyeDistance = 256.0;
constexpr double kCentreX = 320.0;
constexpr double kCentreY = 240.0;

// The reference: each vertex through TransformPoint twice, then projected.
// Dividing by the rounded distance makes the size change in whole depth steps.
void TransformPlain(VertexArray& vertices, const Matrix4& m) {
    for (Vertex& vertex : vertices) {
        // The normal goes through the same affine transform, translation included.
        TransformPoint(m, vertex.nx, vertex.ny, vertex.nz, vertex.tnx, vertex.tny, vertex.tnz);
        TransformPoint(m, vertex.x, vertex.y, vertex.z, vertex.tx, vertex.ty, vertex.tz);
        const std::int32_t d = RoundToInt32(kEyeDistance - vertex.tz);
        if (d <= 0) continue;
        vertex.sx = static_cast<float>(kEyeDistance * vertex.tx / d + kCentreX);
        vertex.sy = static_cast<float>(kCentreY - kEyeDistance * vertex.ty / d);
    }
}

#if defined(DEMO_BUILD_SSE2)
// The same sums as TransformPoint, in the same order and in double precision,
// with rows 0 and 1 side by side in one register and row 2 beside them.
struct PairedMatrix {
    __m128d column[4];  // (m(0, c), m(1, c))
    double row2[4];
};

PairedMatrix PairRows(const Matrix4& m) {
    PairedMatrix paired{};
    for (int c = 0; c < 4; ++c) {
        paired.column[c] = _mm_setr_pd(m.m[0][c], m.m[1][c]);
        paired.row2[c] = m.m[2][c];
    }
    return paired;
}

// Two doubles rounded to float and stored apart.
void StorePair(__m128d pair, float& first, float& second) {
    const __m128 rounded = _mm_cvtpd_ps(pair);
    first = _mm_cvtss_f32(rounded);
    second = _mm_cvtss_f32(_mm_shuffle_ps(rounded, rounded, 1));
}

// What TransformPoint writes.
void TransformPaired(const PairedMatrix& m, float inX, float inY, float inZ, float& outX, float& outY,
                     float& outZ) {
    const double x = inX, y = inY, z = inZ;
    const __m128d xy = _mm_add_pd(
        _mm_add_pd(_mm_add_pd(_mm_mul_pd(m.column[0], _mm_set1_pd(x)), _mm_mul_pd(m.column[1], _mm_set1_pd(y))),
                   _mm_mul_pd(m.column[2], _mm_set1_pd(z))),
        m.column[3]);
    StorePair(xy, outX, outY);
    outZ = static_cast<float>(((m.row2[0] * x + m.row2[1] * y) + m.row2[2] * z) + m.row2[3]);
}

// sx and sy side by side: (256 tx / d + 320, 240 - 256 ty / d), where
// 240 - q is the same number as -q + 240.
void ProjectPaired(Vertex& vertex) {
    const std::int32_t d = RoundToInt32(kEyeDistance - vertex.tz);
    if (d <= 0) return;
    const __m128d scaled = _mm_mul_pd(_mm_set1_pd(kEyeDistance), _mm_setr_pd(vertex.tx, vertex.ty));
    const __m128d quotient = _mm_div_pd(scaled, _mm_set1_pd(d));
    const __m128d flipped = _mm_xor_pd(quotient, _mm_setr_pd(0.0, -0.0));
    const __m128d screen = _mm_add_pd(flipped, _mm_setr_pd(kCentreX, kCentreY));
    StorePair(screen, vertex.sx, vertex.sy);
}

void TransformSse2(VertexArray& vertices, const Matrix4& m) {
    const PairedMatrix paired = PairRows(m);
    for (Vertex& vertex : vertices) {
        // The normal goes through the same affine transform, translation included.
        TransformPaired(paired, vertex.nx, vertex.ny, vertex.nz, vertex.tnx, vertex.tny, vertex.tnz);
        TransformPaired(paired, vertex.x, vertex.y, vertex.z, vertex.tx, vertex.ty, vertex.tz);
        ProjectPaired(vertex);
    }
}
#endif

}  // namespace

// The stage's paths by level; every one writes the same floats.
constexpr SimdPaths<decltype(&TransformPlain)> kTransformPaths =
    DEMO_SIMD_PATHS(TransformPlain, TransformSse2, nullptr, nullptr);

void TransformVertices(VertexArray& vertices, const Matrix4& m) {
    PathFor(kTransformPaths, ActiveSimdLevel())(vertices, m);
}
