#include "multicom/ChannelAnswers.h"

#include "protocol/Descriptor.h"

#include <algorithm>

namespace lvx {

char ChannelLetter(int channel) {
    return channel >= 1 && channel <= kChannelMax ? static_cast<char>('A' + channel - 1) : '?';
}

int ChannelOfLetter(char letter) {
    const char upper = (letter >= 'a' && letter <= 'z') ? static_cast<char>(letter - 32) : letter;
    return upper >= 'A' && upper < 'A' + kChannelMax ? upper - 'A' + 1 : 0;
}

std::optional<ChannelData> ParseChannelAnswer(std::string_view answer, int channelCount) {
    if (answer.size() < 4 || answer[0] != 'C' || answer[1] != 'H' || answer[3] != ':') {
        return std::nullopt;
    }
    const int channel = static_cast<unsigned char>(answer[2]) - 64;
    if (channel < 1 || channel > std::min(channelCount, kChannelMax)) {
        return std::nullopt;
    }
    const std::size_t end = answer.find('\x0C', 4);
    if (end == std::string_view::npos) {
        return std::nullopt;
    }
    return ChannelData{channel, answer.substr(4, end - 4)};
}

namespace {

bool AllDigits(std::string_view field) {
    return std::all_of(field.begin(), field.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The value of `width` digits at channel − 1's place in a field, or -1 when the field is too
// short or the value is not an item of a list of `items`.
int DigitsAt(std::string_view field, int channel, std::size_t width, std::size_t items) {
    const std::size_t at = static_cast<std::size_t>(channel - 1) * width;
    if (at + width > field.size()) {
        return -1;
    }
    int value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        value = value * 10 + (field[at + i] - '0');
    }
    return static_cast<std::size_t>(value) < items ? value : -1;
}

} // namespace

std::optional<SettingsReport> ParseChannelSettings(std::string_view answer, int channelCount) {
    const std::vector<std::string> fields = ReadFields(answer);
    const std::size_t used = std::min<std::size_t>(fields.size(), 3);
    for (std::size_t f = 0; f < used; ++f) {
        if (!AllDigits(fields[f])) {
            return std::nullopt;
        }
    }
    SettingsReport report;
    const int channels = std::clamp(channelCount, 0, kChannelMax);
    for (int n = 1; n <= channels; ++n) {
        ReportedSettings& r = report[static_cast<std::size_t>(n - 1)];
        if (used > 0) {
            r.baud = DigitsAt(fields[0], n, 2, kBaudItems.size());
        }
        if (used > 1) {
            r.dataLength = DigitsAt(fields[1], n, 1, kDataLengthItems.size());
        }
        if (used > 2) {
            r.parity = DigitsAt(fields[2], n, 1, kParityItems.size());
        }
    }
    return report;
}

std::vector<std::uint8_t> ChannelConfigPayload(int channel, const ChannelSettings& settings) {
    return {static_cast<std::uint8_t>(channel - 1), static_cast<std::uint8_t>(settings.baud),
            static_cast<std::uint8_t>(settings.dataLength),
            static_cast<std::uint8_t>(settings.parity)};
}

std::string LogSaveName(std::string_view chosen) {
    const std::size_t slash = chosen.rfind('/');
    const std::string_view file =
        slash == std::string_view::npos ? chosen : chosen.substr(slash + 1);
    if (file.empty()) {
        return {};
    }
    const std::size_t dot = file.rfind('.');
    if (dot != std::string_view::npos && dot != 0 && file.substr(dot) == ".txt") {
        return std::string(chosen);
    }
    return std::string(chosen) + ".txt";
}

std::string DefaultLogName(int channel) {
    return std::string("Channel") + ChannelLetter(channel) + " Log";
}

std::uint32_t MemoColour(int channel, bool listen) {
    if (listen) {
        return kMemoWhite;
    }
    return channel == kChannelMax ? kMemoLightGrey : kMemoMediumGrey;
}

} // namespace lvx
