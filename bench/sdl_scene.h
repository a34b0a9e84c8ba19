// The demo's scene drawn by SDL's software renderer into a 32-bit surface:
// the 2-D library a user would otherwise reach for to put shaded triangles
// into memory.
#pragma once

#include <SDL_render.h>

#include <cstdint>
#include <span>
#include <vector>

#include "app/scene.h"
#include "bench/peer_triangles.h"

struct SdlScene {
    SDL_Surface* surface = nullptr;  // 640 x 480, 0xAARRGGBB pixels, no gap between rows
    SDL_Renderer* renderer = nullptr;
    PeerTriangles triangles;  // only the faces that turn to the viewer: SDL culls nothing
    std::vector<SDL_Vertex> vertices;
};

bool OpenSdlScene(SdlScene& peer);
void CloseSdlScene(SdlScene& peer);

// Advances the scene by one frame and draws it with SDL_RenderGeometry, ending
// when the triangles are in the surface.
void DrawSdlFrame(SdlScene& peer, Scene& scene);

std::span<const std::uint32_t> SdlScenePixels(const SdlScene& peer);
