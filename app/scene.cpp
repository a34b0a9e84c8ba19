#include "app/scene.h"

#include <cmath>

#include "geometry/depth_sort.h"
#include "geometry/matrix.h"
#include "geometry/normals.h"
#include "geometry/torus.h"
#include "geometry/transform.h"
#include "random/random.h"
#include "raster/mesh_renderer.h"

namespace {

// 0..360; 360 only for the generator's largest value.
std::int32_t RandomStartAngle() { return static_cast<std::int32_t>(std::floor(RandomUnit() * 360.0)); }

// Each angle one degree on, 359 back to 0.
void AdvanceAngles(Scene& scene) {
    const auto next = [](std::int32_t angle) { return (angle + 1) % 360; };
    scene.angleX = next(scene.angleX);
    scene.angleY = next(scene.angleY);
    scene.angleZ = next(scene.angleZ);
}

}  // namespace

void CreateScene(Scene& scene) {
    ClearFrameBuffer(scene.frameBuffer);
    MatrixZero(scene.worldMatrix);
    MatrixZero(scene.rotationMatrix);
    RecreateArray(scene.vertices, 2);
    RecreateArray(scene.faces, 2);
    scene.angleX = scene.angleY = scene.angleZ = 0;
    scene.lightDir = {0.0f, 0.0f, 0.0f};
}

void BuildScene(Scene& scene) {
    MakeTorus(30, 25, 120, 40, 64, scene.vertices, scene.faces);
    CalcNormals(scene.vertices, scene.faces);
    scene.angleX = RandomStartAngle();
    scene.angleY = RandomStartAngle();
    scene.angleZ = RandomStartAngle();
    scene.lightDir = {10.0f, 5.0f, 5.0f};
    NormalizeVec3(scene.lightDir);
    SizeCornerCache(scene.corners, scene.vertices.size(), scene.faces.size());
}

void TurnAndSortScene(Scene& scene) {
    MatrixIdentity(scene.worldMatrix);
    // All three angles move before any is used: frame 0 shows start + 1 degree.
    AdvanceAngles(scene);
    // World = Rz * Ry * Rx: a point turns about x first, then y, then z.
    MatrixRotateX(scene.rotationMatrix, scene.angleX);
    MatrixMultiply(scene.worldMatrix, scene.rotationMatrix);
    MatrixRotateY(scene.rotationMatrix, scene.angleY);
    MatrixMultiply(scene.worldMatrix, scene.rotationMatrix);
    MatrixRotateZ(scene.rotationMatrix, scene.angleZ);
    MatrixMultiply(scene.worldMatrix, scene.rotationMatrix);
    TransformVertices(scene.vertices, scene.worldMatrix);
    DepthSortFaces(scene.vertices, scene.faces);
}

void StepFrame(Scene& scene) {
    ClearFrameBuffer(scene.frameBuffer);
    TurnAndSortScene(scene);
    DrawMeshGouraud(scene.frameBuffer, scene.vertices, scene.faces, scene.lightDir, scene.corners);
}

void SkipFrames(Scene& scene, std::int64_t count) {
    for (std::int64_t step = 0; step < count % 360; ++step) AdvanceAngles(scene);
}
