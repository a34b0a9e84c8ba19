// A heap frame buffer with known words on both sides: the fuzzers check that
// nothing is ever written outside the frame.
#pragma once

#include <array>
#include <cstdlib>
#include <cstdio>

#include "raster/frame_buffer.h"

struct GuardedFrame {
    static constexpr PackedColor kGuard = 0xA5A5A5A5u;
    std::array<PackedColor, 1024> before;
    FrameBuffer frame;
    std::array<PackedColor, 1024> after;
};

inline GuardedFrame& SharedGuardedFrame() {
    static GuardedFrame* guarded = [] {
        auto* g = new GuardedFrame;
        g->before.fill(GuardedFrame::kGuard);
        g->after.fill(GuardedFrame::kGuard);
        ClearFrameBuffer(g->frame);
        return g;
    }();
    return *guarded;
}

inline void CheckGuards(const GuardedFrame& guarded) {
    for (std::size_t i = 0; i < guarded.before.size(); ++i) {
        if (guarded.before[i] != GuardedFrame::kGuard || guarded.after[i] != GuardedFrame::kGuard) {
            std::fprintf(stderr, "write outside the frame buffer (guard word %zu)\n", i);
            std::abort();
        }
    }
}
