// Small helpers the test suites share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ostream>
#include <string>

#include "cpu/simd_level.h"

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
