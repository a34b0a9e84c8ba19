#include "geometry/torus.h"

#include <cmath>

#include "geometry/rounding.h"
#include "geometry/sine_cosine.h"
#include "random/random.h"

namespace {

// The program's full turn: about 6.9e-7 above 2 pi, and part of the picture.
constexpr double kFullTurn = 6.283186;

Vertex TorusVertex(double u, double v, std::int32_t majorRadius, std::int32_t minorRadius) {
    // The cross-section's centre sits on whole coordinates, not exactly on the circle.
    const double cx = RoundToInt32(CosineOf(u) * majorRadius);
    const double cy = RoundToInt32(SineOf(u) * majorRadius);
    Vertex vertex{};
    vertex.x = static_cast<float>(CosineOf(v) * CosineOf(u) * minorRadius + cx);
    vertex.y = static_cast<float>(CosineOf(v) * SineOf(u) * minorRadius + cy);
    vertex.z = static_cast<float>(SineOf(v) * minorRadius);
    vertex.r = static_cast<float>(RandomUnit() * 255.0);
    vertex.g = static_cast<float>(RandomUnit() * 255.0);
    vertex.b = static_cast<float>(RandomUnit() * 255.0);
    return vertex;
}

struct Corner {
    std::int32_t vertex;
    std::int32_t u, v;  // texture coordinates
};

Face TorusFace(Corner corner0, Corner corner1, Corner corner2, std::int32_t colorIndex) {
    Face face{};
    face.vert0 = corner0.vertex;
    face.vert1 = corner1.vertex;
    face.vert2 = corner2.vertex;
    face.tu0 = corner0.u;
    face.tv0 = corner0.v;
    face.tu1 = corner1.u;
    face.tv1 = corner1.v;
    face.tu2 = corner2.u;
    face.tv2 = corner2.v;
    face.colorIndex = colorIndex;
    return face;
}

}  // namespace

void MakeTorus(std::int32_t rings, std::int32_t sides, std::int32_t majorRadius,
               std::int32_t minorRadius, std::int32_t textureSize, VertexArray& vertices,
               FaceArray& faces) {
    const std::int32_t n = rings * sides;
    RecreateArray(vertices, static_cast<std::size_t>(n));
    const float ringStep = static_cast<float>(kFullTurn / rings);
    const float sideStep = static_cast<float>(kFullTurn / sides);

    std::size_t k = 0;
    for (std::int32_t j = 0; j < sides; ++j) {
        for (std::int32_t i = 0; i < rings; ++i) {
            const double u = i * static_cast<double>(ringStep);
            const double v = j * static_cast<double>(sideStep);
            vertices[k++] = TorusVertex(u, v, majorRadius, minorRadius);
        }
    }

    RecreateArray(faces, 2 * static_cast<std::size_t>(n));
    const std::int32_t t = textureSize;
    std::size_t f = 0;
    for (std::int32_t i = rings - 1; i >= 0; --i) {
        for (std::int32_t j = sides - 1; j >= 0; --j) {
            // The quad's corners; the last ring and the last side wrap around.
            const std::int32_t nextRing = (i + 1) % rings;
            const Corner a{rings * j + i, t, 0};
            const Corner b{rings * j + nextRing, 0, 0};
            const Corner c{(rings * j + i + rings) % n, t, t};
            const Corner d{(rings * j + nextRing + rings) % n, 0, t};
            const auto colorIndex = static_cast<std::int32_t>(std::floor(RandomUnit() * 255.0));
            faces[f++] = TorusFace(a, b, c, colorIndex);
            faces[f++] = TorusFace(b, d, c, colorIndex);
        }
    }
}
