#include "app/page_query.h"

#include <algorithm>

#include "app/arguments.h"

namespace {

constexpr const char* kForms = "the page takes ?seed=S, or ?seed=S&frames=N for the frames' CRCs";

std::optional<std::string> TakeParameter(std::string_view name, std::string_view value, PageRequest& request,
                                         bool& framesGiven) {
    if (name == "seed") {
        if (request.seedGiven) return std::string("seed is given twice");
        std::int64_t seed = 0;
        if (auto error = ParseNumber("seed", value, 0, kMaxSeed, seed)) return error;
        request.seed = static_cast<std::int32_t>(seed);
        request.seedGiven = true;
    } else if (name == "frames") {
        if (framesGiven) return std::string("frames is given twice");
        if (auto error = ParseNumber("frames", value, 1, kMaxPageFrames, request.frameCount)) return error;
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
