// Reads fixed-size values from a fuzzer's bytes; past the end it gives zeros.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

struct FuzzInput {
    const std::uint8_t* data;
    std::size_t size;

    template <typename Value>
    Value Take() {
        Value value{};
        const std::size_t n = size < sizeof value ? size : sizeof value;
        if (n > 0) std::memcpy(&value, data, n);
        data += n;
        size -= n;
        return value;
    }
};
