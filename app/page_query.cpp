#include "app/page_query.h"

#include <algorithm>
#include <charconv>

namespace {

constexpr const char* kForms = "the page takes ?seed=S, or ?seed=S&frames=N for the frames' CRCs";

// A whole decimal number within [low, high], nothing before or after it.
std::optional<std::int64_t> ParseNumber(std::string_view text, std::int64_t low, std::int64_t high) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || rest != end || value < low || value > high) return std::nullopt;
    return value;
}

// Quoted for a message, cut short and with control bytes spelled out.
std::string Quoted(std::string_view text) {
    constexpr std::size_t kLongest = 40;
    std::string quoted = "'";
    for (const char c : text.substr(0, kLongest)) {
        const auto byte = static_cast<unsigned char>(c);
        quoted += byte < 0x20 || byte == 0x7F ? '?' : c;
    }
    return quoted + (text.size() > kLongest ? "...'" : "'");
}

std::optional<std::string> TakeParameter(std::string_view name, std::string_view value, PageRequest& request,
                                         bool& framesGiven) {
    if (name == "seed") {
        if (request.seedGiven) return std::string("seed is given twice");
        const auto seed = ParseNumber(value, 0, 2147483647);
        if (!seed) return "seed must be a whole number from 0 to 2147483647, not " + Quoted(value);
        request.seed = static_cast<std::int32_t>(*seed);
        request.seedGiven = true;
    } else if (name == "frames") {
        if (framesGiven) return std::string("frames is given twice");
        const auto frames = ParseNumber(value, 1, kMaxPageFrames);
        if (!frames) return "frames must be a whole number from 1 to 3600, not " + Quoted(value);
        request.frameCount = *frames;
        framesGiven = true;
    } else {
        return "unknown parameter " + Quoted(name) + "; " + kForms;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> ParsePageQuery(std::string_view query, PageRequest& request) {
    if (query.starts_with('?')) query.remove_prefix(1);
    request = PageRequest{};
    bool framesGiven = false;
    while (!query.empty()) {
        const std::size_t end = std::min(query.find('&'), query.size());
        const std::string_view piece = query.substr(0, end);
        query.remove_prefix(std::min(end + 1, query.size()));
        if (piece.empty()) continue;
        const std::size_t equals = piece.find('=');
        if (equals == std::string_view::npos) return Quoted(piece) + " has no value; " + kForms;
        if (auto error = TakeParameter(piece.substr(0, equals), piece.substr(equals + 1), request, framesGiven)) {
            return error;
        }
    }
    if (framesGiven && !request.seedGiven) return std::string("frames needs a seed too: ?seed=S&frames=N");
    return std::nullopt;
}
