#include "creator/CreatorText.h"

#include <cstdio>
#include <limits>

namespace lvx {

Digits ParseDigits(std::string_view text) {
    Digits d;
    if (text.empty()) {
        return d;
    }
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    for (char c : text) {
        if (c < '0' || c > '9') {
            return {};
        }
        const unsigned digit = static_cast<unsigned>(c - '0');
        if (d.value > (kMax - digit) / 10) {
            d.huge = true;
        }
        d.value = d.value * 10 + digit; // wraps: the value modulo 2^64
    }
    d.ok = true;
    return d;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

std::string LuminanceText(unsigned value) {
    return std::string(value < 10 ? 4 : value < 100 ? 3 : 2, ' ') + std::to_string(value);
}

std::string BitRateText(unsigned value) {
    return std::string(value < 1000 ? 2 : 1, ' ') + std::to_string(value);
}

std::string HexPair(std::uint8_t a, std::uint8_t b) {
    char text[5];
    std::snprintf(text, sizeof text, "%02X%02X", a, b);
    return text;
}

} // namespace lvx
