#include "geometry/normals.h"

#include <vector>

#include "geometry/matrix.h"

namespace {

Vec3 PositionOf(const Vertex& vertex) { return {vertex.x, vertex.y, vertex.z}; }

// (P1 - P0) x (P2 - P1): the second edge runs from the second corner.
Vec3 FaceNormal(Vec3 p0, Vec3 p1, Vec3 p2) {
    const Vec3 e1{p1.x - p0.x, p1.y - p0.y, p1.z - p0.z};
    const Vec3 e2{p2.x - p1.x, p2.y - p1.y, p2.z - p1.z};
    const auto cross = [](float a, float b, float c, float d) {
        return static_cast<float>(static_cast<double>(a) * b - static_cast<double>(c) * d);
    };
    Vec3 n{cross(e1.y, e2.z, e1.z, e2.y), cross(e1.z, e2.x, e1.x, e2.z), cross(e1.x, e2.y, e1.y, e2.x)};
    ScaleToUnitLength(n);  // a degenerate face keeps its zero normal
    return n;
}

struct NormalSum {
    Vec3 sum;
    std::int32_t count;
};

void AddFaceNormal(NormalSum& total, const Face& face) {
    total.sum.x += face.nx;
    total.sum.y += face.ny;
    total.sum.z += face.nz;
    ++total.count;
}

}  // namespace

void CalcNormals(VertexArray& vertices, FaceArray& faces) {
    for (Face& face : faces) {
        const Vec3 n = FaceNormal(PositionOf(vertices[static_cast<std::size_t>(face.vert0)]),
                                  PositionOf(vertices[static_cast<std::size_t>(face.vert1)]),
                                  PositionOf(vertices[static_cast<std::size_t>(face.vert2)]));
        face.nx = n.x;
        face.ny = n.y;
        face.nz = n.z;
    }

    // One walk over the faces in increasing order adds each face to its distinct
    // corners: the same sums, in the same order, as scanning all faces per vertex.
    std::vector<NormalSum> totals(vertices.size(), NormalSum{});
    for (const Face& face : faces) {
        const auto v0 = static_cast<std::size_t>(face.vert0);
        const auto v1 = static_cast<std::size_t>(face.vert1);
        const auto v2 = static_cast<std::size_t>(face.vert2);
        AddFaceNormal(totals[v0], face);
        if (v1 != v0) AddFaceNormal(totals[v1], face);
        if (v2 != v0 && v2 != v1) AddFaceNormal(totals[v2], face);
    }

    for (std::size_t v = 0; v < vertices.size(); ++v) {
        const NormalSum& total = totals[v];
        // A vertex that no face uses gets the zero normal.
        const float count = total.count == 0 ? 1.0f : static_cast<float>(total.count);
        Vec3 n{total.sum.x / count, total.sum.y / count, total.sum.z / count};
        ScaleToUnitLength(n);
        vertices[v].nx = n.x;
        vertices[v].ny = n.y;
        vertices[v].nz = n.z;
    }
}
