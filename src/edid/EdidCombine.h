#pragma once

// One EDID that every one of several displays can take: the formats, colour and audio all of
// them share, written as a new EDID, with a report of what each display took away. Pure
// (no Qt, no state): the same sources and options always give the same bytes.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lvx {

// Edits by intent: limits on the combination, so that the result never claims what was asked
// away. They apply to one EDID as well as to several.
enum class CombineIntent : std::uint8_t {
    Max4k30,  // no timing beyond 4096x2160 or above 4K30's 297 MHz pixel clock
    Max1080p, // no timing beyond 1920x1080
    No420,    // no YCbCr 4:2:0
    RgbOnly,  // no YCbCr at all, no YCbCr colorimetry
    Bit8,     // no deep colour
    NoHdr,    // no HDR static metadata block
    Audio2ch,
    Audio51,
    Audio71,
    NoAudio,
    Hdmi14, // TMDS at most 340 MHz, no HDMI Forum block, no 4:2:0
};
constexpr std::size_t kCombineIntentCount = 11;

// "max 4k30", "max 1080p", "no 4:2:0", "rgb only", "8 bit", "no hdr", "audio 2ch",
// "audio 5.1", "audio 7.1", "no audio", "hdmi 1.4".
const char* IntentText(CombineIntent intent);
// The intent a user's text names: case, spaces, '-' and '_' do not matter ("Max-4K30",
// "no420", "8bit"); nothing for any other text.
std::optional<CombineIntent> ParseIntent(std::string_view text);

struct CombineSource {
    std::string name; // how the report names the display: "TV-2", a file name
    std::vector<std::uint8_t> bytes;
    bool videoOnly = false; // takes no audio, but does not remove the audio of the others
};

struct CombineOptions {
    std::vector<CombineIntent> intents;
    std::size_t identity = 0;  // the source whose manufacturer, product, name and serial are kept
    std::size_t maxBlocks = 2; // 2 (256 bytes, what a device holds) up to 4 (for a file)
    int currentYear = 2025;
};

// Something one display (or an intent, or the space) took away.
struct CombineDrop {
    std::string what; // "VIC 97 3840x2160p60"
    std::string why;  // "not in TV-2", "asked away: max 4k30", "no space in 256 bytes"
    std::string sink; // the display it is about, empty for an intent or the space
};

// One line of the table of features against displays.
struct CombineRow {
    std::string area;               // "Video", "Colour", "Audio", "HDMI", "Identity"
    std::string what;               // "VIC 97 3840x2160p60", "YCbCr 4:4:4"
    std::vector<std::string> sinks; // per source: what it has ("yes", "-", "4:2:0", "300 MHz")
    std::string result;             // what the result has ("yes", "dropped", "4:2:0", ...)
    std::string why;                // empty when the result has what every display has
};

// What the written EDID holds, read back from its bytes.
struct CombineKept {
    std::vector<int> vics;        // short video descriptors, in order
    std::vector<int> y420Vics;    // YCbCr 4:2:0 only
    std::vector<int> y420Capable; // also YCbCr 4:2:0
    std::string preferred;        // the first detailed timing
    std::vector<std::string> detailed;
    std::vector<std::string> established;
    std::vector<std::string> standard;
    std::vector<std::string> audio;
    std::string speakers;
    std::vector<std::string> colour;
    std::vector<std::string> hdmi;
    std::string rangeLimits;
    std::string identity;
    int blocks = 0;
};

enum class CombineStatus : std::uint8_t {
    Written,        // `bytes` holds the result
    NoCommonTiming, // the displays share no timing at all: nothing to write
    BadInput,       // `error` says which source or option is wrong
};

struct CombineResult {
    CombineStatus status = CombineStatus::BadInput;
    std::string error;
    std::vector<std::uint8_t> bytes; // whole blocks, checksums and block count right
    CombineKept kept;
    std::vector<CombineDrop> dropped;
    std::vector<CombineRow> rows;
};

// Combines the sources (at least one, each at least a whole base block with the EDID
// header). The result says only what holds for every source: video formats all list,
// colour and HDMI features all have (the lowest clock and luminance), audio formats every
// source that takes audio lists, with the channels, rates and sizes all share; identity from
// `options.identity`. It fits `options.maxBlocks` blocks; what did not fit is reported.
CombineResult CombineEdids(const std::vector<CombineSource>& sources,
                           const CombineOptions& options);

} // namespace lvx
