#pragma once

// What the combination's source files share; not for callers of CombineEdids.

#include "edid/EdidCombine.h"
#include "edid/EdidParse.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lvx::combine {

// One short audio descriptor as a box of what it allows: up to `channels` channels at any of
// the `rates`, with `byte3` (L-PCM: sample sizes; AC-3 to ATRAC: the highest bit rate in
// 8 kbit/s; others: flags).
struct AudioBox {
    std::uint8_t code = 0; // 1-15
    std::uint8_t ext = 0;  // the extended code when code is 15
    std::uint8_t channels = 0;
    std::uint8_t rates = 0;
    std::uint8_t byte3 = 0;
};

struct HdrFacts {
    std::uint8_t eotfs = 0;
    std::uint8_t descriptors = 0;
    std::array<std::uint8_t, 3> luminance{}; // max, max frame average, min (codes)
    std::size_t luminanceCount = 0;          // how many of them the block gives
};

// What one display takes, read from its parse.
struct Sink {
    std::string name;
    bool videoOnly = false;
    EdidParse parse;
    bool cta = false;
    std::bitset<256> vics;           // as a short video descriptor or an HDMI VIC
    std::bitset<256> y420Only;       // in the YCbCr 4:2:0 video data block
    std::bitset<256> y420Capable;    // in the YCbCr 4:2:0 capability map
    std::bitset<256> hdmiVics;       // the VICs it lists as HDMI VICs
    std::vector<VideoTiming> listed; // every timing it lists, but the 4:2:0-only ones
    std::uint8_t ctaFlags = 0;       // byte 3 of its first CTA-861 block
    std::optional<std::uint8_t> vcdb;
    std::optional<std::array<std::uint8_t, 8>> forumBytes; // from the version byte on
    std::size_t forumLength = 0;                           // how many of them the block has
    std::array<std::uint8_t, 2> colorimetry{};
    std::optional<HdrFacts> hdr;
    std::vector<AudioBox> audio; // with basic audio's L-PCM when byte 3 declares it
    bool basicAudio = false;
    std::array<std::uint8_t, 3> speakers{}; // FL/FR when it has no speaker block
};

// A timing kept for the result, with the descriptor bytes it came from when it was listed as
// a detailed timing.
struct KeptTiming {
    VideoTiming timing;
    std::optional<std::array<std::uint8_t, 18>> dtd;
    std::string what;
};

struct HdmiPlan {
    std::uint16_t physicalAddress = 0x1000;
    std::uint8_t caps = 0;
    std::uint16_t tmdsMHz = 0; // 0: not stated
};

struct ForumPlan {
    std::uint16_t tmdsMHz = 0; // 0: not above 340 MHz
    std::uint8_t flags = 0;    // SCDC, read requests, scrambling below 340 MHz
    std::uint8_t frl = 0;
    std::uint8_t deepColor420 = 0;
    std::uint8_t features = 0; // ALLM, FVA
    std::uint8_t vrrMin = 0;
    std::uint16_t vrrMax = 0; // 0: no variable refresh rate
};

// Everything the result will say, before it is laid out into blocks.
struct Plan {
    std::vector<std::uint8_t> vics; // full, preferred first
    bool nativeFirst = false;       // the first is the native format (VICs 1-64)
    std::vector<bool> vicY420;      // beside vics: also YCbCr 4:2:0
    std::vector<std::uint8_t> y420Only;
    std::vector<std::uint8_t> hdmiVics; // 1-4
    KeptTiming preferred;
    std::vector<KeptTiming> dtds; // after the preferred, in the order they go in
    std::array<std::uint8_t, 3> established{};
    std::vector<std::array<std::uint8_t, 2>> standard;
    std::optional<RangeLimits> range; // what every display's range limits allow
    bool cta = false;
    std::uint8_t ctaFlags = 0; // underscan, YCbCr 4:4:4 and 4:2:2 (basic audio is set apart)
    std::optional<std::uint8_t> vcdb;
    std::optional<HdmiPlan> hdmi;
    std::optional<ForumPlan> forum;
    std::array<std::uint8_t, 2> colorimetry{};
    std::optional<HdrFacts> hdr;
    std::vector<AudioBox> audio;
    bool basicAudio = false;
    std::array<std::uint8_t, 3> speakers{};
    const Sink* identity = nullptr;
    std::uint8_t input = 0x80; // digital; depth and interface not stated
};

// The rows and drops of the report, filled while the rules decide.
class Report {
public:
    Report(const std::vector<Sink>& sinks, std::vector<CombineRow>& rows,
           std::vector<CombineDrop>& drops)
        : sinks_(sinks), rows_(rows), drops_(drops) {}

    // A feature kept when every display has it (`has`, per sink) and no intent (`intent`,
    // when given) asks it away; the row and the drops are recorded. Returns whether kept.
    bool feature(const std::string& area, const std::string& what, const std::vector<bool>& has,
                 const char* intent = nullptr);
    // A row with texts of its own; `why` empty when nothing was taken away.
    void row(const std::string& area, const std::string& what, std::vector<std::string> cells,
             const std::string& result, const std::string& why);
    void drop(const std::string& what, const std::string& why, const std::string& sink);
    // Drops `what` once for each display without it ("not in TV-2"); the joined names.
    std::string dropMissing(const std::string& what, const std::vector<bool>& has);

    const std::vector<Sink>& sinks() const { return sinks_; }

private:
    const std::vector<Sink>& sinks_;
    std::vector<CombineRow>& rows_;
    std::vector<CombineDrop>& drops_;
};

// The intents as flags.
struct Intents {
    std::bitset<kCombineIntentCount> on;
    bool has(CombineIntent i) const { return on[static_cast<std::size_t>(i)]; }
};

// EdidCombineSinks.cpp
Sink ReadSink(const CombineSource& source, int currentYear);
// The same picture: active size, scan, totals; pixel clocks within 0.5 % (60 and 59.94 Hz).
bool SameTiming(const VideoTiming& a, const VideoTiming& b);
// Whether a display takes a timing: it lists it in any form, or the timing lies inside its
// range limits.
bool Accepts(const Sink& sink, const VideoTiming& t);
bool InsideRangeLimits(const Sink& sink, const VideoTiming& t);
// "3840x2160p60", "1920x1080i59.94".
std::string TimingName(const VideoTiming& t);

// The link the result declares: with the HDMI Forum block (every display has one, no intent
// against it) its lowest TMDS rate and FRL, else at most 340 MHz. `clockMHz` is the highest
// pixel clock an RGB timing may have (0: no display states a limit), `limiting` the display
// that sets it (nullptr: an intent, or none).
struct LinkLimit {
    std::uint32_t clockMHz = 0;
    const Sink* limiting = nullptr;
    bool forum = false;
    std::uint16_t forumTmdsMHz = 0; // 0: not above 340 MHz
    std::uint8_t frl = 0;
};
LinkLimit CombinedLink(const std::vector<Sink>& sinks, const Intents& intents);

// EdidCombineVideo.cpp: the timings, the VIC lists and the preferred timing; false when the
// displays share no timing at all.
bool CombineVideo(const std::vector<Sink>& sinks, const Intents& intents, Plan& plan,
                  Report& report);
// Why an intent forbids a timing, or nullptr; `y420` for the 4:2:0 form.
const char* IntentForbids(const Intents& intents, const VideoTiming& t, bool y420);

// EdidCombineColour.cpp: YCbCr, deep colour, colorimetry, HDR, the HDMI blocks.
void CombineColour(const std::vector<Sink>& sinks, const Intents& intents, Plan& plan,
                   Report& report);
// EdidCombineAudio.cpp
void CombineAudio(const std::vector<Sink>& sinks, const Intents& intents, Plan& plan,
                  Report& report);

// EdidCombineWrite.cpp: the plan as bytes in at most `maxBlocks` blocks; what did not fit is
// dropped in the report.
std::vector<std::uint8_t> WriteEdid(const Plan& plan, std::size_t maxBlocks, Report& report);
// The 18 bytes of a detailed timing with the given image size in millimetres.
std::array<std::uint8_t, 18> EncodeDetailedTiming(const VideoTiming& t, int hMm, int vMm);

} // namespace lvx::combine
