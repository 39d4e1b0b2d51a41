#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace lvx {

// Two 128-byte blocks: the base block and at most one extension.
constexpr std::size_t kEdidSize = 256;
constexpr std::size_t kEdidBlockSize = 128;
using EdidImage = std::array<std::uint8_t, kEdidSize>;

// Offsets in the base block that several units read.
constexpr std::size_t kEdidExtensionCountOffset = 126;
constexpr std::size_t kEdidChecksum0Offset = 127;
constexpr std::size_t kEdidChecksum1Offset = 255;

// Sum of the 128 bytes of a block (0 or 1), modulo 256. A block is intact when this is 0.
inline std::uint8_t BlockSum(const EdidImage& image, std::size_t block) {
    std::uint8_t sum = 0;
    const std::size_t first = (block == 0 ? 0 : kEdidBlockSize);
    for (std::size_t i = first; i < first + kEdidBlockSize; ++i) {
        sum = static_cast<std::uint8_t>(sum + image[i]);
    }
    return sum;
}

// The checksum byte a block (0 or 1) needs: the two's complement of the sum of its first 127
// bytes.
inline std::uint8_t BlockChecksum(const EdidImage& image, std::size_t block) {
    std::uint8_t sum = 0;
    const std::size_t first = (block == 0 ? 0 : kEdidBlockSize);
    for (std::size_t i = first; i < first + kEdidBlockSize - 1; ++i) {
        sum = static_cast<std::uint8_t>(sum + image[i]);
    }
    return static_cast<std::uint8_t>(0x100 - sum);
}

} // namespace lvx
