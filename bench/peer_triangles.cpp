#include "bench/peer_triangles.h"

#include <cmath>

#include "raster/mesh_renderer.h"

namespace {

constexpr std::uint32_t kColorBits = 0x00FFFFFFu;

PeerColor OpaqueBytes(PackedColor color) {
    return {static_cast<std::uint8_t>(color >> 16), static_cast<std::uint8_t>(color >> 8),
            static_cast<std::uint8_t>(color), 0xFF};
}

bool FaceTurnsToViewer(const VertexArray& vertices, const Face& face) {
    const auto corner = [&](std::int32_t v) {
        return ScreenPoint{static_cast<std::int32_t>(std::lrint(vertices[v].sx)),
                           static_cast<std::int32_t>(std::lrint(vertices[v].sy))};
    };
    return FacesViewer(corner(face.vert0), corner(face.vert1), corner(face.vert2));
}

}  // namespace

void TurnSceneIntoTriangles(Scene& scene, FaceCulling culling, PeerTriangles& triangles) {
    TurnAndSortScene(scene);
    triangles.positions.resize(scene.vertices.size() * 2);
    triangles.colors.resize(scene.vertices.size());
    for (std::size_t v = 0; v < scene.vertices.size(); ++v) {
        const Vertex& vertex = scene.vertices[v];
        triangles.positions[2 * v] = vertex.sx;
        triangles.positions[2 * v + 1] = vertex.sy;
        triangles.colors[v] = OpaqueBytes(LitCornerColor(vertex, scene.lightDir));
    }
    triangles.indices.clear();
    for (const Face& slot : scene.faces) {
        const Face& face = scene.faces[static_cast<std::size_t>(slot.order)];
        if (culling == FaceCulling::OnProcessor && !FaceTurnsToViewer(scene.vertices, face)) continue;
        triangles.indices.insert(triangles.indices.end(), {face.vert0, face.vert1, face.vert2});
    }
}

std::int64_t CountLitPixels(std::span<const std::uint32_t> peerPixels) {
    std::int64_t lit = 0;
    for (const std::uint32_t pixel : peerPixels) lit += (pixel & kColorBits) != 0;
    return lit;
}

std::int64_t CountLitInBoth(std::span<const std::uint32_t> peerPixels, const FrameBuffer& frame) {
    std::int64_t lit = 0;
    for (std::size_t i = 0; i < frame.pixels.size() && i < peerPixels.size(); ++i) {
        lit += (peerPixels[i] & kColorBits) != 0 && frame.pixels[i] != 0;
    }
    return lit;
}
