#pragma once

#include "common/EdidImage.h"

#include <cstddef>
#include <string_view>

namespace lvx {

// The image offset a block command fills: 0, 64, 128, 192 for ND_ED0A, ND_ED0B, ND_ED1A,
// ND_ED1B (commands 8 to 11).
std::size_t EdidBlockBase(int command);

// Converts the hexadecimal pairs at the start of a block answer into up to 64 image bytes
// from `base` on. Each digit is converted on its own: "0"-"9" and "A"-"F" give their value,
// any other character (lower-case letters included) gives 0. A shorter answer converts the
// characters it has; nothing is read past its end or written past the block.
void DecodeEdidBlockAnswer(std::string_view answer, std::size_t base, EdidImage& image);

} // namespace lvx
