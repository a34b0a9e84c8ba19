// The demo's scene as a list of lit triangles, for the peers that draw it:
// corners in screen pixels, one colour per vertex, lit on the processor as we
// light them, faces in back-to-front order.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "app/scene.h"

struct PeerColor {
    std::uint8_t r, g, b, a;  // bytes in this order in memory, as GL and SDL read them
};

struct PeerTriangles {
    std::vector<float> positions;  // x, y per vertex, in screen pixels
    std::vector<PeerColor> colors;  // one per vertex
    std::vector<int> indices;       // three per face, back to front
};

// Whether the peer drops the faces that turn away from the viewer itself, or
// has them dropped here, by the rule our renderer uses on the rounded corners.
enum class FaceCulling { ByPeer, OnProcessor };

// Advances the scene by one frame (turn, transform, sort) and lists its triangles.
void TurnSceneIntoTriangles(Scene& scene, FaceCulling culling, PeerTriangles& triangles);

// How many pixels of a peer's 32-bit frame (colour in the low 24 bits) are
// lit, and how many of them our frame lit too: the two must draw the same shape
// in the same place.
std::int64_t CountLitPixels(std::span<const std::uint32_t> peerPixels);
std::int64_t CountLitInBoth(std::span<const std::uint32_t> peerPixels, const FrameBuffer& frame);
