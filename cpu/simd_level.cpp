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

SimdLevel& ActiveLevel() {
    static SimdLevel active = ChosenSimdLevel();
    return active;
}

std::vector<SimdLevel> LevelsBetween(SimdLevel first, SimdLevel last) {
    std::vector<SimdLevel> levels;
    for (auto i = static_cast<int>(first); i <= static_cast<int>(last); ++i) levels.push_back(static_cast<SimdLevel>(i));
    return levels;
}

// The level the top of a stage's table runs: the widest whose entries the
// tables keep. A build's levels run from Plain up to it without a gap.
SimdLevel WidestBuiltLevel() {
    constexpr SimdPaths<const char*> kept = DEMO_SIMD_PATHS("plain", "sse2", "avx2", "avx512");
    return *ParseSimdLevel(PathFor(kept, SimdLevel::Avx512));
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

SimdLevel ActiveSimdLevel() { return ActiveLevel(); }

void UseSimdLevel(SimdLevel level) { ActiveLevel() = std::min(level, ChosenSimdLevel()); }

std::vector<SimdLevel> RunnableSimdLevels() { return LevelsBetween(SimdLevel::Plain, ChosenSimdLevel()); }
std::vector<SimdLevel> BuiltSimdLevels() { return LevelsBetween(SimdLevel::Plain, WidestBuiltLevel()); }
std::vector<SimdLevel> FastSimdLevels() { return LevelsBetween(SimdLevel::Sse2, WidestBuiltLevel()); }
