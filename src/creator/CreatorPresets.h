#pragma once

#include "edid/EdidRecord.h"

#include <array>
#include <cstdint>
#include <optional>

namespace lvx {

// Bytes 12-16 of a detailed timing: image size (12-14) and the two borders (15, 16).
using SizeAndBorders = std::array<std::uint8_t, 5>;

// The preset a decoded record's first block-0 timing was recognised as; 0 ("Undefined") when
// recognition did not run because byte 24 does not mark the first timing as preferred.
std::uint8_t BasePresetShown(const EdidRecord& record);
// The same for the first block-1 timing; 0 when block 1 has no timing there (its first byte
// is 0, or the DTD offset leaves no room for one).
std::uint8_t ExtensionPresetShown(const EdidRecord& record);

// What the preset combo boxes compare with: taken from the hex table's reference record.
struct PresetReference {
    std::uint8_t baseIndex = 0;
    std::uint8_t extensionIndex = 0;
    SizeAndBorders base{};             // of the timing at offset 54
    SizeAndBorders extension{};        // of the first block-1 timing at 128 + byte 130
    std::uint8_t rangeLimitOffset = 0; // 0: block 0 has no range limits descriptor
    std::uint8_t rangeLimitClock = 0;
};
PresetReference ReferenceOf(const EdidRecord& reference);

// The 18 bytes a preset choice writes: bytes 0-11 and 17 of the preset row, bytes 12-16 the
// reference's. An index outside the table gives the "Undefined" row.
DetailedTiming PresetDescriptor(int index, const SizeAndBorders& sizeAndBorders);

// Where a block-1 preset goes for a DTD offset d: 128 + d, or nothing when the 18 bytes
// would cover the block's four header bytes (d < 4) or reach the checksum byte.
std::optional<int> Block1PresetOffset(std::uint8_t d);

// The range-limit maximum pixel clock a block-0 preset choice asks for: the reference value
// when the reference preset is chosen again, 60 (600 MHz) for the 594 MHz preset and 30
// (300 MHz) for the 297 and 296.7 MHz presets when the reference is below that, else none.
std::optional<std::uint8_t> RangeLimitFor(int index, const PresetReference& reference);

} // namespace lvx
