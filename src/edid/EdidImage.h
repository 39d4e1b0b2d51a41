#pragma once

#include <array>
#include <cstdint>

namespace lvx {

// Two 128-byte blocks: the base block and at most one extension.
constexpr std::size_t kEdidSize = 256;
constexpr std::size_t kEdidBlockSize = 128;
using EdidImage = std::array<std::uint8_t, kEdidSize>;

} // namespace lvx
