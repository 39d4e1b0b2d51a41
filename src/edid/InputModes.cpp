#include "edid/InputModes.h"

namespace lvx {

int ModeIndexOf(ModeButton button, const ModeCounts& counts) {
    switch (button.column) {
    case ModeColumn::Internal:
        return button.number - 1;
    case ModeColumn::External:
        return counts.internals + button.number - 1;
    case ModeColumn::User:
        return counts.internals + counts.outputs + button.number - 1;
    }
    return -1;
}

std::optional<ModeButton> ButtonOfMode(int mode, const ModeCounts& counts) {
    if (mode < 0 || mode >= counts.total()) {
        return std::nullopt;
    }
    ModeButton button;
    if (mode < counts.internals) {
        button = {ModeColumn::Internal, mode + 1};
    } else if (mode < counts.internals + counts.outputs) {
        button = {ModeColumn::External, mode - counts.internals + 1};
    } else {
        button = {ModeColumn::User, mode - counts.internals - counts.outputs + 1};
    }
    if (button.number > kModeButtonsPerColumn) {
        return std::nullopt;
    }
    return button;
}

std::optional<int> ParseModeAnswer(std::string_view answer) {
    const std::size_t separator = answer.find('\x0C');
    if (separator != 2) {
        return std::nullopt;
    }
    const char a = answer[0];
    const char b = answer[1];
    if (a < '0' || a > '9' || b < '0' || b > '9') {
        return std::nullopt;
    }
    return (a - '0') * 10 + (b - '0');
}

} // namespace lvx
