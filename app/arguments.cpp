#include "app/arguments.h"

#include <charconv>

std::optional<std::string> ParseNumber(std::string_view name, std::string_view text, std::int64_t low,
                                       std::int64_t high, std::int64_t& value) {
    std::int64_t number = 0;
    const char* end = text.data() + text.size();
    const auto [rest, error] = std::from_chars(text.data(), end, number);
    if (text.empty() || error != std::errc{} || rest != end || number < low || number > high) {
        return std::string(name) + " must be a whole number from " + std::to_string(low) + " to " +
               std::to_string(high) + ", not " + Quoted(text);
    }
    value = number;
    return std::nullopt;
}

std::string Quoted(std::string_view text) {
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
