// DrawMeshGouraud on random meshes: any positions, normals, colours and light,
// faces naming valid vertices and an order that is a permutation.
#include <utility>

#include "raster/mesh_renderer.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/test_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput input{data, size};
    const std::size_t vertexCount = 1 + input.Take<std::uint8_t>() % 64;
    const std::size_t faceCount = 1 + input.Take<std::uint8_t>() % 96;
    VertexArray vertices(vertexCount, Vertex{});
    for (Vertex& v : vertices) {
        v.sx = input.Take<float>();
        v.sy = input.Take<float>();
        v.tnx = input.Take<float>();
        v.tny = input.Take<float>();
        v.tnz = input.Take<float>();
        v.r = input.Take<float>();
        v.g = input.Take<float>();
        v.b = input.Take<float>();
    }
    FaceArray faces(faceCount, Face{});
    for (std::size_t f = 0; f < faceCount; ++f) {
        faces[f].vert0 = static_cast<std::int32_t>(input.Take<std::uint8_t>() % vertexCount);
        faces[f].vert1 = static_cast<std::int32_t>(input.Take<std::uint8_t>() % vertexCount);
        faces[f].vert2 = static_cast<std::int32_t>(input.Take<std::uint8_t>() % vertexCount);
        faces[f].order = static_cast<std::int32_t>(f);
    }
    for (std::size_t f = faceCount - 1; f > 0; --f) {  // a permutation, chosen by the input
        std::swap(faces[f].order, faces[input.Take<std::uint8_t>() % (f + 1)].order);
    }
    const Vec3 light{input.Take<float>(), input.Take<float>(), input.Take<float>()};
    static GuardedFrame& guarded = *NewGuardedFrame().release();
    static CornerCache cache;
    DrawMeshGouraud(guarded.frame, vertices, faces, light, cache);
    AbortIfGuardOverwritten(guarded);
    return 0;
}
