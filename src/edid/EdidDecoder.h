#pragma once

#include "common/EdidImage.h"
#include "edid/EdidRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lvx {

// Tag bits (bits 7-5) of the CTA data blocks the decoder looks for.
constexpr std::uint8_t kTagAudio = 0x20;
constexpr std::uint8_t kTagVideo = 0x40;
constexpr std::uint8_t kTagVendor = 0x60;
constexpr std::uint8_t kTagSpeaker = 0x80;
constexpr std::uint8_t kTagExtended = 0xE0;

// The first position at which FindDataBlock callers start: block 1 byte 4.
constexpr std::size_t kFirstDataBlock = 132;

// One row of the table that names the best VIC of a video data block. Rows are in order of
// preference; the row with VIC 0 ends the table and is never matched.
struct VicName {
    std::uint8_t vic;
    std::string_view name;
};
constexpr std::size_t kVicNameRows = 27;
const std::array<VicName, kVicNameRows>& VicNameTable();

// Walks block 1 from `position` for a data block whose tag bits (byte AND 0xE0) equal `tag`.
// Not found at once when byte 126 is 0. The walk ends below 128 + byte 130 and below 256;
// each step advances by the block's length field plus one. When found, `position` is the
// block's tag byte; to find the next one, continue from one past its last byte.
bool FindDataBlock(const EdidImage& image, std::uint8_t tag, std::size_t& position);

// Starts the record afresh (only the brand-new and content-present status bits stay),
// copies the image in and validates it; a valid image is then decoded into the record. No read ever
// leaves the 256 bytes of the image, whatever a length field says.
void Decode(EdidRecord& record, const EdidImage& image);

} // namespace lvx
