// The web page's query string: "?seed=S" for a seed of one's own, and
// "?seed=S&frames=N" for the test mode that checksums frames 0..N-1.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::int64_t kMaxPageFrames = 3600;  // ten turns; the page blocks while it draws them

struct PageRequest {
    bool seedGiven = false;  // else the clock seeds, as in the programs
    std::int32_t seed = 0;
    std::int64_t frameCount = 0;  // 0: the live page; else the test mode
};

// Fills request from the query (with or without its leading '?'), or returns
// a one-line message saying what is wrong. Empty pieces ("&&") are ignored.
std::optional<std::string> ParsePageQuery(std::string_view query, PageRequest& request);
