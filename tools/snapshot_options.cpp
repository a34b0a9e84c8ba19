#include "tools/snapshot_options.h"

#include <utility>

#include "app/arguments.h"

namespace {

constexpr const char* kUsage =
    "usage: demo-snapshot --seed S [--frame N] [--count K] [--format FMT] -o PATH";

// The layout names --format takes, from display's table: "a b c".
std::string LayoutNames() {
    std::string names;
    for (const PixelLayout& layout : PixelLayouts()) {
        if (!names.empty()) names += ' ';
        names += layout.name;
    }
    return names;
}

// Decides the output from -o PATH and parses its pattern, once.
std::optional<std::string> SetOutput(const std::string& path, SnapshotOptions& options) {
    if (path == "-") {
        options.output = OutputKind::kStandardOutput;
        return std::nullopt;
    }
    if (path.ends_with(".png")) {
        options.output = OutputKind::kPng;
    } else if (path.ends_with(".raw")) {
        options.output = OutputKind::kRawFiles;
    } else {
        return "output path must end in .png or .raw, or be - for standard output: " + Quoted(path);
    }
    std::optional<FramePattern> pattern = ParseFramePattern(path);
    if (!pattern) return "output path may hold one %d or %0Nd and no other %: " + Quoted(path);
    options.paths = std::move(*pattern);
    return std::nullopt;
}

std::optional<std::string> CheckOptions(const std::string& path, bool seedGiven,
                                        SnapshotOptions& options) {
    if (!seedGiven) return std::string("missing --seed; ") + kUsage;
    if (path.empty()) return std::string("missing -o PATH; ") + kUsage;
    if (const auto error = SetOutput(path, options)) return error;
    if (options.output == OutputKind::kPng && options.layout != nullptr) {
        return std::string("--format needs a .raw output path or -");
    }
    if (options.output != OutputKind::kStandardOutput && options.frameCount > 1 && !options.paths.hasField) {
        return "--count above 1 needs %d or %0Nd in the output path";
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ParseSnapshotArgs(const std::vector<std::string>& args,
                                             SnapshotOptions& options) {
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            return std::nullopt;
        }
    }
    bool seedGiven = false;
    std::string path;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& flag = args[i];
        if (flag != "--seed" && flag != "--frame" && flag != "--count" && flag != "--format" &&
            flag != "-o") {
            return "unknown argument " + Quoted(flag) + "; " + kUsage;
        }
        if (i + 1 == args.size()) return flag + " needs a value; " + kUsage;
        const std::string& value = args[++i];
        if (flag == "--seed") {
            std::int64_t seed = 0;
            if (auto error = ParseNumber(flag, value, 0, kMaxSeed, seed)) return error;
            options.seed = static_cast<std::int32_t>(seed);
            seedGiven = true;
        } else if (flag == "--frame") {
            if (auto error = ParseNumber(flag, value, 0, kMaxFirstFrame, options.firstFrame)) return error;
        } else if (flag == "--count") {
            if (auto error = ParseNumber(flag, value, 1, kMaxFrameCount, options.frameCount)) return error;
        } else if (flag == "--format") {
            options.layout = FindPixelLayout(value);
            if (options.layout == nullptr) return "unknown --format " + Quoted(value) + "; one of " + LayoutNames();
        } else {
            path = value;
        }
    }
    return CheckOptions(path, seedGiven, options);
}

std::string SnapshotHelp() {
    return std::string(kUsage) + "\n" +
           "Renders frames of the spinning torus without a display and prints 'frame N crc32 X' for each\n"
           "frame written.\n"
           "  --seed S      seed of the colours and starting angles, 0.." + std::to_string(kMaxSeed) + " (required)\n" +
           "  --frame N     first frame, 0.." + std::to_string(kMaxFirstFrame) + " (default 0)\n" +
           "  --count K     number of frames, 1.." + std::to_string(kMaxFrameCount) + " (default 1)\n" +
           "  --format FMT  raw bytes in a display layout: " + LayoutNames() + "\n" +
           "  -o PATH       NAME.png, NAME.raw, or - for raw frames on stdout (crc32 lines go to stderr)\n"
           "  -h, --help    print this help\n"
           "In PATH, %d or %0Nd stands for the frame number and %% for %. Raw frames without --format are\n"
           "the frame buffer's 0x00RRGGBB words, least significant byte first, 640 x 480, top row first.\n"
           "Exit codes: 0 done, 1 a frame could not be written, 2 bad arguments.\n";
}

std::optional<FramePattern> ParseFramePattern(const std::string& path) {
    FramePattern pattern;
    std::string* text = &pattern.before;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] != '%') {
            *text += path[i];
            continue;
        }
        if (i + 1 < path.size() && path[i + 1] == '%') {
            *text += '%';
            ++i;
            continue;
        }
        if (pattern.hasField) return std::nullopt;
        // "%d", or "%0" followed by one digit 1..9 and "d".
        if (i + 1 < path.size() && path[i + 1] == 'd') {
            i += 1;
        } else if (i + 3 < path.size() && path[i + 1] == '0' && path[i + 2] >= '1' &&
                   path[i + 2] <= '9' && path[i + 3] == 'd') {
            pattern.width = path[i + 2] - '0';
            i += 3;
        } else {
            return std::nullopt;
        }
        pattern.hasField = true;
        text = &pattern.after;
    }
    return pattern;
}

std::string FramePath(const FramePattern& pattern, std::int64_t frame) {
    if (!pattern.hasField) return pattern.before;
    std::string digits = std::to_string(frame);
    if (digits.size() < static_cast<std::size_t>(pattern.width)) {
        digits.insert(0, static_cast<std::size_t>(pattern.width) - digits.size(), '0');
    }
    return pattern.before + digits + pattern.after;
}
