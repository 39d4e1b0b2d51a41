#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lvx {

// A text of decimal digits only, its value modulo 2^64, and whether it is larger than that.
struct Digits {
    bool ok = false;
    std::uint64_t value = 0;
    bool huge = false;
};

// Reads `text` as decimal digits; not ok for an empty text or any other character.
Digits ParseDigits(std::string_view text);

// `text` without the spaces at its ends.
std::string_view Trimmed(std::string_view text);

// A luminance edit's text: the value right-aligned in five characters (at least two spaces).
std::string LuminanceText(unsigned value);
// An audio bit-rate edit's text: the value behind one space, two below 1000.
std::string BitRateText(unsigned value);
// Two bytes as four upper-case hexadecimal digits.
std::string HexPair(std::uint8_t a, std::uint8_t b);

} // namespace lvx
