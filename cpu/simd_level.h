// The widest family of vector instructions the frame's fast paths may use.
// The processor is asked here and nowhere else; every module that has fast
// paths keeps them in a SimdPaths table and takes the one for the active level.
// Which levels a build has code for is said in cpu/build_contents.h.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

enum class SimdLevel { Plain, Sse2, Avx2, Avx512 };
inline constexpr std::size_t kSimdLevelCount = 4;

// What this processor runs, capped by the environment variable
// DEMO_SIMD=plain|sse2|avx2|avx512. Asked once; a cap above what the processor
// has, or a value that names no level, changes nothing.
SimdLevel ChosenSimdLevel();

// Every level from Plain up to ChosenSimdLevel(): the paths tests and
// benchmarks can run on this machine.
std::vector<SimdLevel> RunnableSimdLevels();
// Every level this build has code for, whether this processor runs it or not;
// and the same but Plain, the levels with paths to hold against the plain ones.
std::vector<SimdLevel> BuiltSimdLevels();
std::vector<SimdLevel> FastSimdLevels();

// The level every stage runs: ChosenSimdLevel() unless UseSimdLevel lowered it.
SimdLevel ActiveSimdLevel();
// From now on every stage runs its paths for `level`, or for ChosenSimdLevel()
// where `level` is above it: how tests and benchmarks run the lower paths.
void UseSimdLevel(SimdLevel level);

std::string_view SimdLevelName(SimdLevel level);
std::optional<SimdLevel> ParseSimdLevel(std::string_view name);

// The level a processor that has `has` runs under the cap `cap` (may be null).
SimdLevel CapSimdLevel(SimdLevel has, const char* cap);

// One path per level, null where a level has none of its own (or this build
// left it out); a level runs the nearest path at or below it. Plain is never null.
template <typename Path>
using SimdPaths = std::array<Path, kSimdLevelCount>;

template <typename Path>
constexpr Path PathFor(const SimdPaths<Path>& paths, SimdLevel level) {
    for (auto i = static_cast<std::size_t>(level); i > 0; --i) {
        if (paths[i] != nullptr) return paths[i];
    }
    return paths[0];
}
