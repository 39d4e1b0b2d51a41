#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lvx {

// The serial channels of a device's Multi-COM bridge: Channel A (1) to Channel G (7).
constexpr int kChannelMax = 7;

// The longest channel text one answer can carry: the receive buffer holds 1024 bytes, and an
// answer is "CH", the letter, ":", the text, a form feed, four CRC digits and a line feed.
constexpr std::size_t kChannelAnswerTextMax = 1024 - 10;

// Item texts of the three settings lists; a setting is the index of its item.
constexpr std::array<const char*, 9> kBaudItems = {"2400",  "4800",  "7200",  "9600",  "14400",
                                                   "19200", "38400", "57600", "115200"};
constexpr std::array<const char*, 4> kDataLengthItems = {"5bits", "6bits", "7bits", "8bits"};
constexpr std::array<const char*, 3> kParityItems = {"None", "Odd", "Even"};

// The letter of channel n (1 to 7): 'A' to 'G'.
char ChannelLetter(int channel);
// The channel of a letter, either case: 1 to 7, or 0 for anything else.
int ChannelOfLetter(char letter);

// A channel's line settings as item indexes (baud rate, data length, parity).
struct ChannelSettings {
    int baud = 0;
    int dataLength = 0;
    int parity = 0;

    bool operator==(const ChannelSettings& o) const {
        return baud == o.baud && dataLength == o.dataLength && parity == o.parity;
    }
    bool operator!=(const ChannelSettings& o) const { return !(*this == o); }
};

// Channel text in an answer to GET COM_MSG.
struct ChannelData {
    int channel = 0;       // 1 to 7
    std::string_view text; // as received, into the answer
};

// Reads an answer to GET COM_MSG: "CH", the channel letter, ":", then the text up to the
// first form feed. Nothing when the answer does not start that way, when the channel (the
// letter's code minus 64) is not between 1 and the channel count (at most 7), or when no
// form feed ends the text (the answer's CRC digits are no channel text).
std::optional<ChannelData> ParseChannelAnswer(std::string_view answer, int channelCount);

// What an answer to GET COM_CONFIG reports per channel: an index, or -1 where the answer
// says nothing (the list keeps its item then).
struct ReportedSettings {
    int baud = -1;
    int dataLength = -1;
    int parity = -1;
};
using SettingsReport = std::array<ReportedSettings, kChannelMax>;

// Reads an answer to GET COM_CONFIG: three fields, each ended by a form feed: the baud
// rates (two decimal digits per channel, channel 1 first), the data lengths and the
// parities (one digit per channel). Channels 1 to the channel count (at most 7) are read;
// digits missing at a field's end, and values beyond a list's items, report nothing. An
// answer with anything but digits in its fields is no settings answer: nothing at all.
std::optional<SettingsReport> ParseChannelSettings(std::string_view answer, int channelCount);

// The payload of SET COM_CONFIG: channel − 1, then the baud, data length and parity indexes.
std::vector<std::uint8_t> ChannelConfigPayload(int channel, const ChannelSettings& settings);

// The name a log is saved under: unchanged when its extension is exactly ".txt" (the
// comparison is case-sensitive), else the name with ".txt" appended ("trace" ->
// "trace.txt", "trace.TXT" -> "trace.TXT.txt"). The extension is taken from the last path
// component, and a leading dot of that component starts none. A name without a file
// component (empty, or ending in '/') gives the empty string.
std::string LogSaveName(std::string_view chosen);

// The save dialog's proposed name for a channel's log: "ChannelA Log" to "ChannelG Log".
std::string DefaultLogName(int channel);

// The file filter of the Save log dialog.
constexpr const char* kLogFilter = "Log (*.txt)|*.txt";

// Memo colours as 0xRRGGBB: white while Listen is on; medium grey (160, 160, 164) when it is
// off, light grey (224, 224, 224) for channel G.
constexpr std::uint32_t kMemoWhite = 0xFFFFFF;
constexpr std::uint32_t kMemoMediumGrey = 0xA0A0A4;
constexpr std::uint32_t kMemoLightGrey = 0xE0E0E0;
std::uint32_t MemoColour(int channel, bool listen);

} // namespace lvx
