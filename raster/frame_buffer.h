// The one image the program draws into.
#pragma once

#include <array>
#include <cstdint>

// 0x00RRGGBB: red in bits 16-23, green in 8-15, blue in 0-7.
using PackedColor = std::uint32_t;

inline constexpr std::int32_t kFrameWidth = 640;
inline constexpr std::int32_t kFrameHeight = 480;
inline constexpr std::int32_t kFramePixelCount = kFrameWidth * kFrameHeight;

// Row-major from the top row, no gap between rows: pixel (x, y) is at y * 640 + x.
struct FrameBuffer {
    alignas(64) std::array<PackedColor, kFramePixelCount> pixels;
};

// Every pixel becomes 0 (black), as one block fill.
void ClearFrameBuffer(FrameBuffer& frameBuffer);
