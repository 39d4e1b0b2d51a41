#pragma once

#include "common/EdidImage.h"

#include <cstddef>
#include <string_view>

namespace lvx {

// The image offset a block command fills: 0, 64, 128, 192 for ND_ED0A, ND_ED0B, ND_ED1A,
// ND_ED1B (commands 8 to 11).
std::size_t EdidBlockBase(int command);

// Hexadecimal characters of one block answer: 64 bytes as pairs, high digit first.
constexpr std::size_t kEdidBlockHexChars = 128;

// Whether an answer (as the block handler gets it: the body, its four CRC characters and the
// line feed) is a block: a body of exactly 128 hexadecimal digits in the protocol's form
// ("0"-"9", "A"-"F"). An "OK", a descriptor, a short or long text, lower-case digits: no.
bool IsEdidBlockAnswer(std::string_view answer);

// Converts a block answer into the 64 image bytes from `base` on. Anything that is not a
// block (above) changes nothing and gives false: a missing block, never a broken image.
bool DecodeEdidBlockAnswer(std::string_view answer, std::size_t base, EdidImage& image);

} // namespace lvx
