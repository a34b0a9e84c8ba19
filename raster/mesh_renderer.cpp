#include "raster/mesh_renderer.h"

#include <array>
#include <cmath>
#include <cstdint>

#include "geometry/rounding.h"
#include "raster/gouraud.h"

namespace {

struct ScreenPoint {
    std::int32_t x, y;
};

ScreenPoint RoundedScreenPosition(const Vertex& vertex) {
    return {RoundToInt32(vertex.sx), RoundToInt32(vertex.sy)};
}

// Positive when the corners run counter-clockwise on the screen (y downward).
// Worked in 64 bits, so corners far off the screen cannot overflow it.
std::int64_t Orientation(ScreenPoint p0, ScreenPoint p1, ScreenPoint p2) {
    return (std::int64_t{p1.x} - p0.x) * (std::int64_t{p0.y} - p2.y) -
           (std::int64_t{p1.y} - p0.y) * (std::int64_t{p0.x} - p2.x);
}

// Clamped to 0..1; NaN counts as facing away.
float Intensity(const Vertex& vertex, Vec3 light) {
    const auto dot = static_cast<float>(
        (static_cast<double>(light.x) * vertex.tnx + static_cast<double>(light.y) * vertex.tny) +
        static_cast<double>(light.z) * vertex.tnz);
    if (!(dot >= 0.0f)) return 0.0f;
    return dot > 1.0f ? 1.0f : dot;
}

}  // namespace

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
        if (Orientation(p0, p1, p2) <= 0) continue;
        GouraudTriangle(frameBuffer, p0.x, p0.y, p1.x, p1.y, p2.x, p2.y,
                        LitCornerColor(v0, lightDir), LitCornerColor(v1, lightDir),
                        LitCornerColor(v2, lightDir));
    }
}

void DrawFromCache(FrameBuffer& frameBuffer, const VertexArray& vertices, const FaceArray& faces,
                   Vec3 lightDir) {
    CornerCache cache;
    for (std::size_t v = 0; v < vertices.size(); ++v) {
        cache.points[v] = RoundedScreenPosition(vertices[v]);
        cache.colours[v] = LitCornerColor(vertices[v], lightDir);
    }
    const auto corner = [&](std::int32_t index) { return cache.points[static_cast<std::size_t>(index)]; };
    const auto colour = [&](std::int32_t index) { return cache.colours[static_cast<std::size_t>(index)]; };
    // The faces that turn toward the viewer, in drawing order, listed without a
    // branch on each face's orientation (half of them turn away, at random).
    std::array<std::int32_t, kCachedMeshLimit> drawn;
    std::size_t drawnCount = 0;
    for (const Face& slot : faces) {
        const Face& face = faces[static_cast<std::size_t>(slot.order)];
        drawn[drawnCount] = slot.order;
        drawnCount += Orientation(corner(face.vert0), corner(face.vert1), corner(face.vert2)) > 0;
    }
    for (std::size_t k = 0; k < drawnCount; ++k) {
        const Face& face = faces[static_cast<std::size_t>(drawn[k])];
        const ScreenPoint p0 = corner(face.vert0), p1 = corner(face.vert1), p2 = corner(face.vert2);
        GouraudTriangle(frameBuffer, p0.x, p0.y, p1.x, p1.y, p2.x, p2.y, colour(face.vert0),
                        colour(face.vert1), colour(face.vert2));
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
