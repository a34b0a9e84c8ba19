// The demo's scene drawn by Mesa's off-screen software OpenGL, as the peer a
// user would otherwise pick for software 3-D.
#pragma once

#include <cstdint>
#include <vector>

#include "app/scene.h"
#include "bench/peer_triangles.h"

struct OsMesaScene {
    void* context = nullptr;
    std::vector<std::uint32_t> pixels;  // the GL colour buffer
    PeerTriangles triangles;            // all faces: GL drops those turned away
};

bool OpenOsMesaScene(OsMesaScene& peer);
void CloseOsMesaScene(OsMesaScene& peer);

// Advances the scene by one frame and draws it through OpenGL, ending with glFinish.
void DrawOsMesaFrame(OsMesaScene& peer, Scene& scene);
