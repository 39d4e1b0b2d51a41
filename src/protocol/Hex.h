#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lvx {

// Two uppercase hexadecimal characters, high nibble first.
std::string ByteToHex(std::uint8_t value);

// "%04X" of a 16-bit value.
std::string Hex4(std::uint16_t value);

// Value of one hexadecimal digit in either case, or -1.
int HexDigitValue(char c);

// Converts pairs of hexadecimal characters into bytes: out[i/2] gets the first character's
// value in its high nibble and the second character's value added to it. A first character
// that is not a hexadecimal digit leaves the byte's previous content in place (only the low
// nibble is then added); a second one that is not a digit adds nothing; an odd trailing
// character yields a byte with only its high nibble set. Bytes beyond outSize are not written.
void HexToBytes(std::string_view text, std::uint8_t* out, std::size_t outSize);

} // namespace lvx
