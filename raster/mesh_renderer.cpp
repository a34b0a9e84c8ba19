#include "raster/mesh_renderer.h"

#include <cstddef>

#include "cpu/simd_level.h"
#include "geometry/rounding.h"
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

bool IsNear(ScreenPoint p) {
    return ((static_cast<std::uint32_t>(p.x) + kNear) | (static_cast<std::uint32_t>(p.y) + kNear)) < 2 * kNear;
}

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
// order, skip it if it turns away, light its three corners, fill it. It
// needs no cache.
void DrawMeshPlain(FrameBuffer& frameBuffer, const VertexArray& vertices, const FaceArray& faces, Vec3 lightDir,
                   CornerCache&) {
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

// Each vertex's rounded screen corner and lit colour.
void FillCorners(const VertexArray& vertices, Vec3 lightDir, CornerCache& cache) {
    for (std::size_t v = 0; v < vertices.size(); ++v) {
        cache.points[v] = ScreenCorner(vertices[v]);
        cache.colours[v] = LitCornerColor(vertices[v], lightDir);
    }
}

// Each face's corners and orientation, in face order: the face records are
// read front to back once. The exact test only where some corner lies far off.
void FillFaceTable(const FaceArray& faces, CornerCache& cache) {
    for (std::size_t f = 0; f < faces.size(); ++f) {
        const auto v0 = static_cast<std::uint32_t>(faces[f].vert0), v1 = static_cast<std::uint32_t>(faces[f].vert1),
                   v2 = static_cast<std::uint32_t>(faces[f].vert2);
        const ScreenPoint p0 = cache.points[v0], p1 = cache.points[v1], p2 = cache.points[v2];
        cache.faces[f] = {v0, v1, v2, FacesViewer(p0, p1, p2)};
    }
}

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

// Every corner and every face's orientation first, in the cache, then the
// faces that turn toward the viewer to the level's triangle fill in batches.
void DrawMeshBatched(FrameBuffer& frameBuffer, const VertexArray& vertices, const FaceArray& faces, Vec3 lightDir,
                     CornerCache& cache) {
    SizeCornerCache(cache, vertices.size(), faces.size());
    FillCorners(vertices, lightDir, cache);
    FillFaceTable(faces, cache);
    DrawFacesInOrder(frameBuffer, faces, cache);
}

// The reference at the plain level, the batched draw at every level above it,
// whose triangle fills take many triangles at once.
constexpr SimdPaths<decltype(&DrawMeshPlain)> kMeshDraws = {DrawMeshPlain, DrawMeshBatched, nullptr, nullptr};

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

void DrawMeshGouraud(FrameBuffer& frameBuffer, const VertexArray& vertices, const FaceArray& faces,
                     Vec3 lightDir, CornerCache& cache) {
    PathFor(kMeshDraws, ActiveSimdLevel())(frameBuffer, vertices, faces, lightDir, cache);
}
