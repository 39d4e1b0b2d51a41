// The combination as a whole: the intents, the report, the sources read as displays, the
// rules in order, the bytes written, and what the written EDID holds, read back from them.
#include "edid/EdidCombine.h"

#include "edid/DmtTable.h"
#include "edid/EdidCombineParts.h"
#include "edid/VicTable.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace lvx {

namespace {

constexpr const char* kIntentTexts[kCombineIntentCount] = {
    "max 4k30",  "max 1080p", "no 4:2:0",  "rgb only", "8 bit",    "no hdr",
    "audio 2ch", "audio 5.1", "audio 7.1", "no audio", "hdmi 1.4",
};

// Letters and digits only, in lower case: "No 4:2:0" and "no420" read alike.
std::string Folded(std::string_view text) {
    std::string folded;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) != 0) {
            folded += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
    }
    return folded;
}

} // namespace

const char* IntentText(CombineIntent intent) {
    const auto i = static_cast<std::size_t>(intent);
    return i < kCombineIntentCount ? kIntentTexts[i] : "";
}

std::optional<CombineIntent> ParseIntent(std::string_view text) {
    const std::string folded = Folded(text);
    for (std::size_t i = 0; i < kCombineIntentCount; ++i) {
        if (!folded.empty() && Folded(kIntentTexts[i]) == folded) {
            return static_cast<CombineIntent>(i);
        }
    }
    return std::nullopt;
}

namespace combine {

bool Report::feature(const std::string& area, const std::string& what, const std::vector<bool>& has,
                     const char* intent) {
    std::vector<std::string> cells;
    for (const bool h : has) {
        cells.push_back(h ? "yes" : "-");
    }
    const bool all = std::all_of(has.begin(), has.end(), [](bool b) { return b; });
    std::string why;
    if (!all) {
        why = "not in " + dropMissing(what, has);
    } else if (intent != nullptr) {
        why = std::string("asked away: ") + intent;
        drop(what, why, "");
    }
    row(area, what, std::move(cells), why.empty() ? "yes" : "dropped", why);
    return why.empty();
}

void Report::row(const std::string& area, const std::string& what, std::vector<std::string> cells,
                 const std::string& result, const std::string& why) {
    rows_.push_back({area, what, std::move(cells), result, why});
}

void Report::drop(const std::string& what, const std::string& why, const std::string& sink) {
    drops_.push_back({what, why, sink});
}

std::string Report::dropMissing(const std::string& what, const std::vector<bool>& has) {
    std::string names;
    for (std::size_t i = 0; i < has.size() && i < sinks_.size(); ++i) {
        if (!has[i]) {
            drop(what, "not in " + sinks_[i].name, sinks_[i].name);
            names += (names.empty() ? "" : ", ") + sinks_[i].name;
        }
    }
    return names;
}

namespace {

std::string RangeText(const RangeLimits& l) {
    return std::to_string(l.minVHz) + "-" + std::to_string(l.maxVHz) + " Hz, " +
           std::to_string(l.minHKHz) + "-" + std::to_string(l.maxHKHz) + " kHz, " +
           std::to_string(l.maxClockMHz) + " MHz";
}

// Every timing the result lists in RGB, for the range limits to hold.
std::vector<VideoTiming> PlannedTimings(const Plan& plan) {
    std::vector<VideoTiming> all{plan.preferred.timing};
    for (const std::uint8_t v : plan.vics) {
        all.push_back(*FindVic(v));
    }
    for (const KeptTiming& k : plan.dtds) {
        all.push_back(k.timing);
    }
    for (int index = 0; index < 3; ++index) {
        for (int bit = 0; bit < 8; ++bit) {
            if (plan.established[static_cast<std::size_t>(index)] & (1 << bit)) {
                all.push_back(FindEstablishedTiming(index, bit)->timing);
            }
        }
    }
    return all;
}

// Widens limits to take a timing (whole hertz, kilohertz and 10 MHz steps, outward).
void Widen(RangeLimits& r, const VideoTiming& t) {
    if (t.pixelClockKHz == 0 || t.hTotal() == 0) {
        return;
    }
    const int v = static_cast<int>(t.fieldRateHz());
    const int h = static_cast<int>(t.lineRateHz() / 1000.0);
    r.minVHz = std::min(r.minVHz, v);
    r.maxVHz = std::max(r.maxVHz, std::min(255, v + 1));
    r.minHKHz = std::min(r.minHKHz, h);
    r.maxHKHz = std::max(r.maxHKHz, std::min(255, h + 1));
    r.maxClockMHz =
        std::max(r.maxClockMHz, static_cast<int>((t.pixelClockKHz + 9999) / 10000) * 10);
}

// The range limits: what every display's limits allow (the highest minimums, the lowest
// maximums), widened where a timing all displays list lies outside them; the span of the
// timings kept when a display gives no limits.
void CombineRange(const std::vector<Sink>& sinks, Plan& plan, Report& report) {
    RangeLimits r{0, 0, 0, 255, 0, 255, 2550, 0, 0};
    std::vector<std::string> cells;
    bool all = true;
    for (const Sink& s : sinks) {
        const std::optional<RangeLimits>& l = s.parse.base.rangeLimits;
        all = all && l.has_value();
        cells.push_back(l ? RangeText(*l) : "-");
        if (l) {
            r.minVHz = std::max(r.minVHz, l->minVHz);
            r.maxVHz = std::min(r.maxVHz, l->maxVHz);
            r.minHKHz = std::max(r.minHKHz, l->minHKHz);
            r.maxHKHz = std::min(r.maxHKHz, l->maxHKHz);
            r.maxClockMHz =
                l->maxClockMHz != 0 ? std::min(r.maxClockMHz, l->maxClockMHz) : r.maxClockMHz;
        }
    }
    if (!all || r.minVHz > r.maxVHz || r.minHKHz > r.maxHKHz) {
        r = RangeLimits{0, 0, 255, 0, 255, 0, 0, 0, 0};
    }
    const RangeLimits shared = r;
    for (const VideoTiming& t : PlannedTimings(plan)) {
        Widen(r, t);
    }
    plan.range = r;
    const bool widened = r.minVHz != shared.minVHz || r.maxVHz != shared.maxVHz ||
                         r.minHKHz != shared.minHKHz || r.maxHKHz != shared.maxHKHz ||
                         r.maxClockMHz != shared.maxClockMHz;
    report.row("Video", "Range limits", cells, RangeText(r),
               !all      ? "not given by every display: the span of the timings kept"
               : widened ? "widened to the timings every display lists"
                         : "");
}

std::string Hex4(unsigned v) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", v & 0xFFFF);
    return text;
}

void KeptTimings(const EdidParse& p, CombineKept& k) {
    for (const ShortVideoDescriptor& s : p.svds) {
        k.vics.push_back(s.vic);
    }
    k.y420Vics.assign(p.y420Vics.begin(), p.y420Vics.end());
    k.y420Capable.assign(p.y420CapableVics.begin(), p.y420CapableVics.end());
    for (const DetailedTimingEntry& e : p.detailedTimings) {
        (k.preferred.empty() ? k.preferred : k.detailed.emplace_back()) =
            combine::TimingName(e.timing);
    }
    for (const ListedTiming& l : p.timings) {
        if (l.kind == "established") {
            k.established.push_back(combine::TimingName(l.timing));
        } else if (l.kind == "standard") {
            k.standard.push_back(combine::TimingName(l.timing));
        }
    }
    if (p.base.rangeLimits) {
        k.rangeLimits = RangeText(*p.base.rangeLimits);
    }
}

void KeptColour(const EdidParse& p, CombineKept& k) {
    const std::uint8_t flags = p.cta.empty() ? 0 : p.cta.front().flags;
    if (flags & 0x20) {
        k.colour.push_back("YCbCr 4:4:4");
    }
    if (flags & 0x10) {
        k.colour.push_back("YCbCr 4:2:2");
    }
    if (p.hdmi) {
        static const char* const kDeep[3] = {"Deep colour 48 bit", "Deep colour 36 bit",
                                             "Deep colour 30 bit"};
        for (int i = 0; i < 3; ++i) {
            if (p.hdmi->capabilities & (0x40 >> i)) {
                k.colour.push_back(kDeep[i]);
            }
        }
        k.hdmi.push_back("HDMI vendor block" +
                         (p.hdmi->maxTmdsMHz ? ", " + std::to_string(*p.hdmi->maxTmdsMHz) + " MHz"
                                             : std::string()));
    }
    if (p.hdr) {
        static const char* const kEotf[4] = {"SDR", "HDR (traditional gamma)", "HDR10", "HLG"};
        for (int i = 0; i < 4; ++i) {
            if (p.hdr->eotfs & (1 << i)) {
                k.colour.push_back(std::string("Transfer function ") + kEotf[i]);
            }
        }
    }
    if (p.hdmiForum) {
        k.hdmi.push_back(
            "HDMI Forum block, " + std::to_string(p.hdmiForum->maxTmdsMHz.value_or(0)) + " MHz" +
            (p.hdmiForum->scdc ? ", SCDC" : "") +
            (p.hdmiForum->maxFrl ? ", FRL " + std::to_string(p.hdmiForum->maxFrl) : ""));
    }
}

CombineKept ReadKept(const std::vector<std::uint8_t>& bytes, int currentYear) {
    const EdidParse p = ParseEdid(bytes, currentYear);
    CombineKept k;
    k.blocks = static_cast<int>(p.blockCount);
    KeptTimings(p, k);
    KeptColour(p, k);
    for (const ShortAudioDescriptor& s : p.sads) {
        k.audio.push_back(DescribeShortAudioDescriptor(s.bytes[0], s.bytes[1], s.bytes[2]));
    }
    if (p.speakers) {
        k.speakers = Hex4((*p.speakers)[1] << 8 | (*p.speakers)[0]);
    }
    k.identity = p.base.manufacturer + " " + Hex4(p.base.productCode) +
                 (p.base.productName ? " " + *p.base.productName : "");
    return k;
}

// Whose maker, product, name and serial the result carries.
void IdentityRow(const std::vector<Sink>& sinks, const Plan& plan, Report& report) {
    const auto text = [](const Sink& s) {
        return s.parse.base.manufacturer + " " + Hex4(s.parse.base.productCode) +
               (s.parse.base.productName ? " " + *s.parse.base.productName : "");
    };
    std::vector<std::string> cells;
    for (const Sink& s : sinks) {
        cells.push_back(text(s));
    }
    report.row("Identity", "Maker, product, name", cells, text(*plan.identity), "");
}

// A CTA-861 block must offer 640x480p60; when a display without such a block does not take
// it, the result has none either (and so no VICs, audio or HDMI blocks).
void DropCtaWithout640(const std::vector<Sink>& sinks, Plan& plan, Report& report) {
    const bool has640 = (plan.established[0] & 0x20) != 0 ||
                        std::find(plan.vics.begin(), plan.vics.end(), 1) != plan.vics.end();
    if (!plan.cta || has640) {
        return;
    }
    std::string names;
    for (const Sink& s : sinks) {
        if (!Accepts(s, *FindVic(1))) {
            names += (names.empty() ? "" : ", ") + s.name;
        }
    }
    const std::string why = "no CTA-861 block: it must offer 640x480p60, not in " + names;
    report.drop("CTA-861 extension", why, "");
    for (const std::uint8_t v : plan.vics) {
        report.drop("VIC " + std::to_string(v) + " " + TimingName(*FindVic(v)), why, "");
    }
    for (const std::uint8_t v : plan.y420Only) {
        report.drop("VIC " + std::to_string(v) + " " + TimingName(*FindVic(v)) + " in 4:2:0", why,
                    "");
    }
    plan.cta = false;
}

// What is wrong with the sources or options, or "".
std::string CheckInput(const std::vector<CombineSource>& sources, const CombineOptions& options) {
    static const std::uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    if (sources.empty()) {
        return "no EDID to combine";
    }
    if (options.maxBlocks < 2 || options.maxBlocks > 4) {
        return "the result must have 2 to 4 blocks";
    }
    if (options.identity >= sources.size()) {
        return "the identity names no source";
    }
    for (const CombineSource& s : sources) {
        if (s.bytes.size() < 128 || !std::equal(kHeader, kHeader + 8, s.bytes.begin())) {
            return s.name + ": not an EDID (no whole base block with the EDID header)";
        }
    }
    return "";
}

} // namespace

} // namespace combine

CombineResult CombineEdids(const std::vector<CombineSource>& sources,
                           const CombineOptions& options) {
    using namespace combine;
    CombineResult result;
    result.error = CheckInput(sources, options);
    if (!result.error.empty()) {
        return result;
    }
    Intents intents;
    for (const CombineIntent i : options.intents) {
        intents.on.set(static_cast<std::size_t>(i));
    }
    std::vector<Sink> sinks;
    sinks.reserve(sources.size());
    for (const CombineSource& s : sources) {
        sinks.push_back(ReadSink(s, options.currentYear));
    }
    Report report(sinks, result.rows, result.dropped);
    Plan plan;
    plan.identity = &sinks[options.identity];
    if (!CombineVideo(sinks, intents, plan, report)) {
        result.status = CombineStatus::NoCommonTiming;
        result.error = "the displays share no timing";
        return result;
    }
    CombineRange(sinks, plan, report);
    CombineColour(sinks, intents, plan, report);
    CombineAudio(sinks, intents, plan, report);
    DropCtaWithout640(sinks, plan, report);
    IdentityRow(sinks, plan, report);
    result.bytes = WriteEdid(plan, options.maxBlocks, report);
    if (result.bytes.empty()) {
        result.status = CombineStatus::NoCommonTiming;
        result.error = "nothing fits";
        return result;
    }
    result.kept = ReadKept(result.bytes, options.currentYear);
    result.status = CombineStatus::Written;
    return result;
}

} // namespace lvx
