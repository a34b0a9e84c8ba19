#include "geometry/transform.h"

#include <cstddef>

#include "cpu/build_contents.h"
#include "geometry/matrix.h"
#include "geometry/rounding.h"
#include "geometry/vertex_lanes.h"

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

// Vertices from `first` on, one at a time.
void TransformEachPaired(VertexArray& vertices, const Matrix4& m, std::size_t first) {
    const PairedMatrix paired = PairRows(m);
    for (std::size_t v = first; v < vertices.size(); ++v) {
        Vertex& vertex = vertices[v];
        // The normal goes through the same affine transform, translation included.
        TransformPaired(paired, vertex.nx, vertex.ny, vertex.nz, vertex.tnx, vertex.tny, vertex.tnz);
        TransformPaired(paired, vertex.x, vertex.y, vertex.z, vertex.tx, vertex.ty, vertex.tz);
        ProjectPaired(vertex);
    }
}

void TransformSse2(VertexArray& vertices, const Matrix4& m) { TransformEachPaired(vertices, m, 0); }
#endif

#if defined(DEMO_BUILD_AVX2)
using vertex_lanes::FourFields;

// Four vertices at a time, one in each lane, with the same sums in the same
// order in double precision.
struct WideMatrix {
    __m256d m[3][4];  // each element in all four lanes
};

DEMO_TARGET_AVX2 WideMatrix Widen(const Matrix4& m) {
    WideMatrix wide;
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 4; ++column) wide.m[row][column] = _mm256_set1_pd(m.m[row][column]);
    }
    return wide;
}

// ((m(r, 0) x + m(r, 1) y) + m(r, 2) z) + m(r, 3), rounded to float.
DEMO_TARGET_AVX2 inline __m128 RowOf(const __m256d (&row)[4], __m256d x, __m256d y, __m256d z) {
    const __m256d sum = _mm256_add_pd(
        _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(row[0], x), _mm256_mul_pd(row[1], y)), _mm256_mul_pd(row[2], z)),
        row[3]);
    return _mm256_cvtpd_ps(sum);
}

// Fields x..x+2 of four vertices through the matrix; the fourth field kept.
DEMO_TARGET_AVX2 inline FourFields Transformed(const WideMatrix& m, const FourFields& in, __m128 fourth) {
    const __m256d x = _mm256_cvtps_pd(in.field[0]), y = _mm256_cvtps_pd(in.field[1]), z = _mm256_cvtps_pd(in.field[2]);
    return {{RowOf(m.m[0], x, y, z), RowOf(m.m[1], x, y, z), RowOf(m.m[2], x, y, z), fourth}};
}

DEMO_TARGET_AVX2 void TransformFour(const WideMatrix& m, Vertex* four) {
    using namespace vertex_lanes;
    const FourFields normals = LoadFields(four, kNx);
    const FourFields colourAfterNormals = LoadFields(four, kTnx);  // its last field is r
    StoreFields(four, kTnx, Transformed(m, normals, colourAfterNormals.field[3]));

    const FourFields positions = LoadFields(four, kX);
    const FourFields screen = LoadFields(four, kTx);  // its last field is sx
    const __m128 oldSy = _mm_setr_ps(four[0].sy, four[1].sy, four[2].sy, four[3].sy);
    FourFields moved = Transformed(m, positions, screen.field[3]);
    // As ProjectPaired: the rounded distance, and only in front of the eye.
    const __m256d tz = _mm256_cvtps_pd(moved.field[2]);
    const __m128i d = _mm256_cvtpd_epi32(_mm256_sub_pd(_mm256_set1_pd(kEyeDistance), tz));
    const __m128i inFront = _mm_cmpgt_epi32(d, _mm_setzero_si128());
    const __m256d divisor = _mm256_blendv_pd(_mm256_set1_pd(1.0), _mm256_cvtepi32_pd(d), _mm256_cvtepi32_pd(inFront));
    const __m256d eye = _mm256_set1_pd(kEyeDistance);
    const __m256d qx = _mm256_div_pd(_mm256_mul_pd(eye, _mm256_cvtps_pd(moved.field[0])), divisor);
    const __m256d qy = _mm256_div_pd(_mm256_mul_pd(eye, _mm256_cvtps_pd(moved.field[1])), divisor);
    const __m128 sx = _mm256_cvtpd_ps(_mm256_add_pd(qx, _mm256_set1_pd(kCentreX)));
    const __m128 sy = _mm256_cvtpd_ps(_mm256_add_pd(_mm256_xor_pd(qy, _mm256_set1_pd(-0.0)), _mm256_set1_pd(kCentreY)));
    const __m128 front = _mm_castsi128_ps(inFront);
    moved.field[3] = _mm_blendv_ps(screen.field[3], sx, front);
    const __m128 newSy = _mm_blendv_ps(oldSy, sy, front);
    StoreFields(four, kTx, moved);
    alignas(16) float sys[4];
    _mm_store_ps(sys, newSy);
    for (int v = 0; v < 4; ++v) four[v].sy = sys[v];
}

DEMO_TARGET_AVX2 void TransformAvx2(VertexArray& vertices, const Matrix4& m) {
    const WideMatrix wide = Widen(m);
    const std::size_t whole = vertices.size() / 4 * 4;
    for (std::size_t v = 0; v < whole; v += 4) TransformFour(wide, vertices.data() + v);
    TransformEachPaired(vertices, m, whole);
}
#endif

}  // namespace

#if defined(DEMO_BUILD_AVX2)
constexpr SimdPaths<TransformPath> kTransformPaths = {TransformPlain, TransformSse2, TransformAvx2, nullptr};
#elif defined(DEMO_BUILD_SSE2)
constexpr SimdPaths<TransformPath> kTransformPaths = {TransformPlain, TransformSse2, nullptr, nullptr};
#else
constexpr SimdPaths<TransformPath> kTransformPaths = {TransformPlain, nullptr, nullptr, nullptr};
#endif

void TransformVertices(VertexArray& vertices, const Matrix4& m) {
    PathFor(kTransformPaths, ActiveSimdLevel())(vertices, m);
}
