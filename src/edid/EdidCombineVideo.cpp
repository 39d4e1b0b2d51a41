// The video half of the combination: VICs every display lists (4:2:0 where that is all they
// share), detailed, established and standard timings every display takes, and the best of
// them as the preferred timing.
#include "edid/CtaCodes.h"
#include "edid/DmtTable.h"
#include "edid/EdidCombineParts.h"
#include "edid/VicTable.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

namespace lvx::combine {

namespace {

constexpr double kClockSlack = 1.005; // 59.94 Hz and rounding in the tables

bool WithinClock(std::uint32_t limitMHz, std::uint32_t clockKHz) {
    return limitMHz == 0 || clockKHz <= limitMHz * 1000.0 * kClockSlack;
}

std::string MHz(std::uint32_t clockKHz) {
    return std::to_string((clockKHz + 500) / 1000) + " MHz";
}

// The reason a timing cannot go at a clock: the intent or display that limits it.
std::string ClockWhy(std::uint32_t clockKHz, std::uint32_t limitMHz, const Sink* limiting) {
    return "needs " + MHz(clockKHz) + "; " +
           (limiting != nullptr ? limiting->name : std::string("the intents")) + " take" +
           (limiting != nullptr ? "s" : "") + " at most " + std::to_string(limitMHz) + " MHz";
}

struct Limits {
    const Intents& intents;
    std::uint32_t clockMHz = 0;
    const Sink* limiting = nullptr;
};

// Why a timing in RGB cannot be kept for the intents or the clock, or "".
std::string FullBlocked(const Limits& l, const VideoTiming& t) {
    if (const char* intent = IntentForbids(l.intents, t, false)) {
        return std::string("asked away: ") + intent;
    }
    if (!WithinClock(l.clockMHz, t.pixelClockKHz)) {
        return ClockWhy(t.pixelClockKHz, l.clockMHz, l.limiting);
    }
    return "";
}

std::string Y420Blocked(const Limits& l, const VideoTiming& t) {
    if (const char* intent = IntentForbids(l.intents, t, true)) {
        return std::string("asked away: ") + intent;
    }
    if (!WithinClock(l.clockMHz, t.pixelClockKHz / 2)) {
        return ClockWhy(t.pixelClockKHz / 2, l.clockMHz, l.limiting);
    }
    return "";
}

// Every VIC any display lists, the identity's order first.
std::vector<std::uint8_t> VicUnion(const std::vector<Sink>& sinks, const Sink& first) {
    std::vector<std::uint8_t> order;
    std::bitset<256> seen;
    const auto add = [&](std::uint8_t vic) {
        if (vic != 0 && !seen[vic]) {
            seen.set(vic);
            order.push_back(vic);
        }
    };
    const auto addSink = [&](const Sink& s) {
        for (const ShortVideoDescriptor& svd : s.parse.svds) {
            add(SvdReserved(svd.raw) ? 0 : svd.vic);
        }
        for (std::size_t v = 1; v < 256; ++v) {
            if (s.hdmiVics[v] || s.y420Only[v]) {
                add(static_cast<std::uint8_t>(v));
            }
        }
    };
    addSink(first);
    for (const Sink& s : sinks) {
        addSink(s);
    }
    return order;
}

std::string VicCell(const Sink& s, std::uint8_t vic) {
    if (s.vics[vic]) {
        return s.y420Capable[vic] || s.y420Only[vic] ? "RGB, 4:2:0" : "RGB";
    }
    return s.y420Only[vic] ? "4:2:0" : "-";
}

bool All(const std::vector<bool>& v) {
    return std::all_of(v.begin(), v.end(), [](bool b) { return b; });
}

bool Any(const std::vector<bool>& v) {
    return std::any_of(v.begin(), v.end(), [](bool b) { return b; });
}

// The display named in a drop for a clock reason; none for an intent.
std::string BlockedBy(const Limits& l, const std::string& why) {
    return l.limiting != nullptr && why.rfind("needs", 0) == 0 ? l.limiting->name : "";
}

// What a form of a VIC that not every display has, or that the limits stop, leaves in the
// report; the row's text.
std::string DropForm(const std::string& what, const std::string& form, const std::vector<bool>& has,
                     const std::string& blocked, const Limits& limits, Report& report) {
    if (!All(has)) {
        return form + " not in " + report.dropMissing(what + " in " + form, has);
    }
    report.drop(what + " in " + form, blocked, BlockedBy(limits, blocked));
    return form + ": " + blocked;
}

// A VIC every display lists, in RGB where all list it so, else in YCbCr 4:2:0 where all
// take that, within the clock and the intents.
void DecideSharedVic(std::uint8_t vic, const VideoTiming& t, const std::string& what,
                     const Limits& limits, Plan& plan, Report& report) {
    std::vector<bool> full;
    std::vector<bool> y420;
    std::vector<std::string> cells;
    for (const Sink& s : report.sinks()) {
        full.push_back(s.vics[vic]);
        y420.push_back(s.y420Only[vic] || (s.vics[vic] && s.y420Capable[vic]));
        cells.push_back(VicCell(s, vic));
    }
    const std::string fullWhy = All(full) ? FullBlocked(limits, t) : "";
    const std::string y420Why = All(y420) ? Y420Blocked(limits, t) : "";
    const bool fullOk = All(full) && fullWhy.empty();
    const bool y420Ok = All(y420) && y420Why.empty();
    std::string why;
    if (!fullOk) {
        why = DropForm(what, "RGB", full, fullWhy, limits, report);
    }
    if (!y420Ok && Any(y420)) {
        why += (why.empty() ? "" : "; ") + DropForm(what, "4:2:0", y420, y420Why, limits, report);
    }
    if (fullOk) {
        plan.vics.push_back(vic);
        plan.vicY420.push_back(y420Ok);
    } else if (y420Ok) {
        plan.y420Only.push_back(vic);
    }
    const char* result = fullOk ? (y420Ok ? "RGB, 4:2:0" : "RGB") : y420Ok ? "4:2:0" : "dropped";
    report.row("Video", what, cells, result, why);
}

void DecideVic(std::uint8_t vic, const Limits& limits, Plan& plan, Report& report) {
    const VideoTiming* t = FindVic(vic);
    const std::string what = "VIC " + std::to_string(vic) + (t ? " " + TimingName(*t) : "");
    std::vector<bool> has;
    std::vector<std::string> cells;
    for (const Sink& s : report.sinks()) {
        has.push_back(s.vics[vic] || s.y420Only[vic]);
        cells.push_back(VicCell(s, vic));
    }
    if (t == nullptr) {
        report.row("Video", what, cells, "dropped", "not a video format of CTA-861");
        report.drop(what, "not a video format of CTA-861", "");
        return;
    }
    if (!All(has)) {
        report.row("Video", what, cells, "dropped", "not in " + report.dropMissing(what, has));
        return;
    }
    DecideSharedVic(vic, *t, what, limits, plan, report);
}

} // namespace

const char* IntentForbids(const Intents& intents, const VideoTiming& t, bool y420) {
    if (intents.has(CombineIntent::Max1080p) && (t.hActive > 1920 || t.vActive > 1080)) {
        return IntentText(CombineIntent::Max1080p);
    }
    if (intents.has(CombineIntent::Max4k30) &&
        (t.hActive > 4096 || t.vActive > 2160 || t.pixelClockKHz > 297000 * kClockSlack)) {
        return IntentText(CombineIntent::Max4k30);
    }
    if (y420) {
        for (const CombineIntent i :
             {CombineIntent::No420, CombineIntent::RgbOnly, CombineIntent::Hdmi14}) {
            if (intents.has(i)) {
                return IntentText(i);
            }
        }
    }
    if (intents.has(CombineIntent::Hdmi14) && t.pixelClockKHz > 340000 * kClockSlack) {
        return IntentText(CombineIntent::Hdmi14);
    }
    return nullptr;
}

namespace {

// A timing that is no VIC (detailed, established, standard): every display must take it.
bool DecideTiming(const std::string& what, const VideoTiming& t, const Limits& limits,
                  Report& report) {
    std::vector<bool> has;
    std::vector<std::string> cells;
    for (const Sink& s : report.sinks()) {
        const bool listed = std::any_of(s.listed.begin(), s.listed.end(),
                                        [&](const VideoTiming& l) { return SameTiming(l, t); });
        has.push_back(listed || InsideRangeLimits(s, t));
        cells.push_back(listed ? "listed" : has.back() ? "in range" : "-");
    }
    if (!All(has)) {
        report.row("Video", what, cells, "dropped", "not in " + report.dropMissing(what, has));
        return false;
    }
    const std::string why = FullBlocked(limits, t);
    if (!why.empty()) {
        report.drop(what, why, BlockedBy(limits, why));
    }
    report.row("Video", what, cells, why.empty() ? "yes" : "dropped", why);
    return why.empty();
}

std::array<std::uint8_t, 18> DtdBytes(const EdidParse& p, std::uint32_t offset) {
    std::array<std::uint8_t, 18> d{};
    for (std::size_t i = 0; i < d.size() && offset + i < p.bytes.size(); ++i) {
        d[i] = p.bytes[offset + i];
    }
    return d;
}

void DecideDetailed(const std::vector<Sink>& sinks, const Sink& first, const Limits& limits,
                    Plan& plan, Report& report) {
    std::vector<KeptTiming> seen;
    const auto visit = [&](const Sink& s) {
        for (const DetailedTimingEntry& e : s.parse.detailedTimings) {
            const auto same = [&](const KeptTiming& k) { return SameTiming(k.timing, e.timing); };
            if (e.displayId || std::any_of(seen.begin(), seen.end(), same)) {
                continue;
            }
            KeptTiming k{e.timing, DtdBytes(s.parse, e.offset),
                         "Detailed timing " + TimingName(e.timing)};
            seen.push_back(k);
            if (DecideTiming(k.what, k.timing, limits, report)) {
                plan.dtds.push_back(k);
            }
        }
    };
    visit(first);
    for (const Sink& s : sinks) {
        visit(s);
    }
}

void DecideEstablished(const std::vector<Sink>& sinks, const Limits& limits, Plan& plan,
                       Report& report) {
    for (int index = 0; index < 3; ++index) {
        for (int bit = 7; bit >= 0; --bit) {
            const EstablishedTiming* e = FindEstablishedTiming(index, bit);
            const auto set = [&](const Sink& s) {
                return (s.parse.bytes[35 + static_cast<std::size_t>(index)] & (1 << bit)) != 0;
            };
            if (e == nullptr || !std::any_of(sinks.begin(), sinks.end(), set)) {
                continue;
            }
            if (DecideTiming("Established " + TimingName(e->timing), e->timing, limits, report)) {
                plan.established[static_cast<std::size_t>(index)] |=
                    static_cast<std::uint8_t>(1 << bit);
            }
        }
    }
}

// The timing a standard timing's code names in the result (EDID 1.3, GTF range limits).
std::optional<VideoTiming> StandardCodeTiming(std::uint8_t b1, std::uint8_t b2) {
    if (b1 <= 0x01) {
        return std::nullopt;
    }
    if (const DmtFormat* dmt = FindDmtByStandardCode(b1, b2)) {
        return dmt->timing;
    }
    static constexpr int kAspect[4][2] = {{10, 16}, {3, 4}, {4, 5}, {9, 16}};
    const int h = (b1 + 31) * 8;
    const int* a = kAspect[b2 >> 6];
    return GtfTiming(h, h * a[0] / a[1], (b2 & 0x3F) + 60, false);
}

std::vector<std::array<std::uint8_t, 2>> StandardCodes(const Sink& s) {
    std::vector<std::array<std::uint8_t, 2>> codes;
    const auto& b = s.parse.bytes;
    for (std::size_t at = 38; at < 54; at += 2) {
        codes.push_back({b[at], b[at + 1]});
    }
    for (std::size_t p = 54; p < 126; p += 18) {
        if (b[p] == 0 && b[p + 1] == 0 && b[p + 3] == 0xFA) {
            for (std::size_t at = p + 5; at + 1 < p + 17; at += 2) {
                codes.push_back({b[at], b[at + 1]});
            }
        }
    }
    return codes;
}

void DecideStandard(const std::vector<Sink>& sinks, const Limits& limits, Plan& plan,
                    Report& report) {
    std::vector<std::array<std::uint8_t, 2>> seen;
    for (const Sink& s : sinks) {
        for (const auto& code : StandardCodes(s)) {
            const std::optional<VideoTiming> t = StandardCodeTiming(code[0], code[1]);
            if (!t || std::find(seen.begin(), seen.end(), code) != seen.end()) {
                continue;
            }
            seen.push_back(code);
            const std::string what = "Standard " + TimingName(*t);
            if (!DecideTiming(what, *t, limits, report)) {
                continue;
            }
            if (plan.standard.size() < 8) {
                plan.standard.push_back(code);
            } else {
                report.drop(what, "no space: eight standard timings", "");
            }
        }
    }
}

// Which of two timings makes the better preferred timing: progressive, larger, then 60 Hz
// or the highest rate up to it, before any higher rate.
bool Better(const VideoTiming& a, const VideoTiming& b) {
    const auto key = [](const VideoTiming& t) {
        const double rate = t.fieldRateHz();
        return std::make_tuple(!t.interlaced, 1.0 * t.hActive * t.vActive, rate < 61.0,
                               rate < 61.0 ? rate : -rate);
    };
    return key(a) > key(b);
}

// The preferred timing: the best timing kept, as a detailed timing a display lists when one
// does; its VIC goes first.
bool ChoosePreferred(const std::vector<Sink>& sinks, Plan& plan) {
    std::optional<VideoTiming> best;
    const auto consider = [&](const VideoTiming& t) {
        // It goes first as a detailed timing: 12-bit sizes, a 16-bit clock in 10 kHz.
        const bool fits = t.hActive < 4096 && t.vActive < 4096 && t.pixelClockKHz <= 655350;
        if (fits && (!best || Better(t, *best))) {
            best = t;
        }
    };
    for (const std::uint8_t v : plan.vics) {
        consider(*FindVic(v));
    }
    for (const KeptTiming& d : plan.dtds) {
        consider(d.timing);
    }
    for (int index = 0; index < 3; ++index) {
        for (int bit = 7; bit >= 0; --bit) {
            if (plan.established[static_cast<std::size_t>(index)] & (1 << bit)) {
                consider(FindEstablishedTiming(index, bit)->timing);
            }
        }
    }
    for (const auto& code : plan.standard) {
        consider(*StandardCodeTiming(code[0], code[1]));
    }
    if (!best) {
        return false;
    }
    plan.preferred = {*best, std::nullopt, TimingName(*best)};
    for (const Sink& s : sinks) {
        for (const DetailedTimingEntry& e : s.parse.detailedTimings) {
            if (!plan.preferred.dtd && !e.displayId && SameTiming(e.timing, *best)) {
                plan.preferred.dtd = DtdBytes(s.parse, e.offset);
            }
        }
    }
    return true;
}

// The preferred timing's VIC first (native where the code can say so); detailed timings that
// the preferred one or a kept VIC already give are not written twice.
void OrderTimings(Plan& plan) {
    const auto isPreferred = [&](std::uint8_t v) {
        return SameTiming(*FindVic(v), plan.preferred.timing);
    };
    const auto it = std::find_if(plan.vics.begin(), plan.vics.end(), isPreferred);
    if (it != plan.vics.end()) {
        const std::size_t i = static_cast<std::size_t>(it - plan.vics.begin());
        std::rotate(plan.vics.begin(), it, it + 1);
        const bool y420 = plan.vicY420[i];
        plan.vicY420.erase(plan.vicY420.begin() + static_cast<std::ptrdiff_t>(i));
        plan.vicY420.insert(plan.vicY420.begin(), y420);
        plan.nativeFirst = plan.vics.front() <= 64;
    }
    const auto covered = [&](const KeptTiming& d) {
        return SameTiming(d.timing, plan.preferred.timing) ||
               std::any_of(plan.vics.begin(), plan.vics.end(),
                           [&](std::uint8_t v) { return SameTiming(*FindVic(v), d.timing); });
    };
    plan.dtds.erase(std::remove_if(plan.dtds.begin(), plan.dtds.end(), covered), plan.dtds.end());
}

} // namespace

bool CombineVideo(const std::vector<Sink>& sinks, const Intents& intents, Plan& plan,
                  Report& report) {
    Limits limits{intents};
    const LinkLimit link = CombinedLink(sinks, intents);
    limits.clockMHz = link.clockMHz;
    limits.limiting = link.limiting;
    const Sink& first = *plan.identity;
    for (const std::uint8_t vic : VicUnion(sinks, first)) {
        DecideVic(vic, limits, plan, report);
    }
    DecideDetailed(sinks, first, limits, plan, report);
    DecideEstablished(sinks, limits, plan, report);
    DecideStandard(sinks, limits, plan, report);
    for (const std::uint8_t v : plan.vics) {
        for (int h = 1; h <= 4; ++h) {
            const bool listed = std::any_of(sinks.begin(), sinks.end(),
                                            [&](const Sink& s) { return s.hdmiVics[v]; });
            if (HdmiVicToVic(h) == v && listed) {
                plan.hdmiVics.push_back(static_cast<std::uint8_t>(h));
            }
        }
    }
    if (!ChoosePreferred(sinks, plan)) {
        return false;
    }
    OrderTimings(plan);
    return true;
}

} // namespace lvx::combine
