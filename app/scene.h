// The scene state and the two procedures every program shares: set-up and one
// frame step. The programs, demo-snapshot and the tests all go through these.
#pragma once

#include <cstdint>

#include "geometry/mesh.h"
#include "raster/frame_buffer.h"
#include "raster/mesh_renderer.h"

inline constexpr const char* kWindowTitle = "Quillon 32 - Kestav Opalix(Numbrae)";

struct Scene {
    FrameBuffer frameBuffer;
    Matrix4 worldMatrix;
    Matrix4 rotationMatrix;  // scratch: one axis rotation at a time
    VertexArray vertices;
    FaceArray faces;
    std::int32_t angleX, angleY, angleZ;  // whole degrees
    Vec3 lightDir;
    CornerCache corners;  // the renderer's, sized for the mesh at set-up
};

// Every field zero, and two zero records in each array: the state before the
// display opens.
void CreateScene(Scene& scene);

// Everything after seeding, in this order: torus, normals, the three starting
// angles (x, y, z, one random draw each) and the light direction; then the
// renderer's corner cache is sized for the torus. The caller seeds the random
// generator first.
void BuildScene(Scene& scene);

// The frame step up to the drawing: each angle one degree on, the world
// matrix rebuilt, the vertices transformed and the faces sorted far to near.
void TurnAndSortScene(Scene& scene);

// One frame, drawn into scene.frameBuffer: clear, advance each angle by one
// degree, rebuild the world matrix, transform, depth sort and draw.
void StepFrame(Scene& scene);

// Moves the angles on as `count` frame steps would, without drawing. Each frame
// of the torus depends on its angles alone (every vertex is projected in every
// frame), and the angles come round every 360 frames.
void SkipFrames(Scene& scene, std::int64_t count);
