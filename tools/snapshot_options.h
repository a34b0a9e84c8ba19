// Command line of demo-snapshot.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "display/converters.h"

// Where the frame number goes in an output path: "%d" or "%0Nd" (N 1..9);
// "%%" stands for "%".
struct FramePattern {
    std::string before, after;
    bool hasField = false;
    int width = 0;  // zero-padded to this many digits
};

enum class OutputKind { kPng, kRawFiles, kStandardOutput };

struct SnapshotOptions {
    bool help = false;  // --help: print the help and nothing else
    std::int32_t seed = 0;
    std::int64_t firstFrame = 0;           // --frame N
    std::int64_t frameCount = 1;           // --count K
    const PixelLayout* layout = nullptr;   // --format FMT; null: the frame buffer as it is
    OutputKind output = OutputKind::kPng;  // from -o PATH
    FramePattern paths;                    // -o PATH, parsed; unused for standard output
};

inline constexpr std::int64_t kMaxFirstFrame = 1'000'000'000;
inline constexpr std::int64_t kMaxFrameCount = 100'000;

// Fills options from the arguments after the program name, or returns a
// one-line message saying what is wrong.
std::optional<std::string> ParseSnapshotArgs(const std::vector<std::string>& args,
                                             SnapshotOptions& options);

// The usage line and one line per option, for --help.
std::string SnapshotHelp();

// Nothing else printf would read as a conversion is accepted, and at most one field.
std::optional<FramePattern> ParseFramePattern(const std::string& path);

std::string FramePath(const FramePattern& pattern, std::int64_t frame);
