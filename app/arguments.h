// Numbers read from demo-snapshot's arguments and the web page's query, and
// what was refused quoted back in a one-line message.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

inline constexpr std::int64_t kMaxSeed = 2147483647;  // seeds are 0..2^31-1

// Reads text as a whole decimal number within [low, high], nothing before or
// after it, into value; or returns "NAME must be a whole number from LOW to
// HIGH, not 'TEXT'" and leaves value alone.
std::optional<std::string> ParseNumber(std::string_view name, std::string_view text, std::int64_t low,
                                       std::int64_t high, std::int64_t& value);

// The text in single quotes, control bytes spelled out as \xHH so that the
// message stays on one line.
std::string Quoted(std::string_view text);
