#pragma once

#include "edid/EdidRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lvx {

// One detailed timing the creator offers as a preset. Bytes 12-16 (image size and borders)
// are zero in every row and take no part in recognition.
struct TimingPreset {
    std::string_view itemText;
    DetailedTiming bytes;
};

constexpr std::size_t kTimingPresetCount = 11;

// The presets in the order of the combo-box items; row 0 is "Undefined".
const std::array<TimingPreset, kTimingPresetCount>& TimingPresets();

// The preset a detailed timing matches: a row matches when bytes 0-11 and byte 17 are equal.
// Rows are compared in ascending order from 0 and the last match wins; 0 when none matches.
std::uint8_t RecognizeTimingPreset(const DetailedTiming& descriptor);

} // namespace lvx
