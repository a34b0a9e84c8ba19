#include "tools/snapshot_options.h"

#include <charconv>

namespace {

constexpr const char* kUsage =
    "usage: demo-snapshot --seed S [--frame N] [--count K] [--format FMT] -o PATH";

const char* const kFormats[] = {"rgb32",  "bgr32",  "rgb24",  "bgr24",
                                "rgb565", "bgr565", "rgb555", "bgr555"};

// A whole decimal number within [low, high], nothing before or after it.
std::optional<std::int64_t> ParseNumber(const std::string& text, std::int64_t low,
                                        std::int64_t high) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || rest != end || value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

bool IsKnownFormat(const std::string& format) {
    for (const char* known : kFormats) {
        if (format == known) return true;
    }
    return false;
}

// Quotes an argument for a message, with control bytes spelled out so that
// the message stays on one line.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            const char* digits = "0123456789ABCDEF";
            quoted += "\\x";
            quoted += digits[byte >> 4];
            quoted += digits[byte & 0xF];
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::optional<std::string> CheckOptions(const SnapshotOptions& options, bool seedGiven) {
    if (!seedGiven) return std::string("missing --seed; ") + kUsage;
    if (options.outputPattern.empty()) return std::string("missing -o PATH; ") + kUsage;
    const bool png = EndsWith(options.outputPattern, ".png");
    if (!png && !EndsWith(options.outputPattern, ".raw")) {
        return "output path must end in .png or .raw: " + Quoted(options.outputPattern);
    }
    if (png && !options.format.empty()) return std::string("--format needs a .raw output path");
    const std::optional<FramePattern> pattern = ParseFramePattern(options.outputPattern);
    if (!pattern) {
        return "output path may hold one %d or %0Nd and no other %: " + Quoted(options.outputPattern);
    }
    if (options.frameCount > 1 && !pattern->hasField) {
        return "--count above 1 needs %d or %0Nd in the output path";
    }
    return std::nullopt;
}

}  // namespace

bool EndsWith(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

std::optional<std::string> ParseSnapshotArgs(const std::vector<std::string>& args,
                                             SnapshotOptions& options) {
    bool seedGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& flag = args[i];
        if (flag != "--seed" && flag != "--frame" && flag != "--count" && flag != "--format" &&
            flag != "-o") {
            return "unknown argument " + Quoted(flag) + "; " + kUsage;
        }
        if (i + 1 == args.size()) return flag + " needs a value; " + kUsage;
        const std::string& value = args[++i];
        if (flag == "--seed") {
            const auto seed = ParseNumber(value, 0, 2147483647);
            if (!seed) return "--seed must be a whole number from 0 to 2147483647, not " + Quoted(value);
            options.seed = static_cast<std::int32_t>(*seed);
            seedGiven = true;
        } else if (flag == "--frame") {
            const auto frame = ParseNumber(value, 0, kMaxFirstFrame);
            if (!frame) return "--frame must be a whole number from 0 to 1000000000, not " + Quoted(value);
            options.firstFrame = *frame;
        } else if (flag == "--count") {
            const auto count = ParseNumber(value, 1, kMaxFrameCount);
            if (!count) return "--count must be a whole number from 1 to 100000, not " + Quoted(value);
            options.frameCount = *count;
        } else if (flag == "--format") {
            if (!IsKnownFormat(value)) {
                return "unknown --format " + Quoted(value) +
                       "; one of rgb32 bgr32 rgb24 bgr24 rgb565 bgr565 rgb555 bgr555";
            }
            options.format = value;
        } else {
            options.outputPattern = value;
        }
    }
    return CheckOptions(options, seedGiven);
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
