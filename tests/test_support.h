// Small helpers the test suites, the fuzzers and the benchmarks share. No test
// framework here: the fuzzers include it too.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "cpu/simd_level.h"
#include "raster/frame_buffer.h"

// A 32-bit value as 0xXXXXXXXX, for failure messages.
inline std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", value);
    return text;
}

// Bytes as "XX XX XX", for failure messages.
inline std::string HexBytes(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    char piece[4];
    for (std::size_t i = 0; i < count; ++i) {
        std::snprintf(piece, sizeof piece, i == 0 ? "%02X" : " %02X", bytes[i]);
        text += piece;
    }
    return text;
}

// Names a parameterised test after the level it runs: Plain, Sse2, ...
inline std::string SimdLevelTestName(SimdLevel level) {
    std::string name(SimdLevelName(level));
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

// The one way a test picks a level: while this lives, every stage runs the
// paths of `level` (of ChosenSimdLevel() where `level` is above it).
struct AtSimdLevel {
    explicit AtSimdLevel(SimdLevel level) : before(ActiveSimdLevel()) { UseSimdLevel(level); }
    ~AtSimdLevel() { UseSimdLevel(before); }
    SimdLevel before;
};

// Lets gtest print a level by name in test names and messages.
inline void PrintTo(SimdLevel level, std::ostream* out) { *out << SimdLevelName(level); }

// `count` pixels from a seeded generator. The mask 0x00FFFFFF gives the
// renderer's colours, a zero top byte; the default keeps all 32 bits.
inline std::vector<std::uint32_t> RandomPixels(std::size_t count, std::uint32_t seed,
                                               std::uint32_t mask = 0xFFFFFFFFu) {
    std::mt19937 random(seed);
    std::vector<std::uint32_t> pixels(count);
    for (std::uint32_t& pixel : pixels) pixel = static_cast<std::uint32_t>(random()) & mask;
    return pixels;
}

// Guards, the one scheme of every test that writes into memory: the memory
// starts out as kGuardByte, the routine writes kGuardMargin bytes in (past its
// widest store), and then every byte, margins and gaps between rows included,
// must be the expected one.
inline constexpr std::uint8_t kGuardByte = 0xA5;
inline constexpr std::size_t kGuardMargin = 64;

// `size` bytes with a margin on each side, all guard.
inline std::vector<std::uint8_t> GuardedBytes(std::size_t size) {
    return std::vector<std::uint8_t>(kGuardMargin + size + kGuardMargin, kGuardByte);
}

// "" when actual equals expected, else the first byte that differs, counted
// from `start` (negative: before it), expected and actual in hex.
inline std::string FirstDifference(const std::vector<std::uint8_t>& expected,
                                   const std::vector<std::uint8_t>& actual, std::size_t start = kGuardMargin) {
    if (actual.size() != expected.size()) return "sizes differ";
    const auto [e, a] = std::mismatch(expected.begin(), expected.end(), actual.begin());
    if (e == expected.end()) return "";
    const auto at = static_cast<std::ptrdiff_t>(e - expected.begin()) - static_cast<std::ptrdiff_t>(start);
    return "byte " + std::to_string(at) + ": expected " + HexBytes(&*e, 1) + ", actual " + HexBytes(&*a, 1);
}

// The frame buffer the same way, with a margin of guard words on both sides.
// Black, or seeded noise: a fill must then change exactly its own pixels.
struct GuardedFrame {
    static constexpr PackedColor kGuard = 0x01010101u * kGuardByte;
    std::array<PackedColor, 1024> before;
    FrameBuffer frame;
    std::array<PackedColor, 1024> after;
};

inline std::unique_ptr<GuardedFrame> NewGuardedFrame(std::mt19937* noise = nullptr) {
    auto guarded = std::make_unique<GuardedFrame>();
    guarded->before.fill(GuardedFrame::kGuard);
    guarded->after.fill(GuardedFrame::kGuard);
    ClearFrameBuffer(guarded->frame);
    if (noise != nullptr) {
        for (PackedColor& pixel : guarded->frame.pixels) pixel = static_cast<PackedColor>((*noise)());
    }
    return guarded;
}

// The first guard word that was overwritten, or -1 when all are intact.
inline int OverwrittenGuard(const GuardedFrame& guarded) {
    for (std::size_t i = 0; i < guarded.before.size(); ++i) {
        if (guarded.before[i] != GuardedFrame::kGuard || guarded.after[i] != GuardedFrame::kGuard) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// For the fuzzers, which end the run on a finding.
inline void AbortIfGuardOverwritten(const GuardedFrame& guarded) {
    const int word = OverwrittenGuard(guarded);
    if (word < 0) return;
    std::fprintf(stderr, "write outside the frame buffer (guard word %d)\n", word);
    std::abort();
}

// `size` bytes that end `slack` bytes before an inaccessible page, so that
// touching a byte past that ends the test with a fault, with or without a
// sanitizer. start() is null if the pages could not be had.
class BytesBeforeAFence {
public:
    explicit BytesBeforeAFence(std::size_t size, std::size_t slack = 0) {
        const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
        const std::size_t readable = (size + slack + page - 1) / page * page;
        mappedBytes_ = readable + page;
        void* mapped = mmap(nullptr, mappedBytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) return;
        mapped_ = static_cast<std::uint8_t*>(mapped);
        if (mprotect(mapped_ + readable, page, PROT_NONE) != 0) return;
        start_ = mapped_ + readable - slack - size;
    }
    ~BytesBeforeAFence() {
        if (mapped_ != nullptr) munmap(mapped_, mappedBytes_);
    }
    BytesBeforeAFence(const BytesBeforeAFence&) = delete;
    BytesBeforeAFence& operator=(const BytesBeforeAFence&) = delete;

    std::uint8_t* start() const { return start_; }

private:
    std::uint8_t* mapped_ = nullptr;
    std::uint8_t* start_ = nullptr;
    std::size_t mappedBytes_ = 0;
};
