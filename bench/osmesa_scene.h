// The demo's scene drawn by Mesa's off-screen software OpenGL, as the peer a
// user would otherwise pick for software 3-D.
#pragma once

#include <cstdint>
#include <vector>

#include "app/scene.h"

struct OsMesaScene {
    void* context = nullptr;
    std::vector<std::uint32_t> pixels;      // the GL colour buffer
    std::vector<float> positions;           // x, y per vertex, in screen pixels
    std::vector<std::uint32_t> colors;      // RGBA bytes per vertex
    std::vector<std::uint32_t> indices;     // three per face, back to front
};

bool OpenOsMesaScene(OsMesaScene& peer);
void CloseOsMesaScene(OsMesaScene& peer);

// Advances the scene by one frame and draws it through OpenGL, ending with glFinish.
void DrawOsMesaFrame(OsMesaScene& peer, Scene& scene);

// How many pixels the last frame lit, and how many of them our frame lit too
// (for checking that both draw the same shape in the same place).
std::int64_t CountLitPixels(const OsMesaScene& peer);
std::int64_t CountLitInBoth(const OsMesaScene& peer, const FrameBuffer& frame);
