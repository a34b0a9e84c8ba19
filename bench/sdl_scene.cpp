#include "bench/sdl_scene.h"

#include <SDL_surface.h>

bool OpenSdlScene(SdlScene& peer) {
    peer.surface = SDL_CreateRGBSurfaceWithFormat(0, kFrameWidth, kFrameHeight, 32, SDL_PIXELFORMAT_ARGB8888);
    if (peer.surface == nullptr) return false;
    peer.renderer = SDL_CreateSoftwareRenderer(peer.surface);
    // Rows must follow one another, as in our frame, for the pixel comparison.
    if (peer.renderer == nullptr || peer.surface->pitch != kFrameWidth * 4) {
        CloseSdlScene(peer);
        return false;
    }
    SDL_SetRenderDrawBlendMode(peer.renderer, SDL_BLENDMODE_NONE);
    SDL_SetRenderDrawColor(peer.renderer, 0, 0, 0, 0xFF);
    return true;
}

void CloseSdlScene(SdlScene& peer) {
    if (peer.renderer != nullptr) SDL_DestroyRenderer(peer.renderer);
    if (peer.surface != nullptr) SDL_FreeSurface(peer.surface);
    peer.renderer = nullptr;
    peer.surface = nullptr;
}

void DrawSdlFrame(SdlScene& peer, Scene& scene) {
    TurnSceneIntoTriangles(scene, FaceCulling::OnProcessor, peer.triangles);
    const PeerTriangles& triangles = peer.triangles;
    peer.vertices.resize(triangles.colors.size());
    for (std::size_t v = 0; v < peer.vertices.size(); ++v) {
        const PeerColor color = triangles.colors[v];
        peer.vertices[v] = {{triangles.positions[2 * v], triangles.positions[2 * v + 1]},
                            {color.r, color.g, color.b, color.a},
                            {0.0f, 0.0f}};
    }
    SDL_RenderClear(peer.renderer);
    SDL_RenderGeometry(peer.renderer, nullptr, peer.vertices.data(), static_cast<int>(peer.vertices.size()),
                       triangles.indices.data(), static_cast<int>(triangles.indices.size()));
    // Draw calls may wait in a queue; this runs them into the surface.
    SDL_RenderFlush(peer.renderer);
}

std::span<const std::uint32_t> SdlScenePixels(const SdlScene& peer) {
    return {static_cast<const std::uint32_t*>(peer.surface->pixels), static_cast<std::size_t>(kFramePixelCount)};
}
