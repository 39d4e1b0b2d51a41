#pragma once

// Builders for the hand-made images of the EDID tests.

#include "common/EdidImage.h"

#include <initializer_list>
#include <utility>
#include <vector>

namespace lvx::test {

using Bytes = std::vector<std::uint8_t>;

inline void Put(EdidImage& image, std::size_t offset, const Bytes& bytes) {
    for (std::uint8_t b : bytes) {
        image[offset++] = b;
    }
}

inline void FixChecksums(EdidImage& image) {
    image[127] = BlockChecksum(image, 0);
    image[255] = BlockChecksum(image, 1);
}

// A valid image: header, manufacturer "AAA", the extension count, zeros elsewhere, and the
// given bytes written before the checksums are set.
inline EdidImage Image(std::uint8_t extensions,
                       std::initializer_list<std::pair<std::size_t, Bytes>> puts = {}) {
    EdidImage image{};
    Put(image, 0, {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x04, 0x21});
    image[126] = extensions;
    for (const auto& [offset, bytes] : puts) {
        Put(image, offset, bytes);
    }
    FixChecksums(image);
    return image;
}

// A valid image with a CTA extension whose data blocks follow one another from byte 132; the
// DTD offset is just past them unless one is given.
inline EdidImage Cta(const std::vector<Bytes>& blocks, int dtdOffset = -1) {
    EdidImage image = Image(1);
    std::size_t pos = 132;
    for (const Bytes& block : blocks) {
        Put(image, pos, block);
        pos += block.size();
    }
    Put(image, 128, {0x02, 0x03, std::uint8_t(dtdOffset >= 0 ? dtdOffset : int(pos) - 128)});
    FixChecksums(image);
    return image;
}

// An HDMI VSDB whose bytes after the OUI are `rest`.
inline Bytes Hdmi(const Bytes& rest) {
    Bytes block{std::uint8_t(0x60 | (rest.size() + 3)), 0x03, 0x0C, 0x00};
    for (std::uint8_t b : rest) {
        block.push_back(b);
    }
    return block;
}

} // namespace lvx::test
