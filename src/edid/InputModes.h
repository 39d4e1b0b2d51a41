#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace lvx {

// The three columns of source buttons: internal EDIDs, the displays on the outputs
// (External), user slots. Buttons are numbered 1 to 8 in each column.
enum class ModeColumn : std::uint8_t { Internal = 0, External = 1, User = 2 };
constexpr int kModeButtonsPerColumn = 8;

struct ModeCounts {
    int internals = 0;
    int outputs = 0;
    int users = 0;
    int total() const { return internals + outputs + users; }
};

struct ModeButton {
    ModeColumn column = ModeColumn::Internal;
    int number = 1; // 1 to 8
};

// The mode index a button stands for: Internal k is k-1, External k follows the internal
// EDIDs, User k follows the outputs.
int ModeIndexOf(ModeButton button, const ModeCounts& counts);

// The button of a mode index; none when the index names no source or its button would be
// beyond the eight of its column.
std::optional<ModeButton> ButtonOfMode(int mode, const ModeCounts& counts);

// The mode an RXEDMD answer reports: the two characters before its first form feed, read as
// a decimal number. None for any other answer.
std::optional<int> ParseModeAnswer(std::string_view answer);

} // namespace lvx
