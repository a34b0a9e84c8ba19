#include "cpu/simd_level.h"

#include <algorithm>
#include <cstdlib>

#include "cpu/build_contents.h"

namespace {

constexpr std::array<std::string_view, kSimdLevelCount> kNames = {"plain", "sse2", "avx2", "avx512"};

// AVX2 here means what the compiler's AVX2 target may emit beside it: POPCNT
// too, which a virtual machine can hide on its own. AVX-512 means the subsets
// the wide paths use, F, BW, VL and VBMI, on top of that.
// Elsewhere the build decides alone (cpu/build_contents.h).
SimdLevel ProcessorSimdLevel() {
#if defined(DEMO_BUILD_X86)
    __builtin_cpu_init();
    const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    if (avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi")) {
        return SimdLevel::Avx512;
    }
    if (avx2) return SimdLevel::Avx2;
    if (__builtin_cpu_supports("sse2")) return SimdLevel::Sse2;
    return SimdLevel::Plain;
#elif defined(DEMO_BUILD_SSE2)
    return SimdLevel::Sse2;
#else
    return SimdLevel::Plain;
#endif
}

}  // namespace

std::string_view SimdLevelName(SimdLevel level) { return kNames[static_cast<std::size_t>(level)]; }

std::optional<SimdLevel> ParseSimdLevel(std::string_view name) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == name) return static_cast<SimdLevel>(i);
    }
    return std::nullopt;
}

SimdLevel CapSimdLevel(SimdLevel has, const char* cap) {
    const std::optional<SimdLevel> limit = cap != nullptr ? ParseSimdLevel(cap) : std::nullopt;
    return limit && *limit < has ? *limit : has;
}

SimdLevel ChosenSimdLevel() {
    static const SimdLevel chosen = CapSimdLevel(ProcessorSimdLevel(), std::getenv("DEMO_SIMD"));
    return chosen;
}

namespace {
SimdLevel& ActiveLevel() {
    static SimdLevel active = ChosenSimdLevel();
    return active;
}
}  // namespace

SimdLevel ActiveSimdLevel() { return ActiveLevel(); }

void UseSimdLevel(SimdLevel level) { ActiveLevel() = std::min(level, ChosenSimdLevel()); }

std::vector<SimdLevel> RunnableSimdLevels() {
    std::vector<SimdLevel> levels;
    for (std::size_t i = 0; i <= static_cast<std::size_t>(ChosenSimdLevel()); ++i) {
        levels.push_back(static_cast<SimdLevel>(i));
    }
    return levels;
}

std::vector<SimdLevel> BuiltSimdLevels() {
    // The levels whose entries the stages' tables keep.
    constexpr SimdPaths<const char*> kept = DEMO_SIMD_PATHS("plain", "sse2", "avx2", "avx512");
    std::vector<SimdLevel> levels;
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (kept[i] != nullptr) levels.push_back(static_cast<SimdLevel>(i));
    }
    return levels;
}

std::vector<SimdLevel> FastSimdLevels() {
    std::vector<SimdLevel> levels = BuiltSimdLevels();
    levels.erase(levels.begin());
    return levels;
}
