#include "raster/mesh_renderer.h"

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

void DrawMeshGouraud(FrameBuffer& frameBuffer, const VertexArray& vertices,
                     const FaceArray& faces, Vec3 lightDir) {
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
