#include "raster/mesh_renderer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "cpu/simd_level.h"
#include "geometry/rounding.h"
#include "geometry/vertex_lanes.h"
#include "raster/gouraud.h"

#if defined(__SSE2__)
#include <xmmintrin.h>
#endif

namespace {

struct ScreenPoint {
    std::int32_t x, y;
};

ScreenPoint RoundedScreenPosition(const Vertex& vertex) {
    return {RoundToInt32(vertex.sx), RoundToInt32(vertex.sy)};
}

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

bool FacesViewer(ScreenPoint p0, ScreenPoint p1, ScreenPoint p2) {
    const std::int64_t a = std::int64_t{p1.x} - p0.x, b = std::int64_t{p0.y} - p2.y;
    const std::int64_t c = std::int64_t{p1.y} - p0.y, d = std::int64_t{p0.x} - p2.x;
    constexpr std::int64_t kSafe = std::int64_t{1} << 31;  // products stay below 2^62
    if (a > -kSafe && a < kSafe && b > -kSafe && b < kSafe && c > -kSafe && c < kSafe &&
        d > -kSafe && d < kSafe) {
        return a * b - c * d > 0;
    }
    return DifferenceOfProductsIsPositive(a, b, c, d);
}

// Clamped to 0..1; NaN counts as facing away. Written as the two selections
// the processor has instructions for, so that no branch depends on which way
// each corner turns to the light.
float Intensity(const Vertex& vertex, Vec3 light) {
    const auto dot = static_cast<float>(
        (static_cast<double>(light.x) * vertex.tnx + static_cast<double>(light.y) * vertex.tny) +
        static_cast<double>(light.z) * vertex.tnz);
#if defined(__SSE2__)
    // maxss gives its second operand, here 0, when the first is NaN.
    const __m128 atLeastZero = _mm_max_ss(_mm_set_ss(dot), _mm_setzero_ps());
    return _mm_cvtss_f32(_mm_min_ss(atLeastZero, _mm_set_ss(1.0f)));
#else
    const float atLeastZero = 0.0f < dot ? dot : 0.0f;  // 0 for NaN
    return 1.0f < atLeastZero ? 1.0f : atLeastZero;
#endif
}

}  // namespace

bool FacesViewer(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, std::int32_t x2,
                 std::int32_t y2) {
    return FacesViewer(ScreenPoint{x0, y0}, ScreenPoint{x1, y1}, ScreenPoint{x2, y2});
}

PackedColor LitCornerColor(const Vertex& vertex, Vec3 lightDir) {
    const float intensity = Intensity(vertex, lightDir);
    const auto channel = [&](float level) {
        return static_cast<std::uint32_t>(RoundToInt32(static_cast<double>(level) * intensity));
    };
    return channel(vertex.r) << 16 | channel(vertex.g) << 8 | channel(vertex.b);
}

namespace {

// Meshes up to this size keep each vertex's screen corner and lit colour in a
// table on the stack: worked out once per vertex instead of once per corner of
// every face that uses it.
constexpr std::size_t kCachedMeshLimit = 4096;

struct CornerCache {
    std::array<ScreenPoint, kCachedMeshLimit> points;
    std::array<PackedColor, kCachedMeshLimit> colours;
};

void DrawFaceByFace(FrameBuffer& frameBuffer, const VertexArray& vertices, const FaceArray& faces,
                    Vec3 lightDir) {
    const auto vertexAt = [&](std::int32_t index) -> const Vertex& {
        return vertices[static_cast<std::size_t>(index)];
    };
    for (const Face& slot : faces) {
        // The slot names the face to draw; its corners are in that face's own slot.
        const Face& face = faces[static_cast<std::size_t>(slot.order)];
        const Vertex& v0 = vertexAt(face.vert0);
        const Vertex& v1 = vertexAt(face.vert1);
        const Vertex& v2 = vertexAt(face.vert2);
        const ScreenPoint p0 = RoundedScreenPosition(v0);
        const ScreenPoint p1 = RoundedScreenPosition(v1);
        const ScreenPoint p2 = RoundedScreenPosition(v2);
        // Back faces, and faces that collapse onto a line, cost no lighting.
        if (!FacesViewer(p0, p1, p2)) continue;
        GouraudTriangle(frameBuffer, p0.x, p0.y, p1.x, p1.y, p2.x, p2.y,
                        LitCornerColor(v0, lightDir), LitCornerColor(v1, lightDir),
                        LitCornerColor(v2, lightDir));
    }
}

// Corners within this distance of the origin, in both directions, keep the
// orientation test within 32 bits: differences below 2^15, products below 2^30.
constexpr std::int32_t kNearCoordinate = 1 << 14;

// Worked in unsigned arithmetic, which wraps for corners far off either way.
bool IsNear(ScreenPoint p) {
    constexpr auto kOffset = static_cast<std::uint32_t>(kNearCoordinate);
    return static_cast<std::uint32_t>(p.x) + kOffset < 2 * kOffset &&
           static_cast<std::uint32_t>(p.y) + kOffset < 2 * kOffset;
}

// FacesViewer for corners that are all near.
bool NearFacesViewer(ScreenPoint p0, ScreenPoint p1, ScreenPoint p2) {
    return (p1.x - p0.x) * (p0.y - p2.y) - (p1.y - p0.y) * (p0.x - p2.x) > 0;
}

// Each face's corners, and whether it turns toward the viewer, worked out in
// face order: the face records are read front to back once, and the drawing
// order then looks faces up in these small tables instead.
struct FaceTable {
    std::array<std::uint16_t, 3 * kCachedMeshLimit> corners;
    std::array<std::uint8_t, kCachedMeshLimit> facing;
};

template <bool kAllNear>
void FillFaceTable(const FaceArray& faces, const CornerCache& cache, FaceTable& table) {
    const auto corner = [&](std::int32_t index) { return cache.points[static_cast<std::size_t>(index)]; };
    for (std::size_t f = 0; f < faces.size(); ++f) {
        const Face& face = faces[f];
        const ScreenPoint p0 = corner(face.vert0), p1 = corner(face.vert1), p2 = corner(face.vert2);
        table.facing[f] = kAllNear ? NearFacesViewer(p0, p1, p2) : FacesViewer(p0, p1, p2);
        table.corners[3 * f] = static_cast<std::uint16_t>(face.vert0);
        table.corners[3 * f + 1] = static_cast<std::uint16_t>(face.vert1);
        table.corners[3 * f + 2] = static_cast<std::uint16_t>(face.vert2);
    }
}

// Each vertex's rounded screen corner and lit colour, from vertex `first` on;
// whether all of those corners are near.
bool FillCornerCache(const VertexArray& vertices, Vec3 lightDir, CornerCache& cache, std::size_t first) {
    bool allNear = true;
    for (std::size_t v = first; v < vertices.size(); ++v) {
        cache.points[v] = RoundedScreenPosition(vertices[v]);
        cache.colours[v] = LitCornerColor(vertices[v], lightDir);
        allNear &= IsNear(cache.points[v]);
    }
    return allNear;
}

#if defined(DEMO_HAVE_VERTEX_LANES)
// round(level * intensity) for four corners, the product in double precision.
DEMO_AVX2_VERTEX_LANES inline __m128i LitChannel(__m128 level, __m256d intensity) {
    return _mm256_cvtpd_epi32(_mm256_mul_pd(_mm256_cvtps_pd(level), intensity));
}

// The same four vertices at a time, each value exactly as RoundedScreenPosition,
// LitCornerColor and IsNear give it: rounding a float to an integer directly
// gives what rounding its double does.
DEMO_AVX2_VERTEX_LANES bool FillCornerCacheAvx2(const VertexArray& vertices, Vec3 lightDir, CornerCache& cache) {
    using namespace vertex_lanes;
    const __m256d lightX = _mm256_set1_pd(lightDir.x), lightY = _mm256_set1_pd(lightDir.y),
                  lightZ = _mm256_set1_pd(lightDir.z);
    const __m128i nearOffset = _mm_set1_epi32(kNearCoordinate);
    const __m128i farBits = _mm_set1_epi32(~(2 * kNearCoordinate - 1));
    __m128i far = _mm_setzero_si128();
    const std::size_t whole = vertices.size() / 4 * 4;
    for (std::size_t v = 0; v < whole; v += 4) {
        const Vertex* four = vertices.data() + v;
        const FourFields screen = LoadFields(four, kSx);
        const __m128i x = _mm_cvtps_epi32(screen.field[0]), y = _mm_cvtps_epi32(screen.field[1]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(&cache.points[v]), _mm_unpacklo_epi32(x, y));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(&cache.points[v + 2]), _mm_unpackhi_epi32(x, y));
        // Near when x + 2^14 and y + 2^14, wrapping, are below 2^15.
        far = _mm_or_si128(far, _mm_and_si128(_mm_or_si128(_mm_add_epi32(x, nearOffset), _mm_add_epi32(y, nearOffset)),
                                              farBits));
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
    const bool restNear = FillCornerCache(vertices, lightDir, cache, whole);
    return restNear && _mm_testz_si128(far, far);
}
#endif

void DrawFromCache(FrameBuffer& frameBuffer, const VertexArray& vertices, const FaceArray& faces,
                   Vec3 lightDir) {
    CornerCache cache;
#if defined(DEMO_HAVE_VERTEX_LANES)
    const bool allNear = ChosenSimdLevel() >= SimdLevel::Avx2 ? FillCornerCacheAvx2(vertices, lightDir, cache)
                                                          : FillCornerCache(vertices, lightDir, cache, 0);
#else
    const bool allNear = FillCornerCache(vertices, lightDir, cache, 0);
#endif
    FaceTable table;
    if (allNear) {
        FillFaceTable<true>(faces, cache, table);
    } else {
        FillFaceTable<false>(faces, cache, table);
    }
    // The faces that turn toward the viewer, in drawing order, listed without a
    // branch on each face's orientation (half of them turn away, at random).
    std::array<std::uint16_t, kCachedMeshLimit> drawn;
    std::size_t drawnCount = 0;
    for (const Face& slot : faces) {
        drawn[drawnCount] = static_cast<std::uint16_t>(slot.order);
        drawnCount += table.facing[static_cast<std::size_t>(slot.order)];
    }
    // Handed to the fill a few dozen at a time, so that it can set up the
    // next triangles while it writes the rows of this one.
    constexpr std::size_t kTrianglesPerCall = 64;
    ScreenTriangle triangles[kTrianglesPerCall];
    for (std::size_t first = 0; first < drawnCount; first += kTrianglesPerCall) {
        const std::size_t count = std::min(drawnCount - first, kTrianglesPerCall);
        for (std::size_t k = 0; k < count; ++k) {
            const std::uint16_t* corners = table.corners.data() + 3 * std::size_t{drawn[first + k]};
            const ScreenPoint p0 = cache.points[corners[0]], p1 = cache.points[corners[1]], p2 = cache.points[corners[2]];
            triangles[k] = {p0.x, p0.y, p1.x, p1.y, p2.x, p2.y,
                            cache.colours[corners[0]], cache.colours[corners[1]], cache.colours[corners[2]]};
        }
        GouraudTriangles(frameBuffer, triangles, count);
    }
}

}  // namespace

void DrawMeshGouraud(FrameBuffer& frameBuffer, const VertexArray& vertices,
                     const FaceArray& faces, Vec3 lightDir) {
    if (vertices.size() <= kCachedMeshLimit && faces.size() <= kCachedMeshLimit) {
        DrawFromCache(frameBuffer, vertices, faces, lightDir);
    } else {
        DrawFaceByFace(frameBuffer, vertices, faces, lightDir);
    }
}
