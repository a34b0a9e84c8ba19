#include "cpu/simd_level.h"

#include <cstdlib>

namespace {

constexpr std::array<std::string_view, kSimdLevelCount> kNames = {"plain", "sse2", "avx2", "avx512"};

// AVX2 here means what the compiler's AVX2 target may emit beside it: POPCNT
// too, which a virtual machine can hide on its own. AVX-512 means the subsets
// the wide paths use, F, BW, VL and VBMI, on top of that.
SimdLevel ProcessorSimdLevel() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    __builtin_cpu_init();
    const bool avx2 = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
    if (avx2 && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi")) {
        return SimdLevel::Avx512;
    }
    if (avx2) return SimdLevel::Avx2;
    if (__builtin_cpu_supports("sse2")) return SimdLevel::Sse2;
#elif defined(__EMSCRIPTEN__) && defined(__SSE2__)
    // The web page's SIMD build: its SSE2 runs on WebAssembly's 128-bit
    // vectors, and the page loads it only where the browser has them.
    return SimdLevel::Sse2;
#endif
    return SimdLevel::Plain;
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

std::vector<SimdLevel> RunnableSimdLevels() {
    std::vector<SimdLevel> levels;
    for (std::size_t i = 0; i <= static_cast<std::size_t>(ChosenSimdLevel()); ++i) {
        levels.push_back(static_cast<SimdLevel>(i));
    }
    return levels;
}
