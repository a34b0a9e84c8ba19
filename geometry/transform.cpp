#include "geometry/transform.h"

#include "geometry/matrix.h"
#include "geometry/rounding.h"

namespace {

// The eye's distance from the origin, and the projection's scale.
constexpr double kEyeDistance = 256.0;
constexpr double kCentreX = 320.0;
constexpr double kCentreY = 240.0;

void ProjectVertex(Vertex& vertex) {
    // Dividing by the rounded distance makes the size change in whole depth steps.
    const std::int32_t d = RoundToInt32(kEyeDistance - vertex.tz);
    if (d <= 0) return;
    vertex.sx = static_cast<float>(kEyeDistance * vertex.tx / d + kCentreX);
    vertex.sy = static_cast<float>(kCentreY - kEyeDistance * vertex.ty / d);
}

}  // namespace

void TransformVertices(VertexArray& vertices, const Matrix4& m) {
    for (Vertex& vertex : vertices) {
        // The normal goes through the same affine transform, translation included.
        TransformPoint(m, vertex.nx, vertex.ny, vertex.nz, vertex.tnx, vertex.tny, vertex.tnz);
        TransformPoint(m, vertex.x, vertex.y, vertex.z, vertex.tx, vertex.ty, vertex.tz);
        ProjectVertex(vertex);
    }
}
