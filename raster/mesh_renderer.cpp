#include "raster/mesh_renderer.h"

#include <cstddef>

#include "cpu/build_contents.h"
#include "geometry/rounding.h"
#include "geometry/vertex_lanes.h"
#include "raster/gouraud.h"

namespace {

// Whether a * b - c * d is positive, exactly, for factors below 2^33 in
// magnitude (differences of 32-bit coordinates), whose products overflow 64
// bits: each factor is split at bit 16 and the partial sums are carried.
bool DifferenceOfProductsIsPositive(std::int64_t a, std::int64_t b, std::int64_t c, std::int64_t d) {
    const auto high = [](std::int64_t v) { return v >> 16; };   // toward minus infinity
    const auto low = [](std::int64_t v) { return v & 0xFFFF; };  // so v = high * 2^16 + low
    std::int64_t low16 = low(a) * low(b) - low(c) * low(d);
    std::int64_t middle = high(a) * low(b) + low(a) * high(b) - high(c) * low(d) - low(c) * high(d) +
                          (low16 >> 16);
    const std::int64_t top = high(a) * high(b) - high(c) * high(d) + (middle >> 16);
    low16 &= 0xFFFF;
    middle &= 0xFFFF;
    // Now the value is top * 2^32 plus a part from 0 to 2^32 - 1.
    return top > 0 || (top == 0 && (middle | low16) != 0);
}

// Corners within 2^30 of the origin both ways, as the demo's always are: the
// orientation test's differences then lie within 2^31 and its products fit in
// 64 bits. Worked in unsigned arithmetic, where x + 2^30 lies below 2^31
// exactly for such an x.
constexpr std::uint32_t kNear = 1u << 30;

std::uint32_t FarBits(ScreenPoint p) {
    return (static_cast<std::uint32_t>(p.x) + kNear) | (static_cast<std::uint32_t>(p.y) + kNear);
}

bool IsNear(ScreenPoint p) { return FarBits(p) < 2 * kNear; }

// FacesViewer for near corners.
bool NearFacesViewer(ScreenPoint p0, ScreenPoint p1, ScreenPoint p2) {
    return (std::int64_t{p1.x} - p0.x) * (std::int64_t{p0.y} - p2.y) -
               (std::int64_t{p1.y} - p0.y) * (std::int64_t{p0.x} - p2.x) >
           0;
}

// Clamped to 0..1; NaN counts as facing away. Written as the two selections
// the processor has instructions for (maxss, minss), so that no branch
// depends on which way each corner turns to the light.
float Intensity(const Vertex& vertex, Vec3 light) {
    const auto dot = static_cast<float>(
        (static_cast<double>(light.x) * vertex.tnx + static_cast<double>(light.y) * vertex.tny) +
        static_cast<double>(light.z) * vertex.tnz);
    const float atLeastZero = 0.0f < dot ? dot : 0.0f;  // 0 for NaN
    return 1.0f < atLeastZero ? 1.0f : atLeastZero;
}

ScreenPoint ScreenCorner(const Vertex& vertex) { return {RoundToInt32(vertex.sx), RoundToInt32(vertex.sy)}; }

// The reference, as the algorithm reads: for each face in the depth sort's
// order, skip it if it turns away, light its three corners, fill it.
void DrawMeshPlain(FrameBuffer& frameBuffer, const VertexArray& vertices, const FaceArray& faces, Vec3 lightDir) {
    for (const Face& slot : faces) {
        // The slot names the face to draw; its corners are in that face's own slot.
        const Face& face = faces[static_cast<std::size_t>(slot.order)];
        const Vertex& v0 = vertices[static_cast<std::size_t>(face.vert0)];
        const Vertex& v1 = vertices[static_cast<std::size_t>(face.vert1)];
        const Vertex& v2 = vertices[static_cast<std::size_t>(face.vert2)];
        const ScreenPoint p0 = ScreenCorner(v0), p1 = ScreenCorner(v1), p2 = ScreenCorner(v2);
        if (!FacesViewer(p0, p1, p2)) continue;
        GouraudTriangle(frameBuffer, p0.x, p0.y, p1.x, p1.y, p2.x, p2.y, LitCornerColor(v0, lightDir),
                        LitCornerColor(v1, lightDir), LitCornerColor(v2, lightDir));
    }
}

// Each vertex's rounded screen corner and lit colour, from vertex `first` on.
void FillCornersFrom(std::size_t first, const VertexArray& vertices, Vec3 lightDir, CornerCache& cache) {
    for (std::size_t v = first; v < vertices.size(); ++v) {
        cache.points[v] = ScreenCorner(vertices[v]);
        cache.colours[v] = LitCornerColor(vertices[v], lightDir);
    }
}

void FillCorners(const VertexArray& vertices, Vec3 lightDir, CornerCache& cache) {
    FillCornersFrom(0, vertices, lightDir, cache);
}

#if defined(DEMO_BUILD_AVX2)
// round(level * intensity) for four corners, the product in double precision.
DEMO_TARGET_AVX2 inline __m128i LitChannel(__m128 level, __m256d intensity) {
    return _mm256_cvtpd_epi32(_mm256_mul_pd(_mm256_cvtps_pd(level), intensity));
}

// The same four vertices at a time, each value exactly as FillCornersFrom gives
// it: rounding a float to an integer directly gives what rounding its double does.
DEMO_TARGET_AVX2 void FillCornersAvx2(const VertexArray& vertices, Vec3 lightDir, CornerCache& cache) {
    using namespace vertex_lanes;
    const __m256d lightX = _mm256_set1_pd(lightDir.x), lightY = _mm256_set1_pd(lightDir.y),
                  lightZ = _mm256_set1_pd(lightDir.z);
    const std::size_t whole = vertices.size() / 4 * 4;
    for (std::size_t v = 0; v < whole; v += 4) {
        const Vertex* four = vertices.data() + v;
        const FourFields screen = LoadFields(four, kSx);
        const __m128i x = _mm_cvtps_epi32(screen.field[0]), y = _mm_cvtps_epi32(screen.field[1]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(&cache.points[v]), _mm_unpacklo_epi32(x, y));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(&cache.points[v + 2]), _mm_unpackhi_epi32(x, y));
        const FourFields normal = LoadFields(four, kTnx);  // tnx, tny, tnz, r
        const FourFields level = LoadFields(four, kTnz);   // tnz, r, g, b
        const __m256d dot = _mm256_add_pd(_mm256_add_pd(_mm256_mul_pd(lightX, _mm256_cvtps_pd(normal.field[0])),
                                                        _mm256_mul_pd(lightY, _mm256_cvtps_pd(normal.field[1]))),
                                          _mm256_mul_pd(lightZ, _mm256_cvtps_pd(normal.field[2])));
        // maxps gives its second operand, here 0, where the first is NaN.
        const __m128 intensity = _mm_min_ps(_mm_max_ps(_mm256_cvtpd_ps(dot), _mm_setzero_ps()), _mm_set1_ps(1.0f));
        const __m256d wide = _mm256_cvtps_pd(intensity);
        const __m128i colour = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(LitChannel(level.field[1], wide), 16),
                                                         _mm_slli_epi32(LitChannel(level.field[2], wide), 8)),
                                            LitChannel(level.field[3], wide));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(&cache.colours[v]), colour);
    }
    FillCornersFrom(whole, vertices, lightDir, cache);
}
#else
constexpr void (*FillCornersAvx2)(const VertexArray&, Vec3, CornerCache&) = nullptr;
#endif

using CornerFill = void (*)(const VertexArray& vertices, Vec3 lightDir, CornerCache& cache);
constexpr SimdPaths<CornerFill> kCornerFills = {FillCorners, nullptr, FillCornersAvx2, nullptr};

// Whether no corner lies far off, so that every face can take the quick
// orientation test.
bool AllNear(const CornerCache& cache) {
    std::uint32_t farBits = 0;
    for (const ScreenPoint p : cache.points) farBits |= FarBits(p);
    return farBits < 2 * kNear;
}

// Each face's corners and orientation, in face order, from face `first` on:
// the face records are read front to back once. The exact test only where
// some corner lies far off.
void FillFaceTableFrom(std::size_t first, const FaceArray& faces, bool allNear, CornerCache& cache) {
    for (std::size_t f = first; f < faces.size(); ++f) {
        const auto v0 = static_cast<std::uint32_t>(faces[f].vert0), v1 = static_cast<std::uint32_t>(faces[f].vert1),
                   v2 = static_cast<std::uint32_t>(faces[f].vert2);
        const ScreenPoint p0 = cache.points[v0], p1 = cache.points[v1], p2 = cache.points[v2];
        cache.faces[f] = {v0, v1, v2, allNear ? NearFacesViewer(p0, p1, p2) : FacesViewer(p0, p1, p2)};
    }
}

void FillFaceTable(const FaceArray& faces, CornerCache& cache) {
    FillFaceTableFrom(0, faces, AllNear(cache), cache);
}

#if defined(DEMO_BUILD_AVX2)
// One corner of faces f..f+3, one face to each 64-bit lane, x in its low half
// and y in its high half. Loaded one by one, which measures faster here than a gather.
DEMO_TARGET_AVX2 inline __m256i FourCorners(const FaceArray& faces, std::size_t f, std::int32_t Face::*corner,
                                                  const long long* points) {
    const auto point = [&](std::size_t face) { return points[static_cast<std::uint32_t>(faces[face].*corner)]; };
    return _mm256_setr_epi64x(point(f), point(f + 1), point(f + 2), point(f + 3));
}

// The same four faces at a time where every corner is near: the differences
// then fit 32 bits and each product is one signed 32 x 32 -> 64-bit multiply.
DEMO_TARGET_AVX2 void FillFaceTableAvx2(const FaceArray& faces, CornerCache& cache) {
    static_assert(offsetof(Face, vert0) == 0 && offsetof(Face, vert2) == 8 && sizeof(FaceCorners) == 16 &&
                  sizeof(ScreenPoint) == 8 && offsetof(ScreenPoint, y) == 4);
    if (!AllNear(cache)) return FillFaceTableFrom(0, faces, false, cache);
    const auto* points = reinterpret_cast<const long long*>(cache.points.data());
    // A face's first 16 bytes hold its corners and a fourth word the table replaces.
    const auto cornersOf = [](const Face& face) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(&face)); };
    const std::size_t whole = faces.size() / 4 * 4;
    for (std::size_t f = 0; f < whole; f += 4) {
        __m128 c0 = _mm_castsi128_ps(cornersOf(faces[f])), c1 = _mm_castsi128_ps(cornersOf(faces[f + 1])),
               c2 = _mm_castsi128_ps(cornersOf(faces[f + 2])), c3 = _mm_castsi128_ps(cornersOf(faces[f + 3]));
        _MM_TRANSPOSE4_PS(c0, c1, c2, c3);  // now c0 holds the four faces' vert0, and so on
        const __m256i p0 = FourCorners(faces, f, &Face::vert0, points),
                      p1 = FourCorners(faces, f, &Face::vert1, points),
                      p2 = FourCorners(faces, f, &Face::vert2, points);
        const __m256i a = _mm256_sub_epi32(p1, p0);  // x1 - x0, y1 - y0
        const __m256i b = _mm256_sub_epi32(p0, p2);  // x0 - x2, y0 - y2
        const __m256i cross = _mm256_sub_epi64(_mm256_mul_epi32(a, _mm256_shuffle_epi32(b, 0xB1)),
                                               _mm256_mul_epi32(_mm256_srli_epi64(a, 32), b));
        const __m256i facing = _mm256_srli_epi64(_mm256_cmpgt_epi64(cross, _mm256_setzero_si256()), 63);
        c3 = _mm_castsi128_ps(_mm256_castsi256_si128(
            _mm256_permutevar8x32_epi32(facing, _mm256_setr_epi32(0, 2, 4, 6, 0, 2, 4, 6))));
        _MM_TRANSPOSE4_PS(c0, c1, c2, c3);
        _mm_storeu_ps(reinterpret_cast<float*>(&cache.faces[f]), c0);
        _mm_storeu_ps(reinterpret_cast<float*>(&cache.faces[f + 1]), c1);
        _mm_storeu_ps(reinterpret_cast<float*>(&cache.faces[f + 2]), c2);
        _mm_storeu_ps(reinterpret_cast<float*>(&cache.faces[f + 3]), c3);
    }
    FillFaceTableFrom(whole, faces, true, cache);
}
#else
constexpr void (*FillFaceTableAvx2)(const FaceArray&, CornerCache&) = nullptr;
#endif

using FaceTableFill = void (*)(const FaceArray& faces, CornerCache& cache);
constexpr SimdPaths<FaceTableFill> kFaceTableFills = {FillFaceTable, nullptr, FillFaceTableAvx2, nullptr};

// In drawing order, the faces that turn toward the viewer go to the fill a few
// dozen at a time, so that it can set up the next triangles while it writes the
// rows of this one. They are listed without a branch on each face's
// orientation: half of them turn away, at random.
void DrawFacesInOrder(FrameBuffer& frameBuffer, const FaceArray& faces, const CornerCache& cache) {
    constexpr std::size_t kTrianglesPerCall = 64;
    for (std::size_t slot = 0; slot < faces.size();) {
        std::uint32_t drawn[kTrianglesPerCall];
        std::size_t count = 0;
        for (; slot < faces.size() && count < kTrianglesPerCall; ++slot) {
            // The slot names the face to draw; its corners are in that face's own slot.
            drawn[count] = static_cast<std::uint32_t>(faces[slot].order);
            count += cache.faces[drawn[count]].facesViewer;
        }
        ScreenTriangle triangles[kTrianglesPerCall];
        for (std::size_t k = 0; k < count; ++k) {
            const FaceCorners& face = cache.faces[drawn[k]];
            const ScreenPoint p0 = cache.points[face.v0], p1 = cache.points[face.v1], p2 = cache.points[face.v2];
            triangles[k] = {p0.x, p0.y, p1.x, p1.y, p2.x, p2.y, cache.colours[face.v0], cache.colours[face.v1],
                            cache.colours[face.v2]};
        }
        FillTriangles(frameBuffer, triangles, count);
    }
}

}  // namespace

bool FacesViewer(ScreenPoint p0, ScreenPoint p1, ScreenPoint p2) {
    if (IsNear(p0) && IsNear(p1) && IsNear(p2)) return NearFacesViewer(p0, p1, p2);
    return DifferenceOfProductsIsPositive(std::int64_t{p1.x} - p0.x, std::int64_t{p0.y} - p2.y,
                                          std::int64_t{p1.y} - p0.y, std::int64_t{p0.x} - p2.x);
}

PackedColor LitCornerColor(const Vertex& vertex, Vec3 lightDir) {
    const float intensity = Intensity(vertex, lightDir);
    const auto channel = [&](float level) {
        return static_cast<std::uint32_t>(RoundToInt32(static_cast<double>(level) * intensity));
    };
    return channel(vertex.r) << 16 | channel(vertex.g) << 8 | channel(vertex.b);
}

void SizeCornerCache(CornerCache& cache, std::size_t vertexCount, std::size_t faceCount) {
    cache.points.resize(vertexCount);
    cache.colours.resize(vertexCount);
    cache.faces.resize(faceCount);
}

// The plain level draws with the reference. The others work out every
// corner and every face's orientation first, in the cache, and hand the faces
// that turn toward the viewer to the level's triangle fill in batches.
void DrawMeshGouraud(FrameBuffer& frameBuffer, const VertexArray& vertices, const FaceArray& faces,
                     Vec3 lightDir, CornerCache& cache) {
    const SimdLevel level = ActiveSimdLevel();
    if (level == SimdLevel::Plain) return DrawMeshPlain(frameBuffer, vertices, faces, lightDir);
    SizeCornerCache(cache, vertices.size(), faces.size());
    PathFor(kCornerFills, level)(vertices, lightDir, cache);
    PathFor(kFaceTableFills, level)(faces, cache);
    DrawFacesInOrder(frameBuffer, faces, cache);
}
