// The audio half of the combination: each format every display that takes audio lists, with
// only the channels, rates and sizes all of them take, and the speakers all have.
#include "edid/EdidCombineParts.h"

#include <algorithm>

namespace lvx::combine {

namespace {

bool BitRateFormat(std::uint8_t code) {
    return code >= 2 && code <= 8;
}

// What two descriptors of one format both allow; channels 0 when nothing.
AudioBox Meet(const AudioBox& a, const AudioBox& b) {
    AudioBox m = a;
    m.channels = std::min(a.channels, b.channels);
    m.rates = a.rates & b.rates;
    m.byte3 = BitRateFormat(a.code) ? std::min(a.byte3, b.byte3) : a.byte3 & b.byte3;
    if (m.rates == 0 || (a.code == 1 && m.byte3 == 0)) {
        m.channels = 0;
    }
    return m;
}

bool Covers(const AudioBox& big, const AudioBox& small) {
    const bool byte3 =
        BitRateFormat(big.code) ? big.byte3 >= small.byte3 : (small.byte3 & ~big.byte3) == 0;
    return big.channels >= small.channels && (small.rates & ~big.rates) == 0 && byte3;
}

// Boxes that another box of the list covers are left out.
std::vector<AudioBox> Prune(const std::vector<AudioBox>& boxes) {
    std::vector<AudioBox> kept;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        bool covered = false;
        for (std::size_t j = 0; j < boxes.size() && !covered; ++j) {
            covered =
                j != i && Covers(boxes[j], boxes[i]) && (!Covers(boxes[i], boxes[j]) || j < i);
        }
        if (!covered) {
            kept.push_back(boxes[i]);
        }
    }
    return kept;
}

bool SameFormat(const AudioBox& a, const AudioBox& b) {
    return a.code == b.code && (a.code != 15 || a.ext == b.ext);
}

std::vector<AudioBox> BoxesOf(const Sink& s, const AudioBox& format) {
    std::vector<AudioBox> boxes;
    for (const AudioBox& b : s.audio) {
        if (SameFormat(b, format)) {
            boxes.push_back(b);
        }
    }
    return boxes;
}

// What every one of the displays allows of a format: the meets of one descriptor from each,
// which together are exactly what all allow.
std::vector<AudioBox> Intersect(const std::vector<const Sink*>& sinks, const AudioBox& format) {
    std::vector<AudioBox> result = BoxesOf(*sinks.front(), format);
    for (std::size_t k = 1; k < sinks.size(); ++k) {
        std::vector<AudioBox> next;
        for (const AudioBox& a : result) {
            for (const AudioBox& b : BoxesOf(*sinks[k], format)) {
                const AudioBox m = Meet(a, b);
                if (m.channels > 0) {
                    next.push_back(m);
                }
            }
        }
        result = Prune(next);
    }
    return result;
}

std::array<std::uint8_t, 3> SadBytes(const AudioBox& b) {
    const std::uint8_t byte3 =
        b.code == 15 ? static_cast<std::uint8_t>((b.ext << 3) | (b.byte3 & 0x07)) : b.byte3;
    return {static_cast<std::uint8_t>((b.code << 3) | (b.channels - 1)), b.rates, byte3};
}

std::string FormatName(const AudioBox& b) {
    const auto bytes = SadBytes(b);
    const std::string text = DescribeShortAudioDescriptor(bytes[0], bytes[1], bytes[2]);
    const std::size_t ch = text.find(" ch");
    const std::size_t space = ch == std::string::npos ? ch : text.rfind(' ', ch - 1);
    return space == std::string::npos ? text : text.substr(0, space);
}

std::string BoxText(const AudioBox& b) {
    const auto bytes = SadBytes(b);
    return DescribeShortAudioDescriptor(bytes[0], bytes[1], bytes[2]);
}

unsigned IntentChannels(const Intents& intents, const char** name) {
    for (const auto& [intent, channels] :
         {std::pair<CombineIntent, unsigned>{CombineIntent::Audio2ch, 2},
          {CombineIntent::Audio51, 6},
          {CombineIntent::Audio71, 8}}) {
        if (intents.has(intent)) {
            *name = IntentText(intent);
            return channels;
        }
    }
    *name = nullptr;
    return 8;
}

// The parts of a format some display has beyond what the result keeps: more channels, other
// rates, other sizes; each dropped for the displays without it.
void ReportNarrowed(const std::vector<const Sink*>& sinks, const AudioBox& format,
                    const std::vector<AudioBox>& kept, Report& report) {
    const auto unionOf = [&](const std::vector<AudioBox>& boxes) {
        AudioBox u = format;
        u.channels = u.rates = u.byte3 = 0;
        for (const AudioBox& b : boxes) {
            u.channels = std::max(u.channels, b.channels);
            u.rates |= b.rates;
            u.byte3 |= format.code == 1 ? b.byte3 : 0;
        }
        return u;
    };
    const AudioBox result = unionOf(kept);
    const std::string name = FormatName(format);
    static const char* const kRates[7] = {"32", "44.1", "48", "88.2", "96", "176.4", "192"};
    static const char* const kSizes[3] = {"16", "20", "24"};
    std::vector<std::pair<std::string, std::vector<bool>>> parts;
    std::vector<bool> more;
    for (const Sink* s : sinks) {
        more.push_back(unionOf(BoxesOf(*s, format)).channels > result.channels);
    }
    parts.push_back({name + " above " + std::to_string(result.channels) + " ch", more});
    for (int bit = 0; bit < 7; ++bit) {
        std::vector<bool> has;
        for (const Sink* s : sinks) {
            has.push_back((unionOf(BoxesOf(*s, format)).rates & (1 << bit)) != 0);
        }
        parts.push_back({name + " " + kRates[bit] + " kHz", has});
    }
    for (int bit = 0; bit < 3 && format.code == 1; ++bit) {
        std::vector<bool> has;
        for (const Sink* s : sinks) {
            has.push_back((unionOf(BoxesOf(*s, format)).byte3 & (1 << bit)) != 0);
        }
        parts.push_back({name + " " + kSizes[bit] + " bit", has});
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const auto& has = parts[i].second;
        const bool kept = i == 0   ? false
                          : i <= 7 ? (result.rates & (1 << (i - 1))) != 0
                                   : (result.byte3 & (1 << (i - 8))) != 0;
        if (!kept && std::any_of(has.begin(), has.end(), [](bool b) { return b; })) {
            report.dropMissing(parts[i].first, has);
        }
    }
}

// Every format any display lists, the identity's first.
std::vector<AudioBox> FormatUnion(const std::vector<Sink>& sinks, const Sink& first) {
    std::vector<AudioBox> formats;
    const auto add = [&](const Sink& s) {
        for (const AudioBox& b : s.audio) {
            const auto same = [&](const AudioBox& f) { return SameFormat(f, b); };
            if (std::none_of(formats.begin(), formats.end(), same)) {
                formats.push_back(b);
            }
        }
    };
    add(first);
    for (const Sink& s : sinks) {
        add(s);
    }
    return formats;
}

void CombineFormat(const std::vector<Sink>& sinks, const std::vector<const Sink*>& takers,
                   const AudioBox& format, const Intents& intents, Plan& plan, Report& report) {
    const std::string name = FormatName(format);
    std::vector<bool> has;
    std::vector<std::string> cells;
    for (const Sink& s : sinks) {
        const std::vector<AudioBox> boxes = BoxesOf(s, format);
        has.push_back(!boxes.empty() || s.videoOnly);
        cells.push_back(s.videoOnly ? "video only" : boxes.empty() ? "-" : BoxText(boxes.front()));
    }
    if (intents.has(CombineIntent::NoAudio) ||
        !std::all_of(has.begin(), has.end(), [](bool b) { return b; })) {
        report.feature("Audio", name, has,
                       intents.has(CombineIntent::NoAudio) ? IntentText(CombineIntent::NoAudio)
                                                           : nullptr);
        return;
    }
    std::vector<AudioBox> boxes = Intersect(takers, format);
    ReportNarrowed(takers, format, boxes, report);
    const char* intent = nullptr;
    const unsigned cap = IntentChannels(intents, &intent);
    for (AudioBox& b : boxes) {
        if (b.channels > cap) {
            report.drop(name + " above " + std::to_string(cap) + " ch",
                        std::string("asked away: ") + intent, "");
            b.channels = static_cast<std::uint8_t>(cap);
        }
    }
    boxes = Prune(boxes);
    std::string result;
    for (const AudioBox& b : boxes) {
        result += (result.empty() ? "" : "; ") + BoxText(b);
        plan.audio.push_back(b);
    }
    report.row("Audio", name, cells, boxes.empty() ? "dropped" : result,
               boxes.empty() ? "no rate or size all displays share" : "");
    if (boxes.empty()) {
        report.drop(name, "no rate or size all displays share", "");
    }
}

struct Speaker {
    int bit;
    unsigned channels;
    const char* name;
};

// In the order they are kept when an intent limits the channels.
constexpr Speaker kSpeakers[] = {
    {0, 2, "FL/FR"},   {1, 1, "LFE1"},       {2, 1, "FC"},         {3, 2, "BL/BR"},
    {11, 2, "LS/RS"},  {6, 2, "BLc/BRc"},    {5, 2, "FLc/FRc"},    {4, 1, "BC"},
    {7, 2, "FLw/FRw"}, {8, 2, "TpFL/TpFR"},  {9, 1, "TpC"},        {10, 1, "TpFC"},
    {12, 1, "LFE2"},   {13, 1, "TpBC"},      {14, 2, "SiL/SiR"},   {15, 2, "TpSiL/TpSiR"},
    {16, 1, "BtFC"},   {17, 2, "BtFL/BtFR"}, {18, 2, "TpLS/TpRS"}, {19, 2, "LSd/RSd"},
};

void CombineSpeakers(const std::vector<Sink>& sinks, const Intents& intents, Plan& plan,
                     Report& report) {
    const char* intent = nullptr;
    const unsigned cap = IntentChannels(intents, &intent);
    unsigned channels = 0;
    for (const Speaker& sp : kSpeakers) {
        const std::size_t byte = static_cast<std::size_t>(sp.bit / 8);
        const std::uint8_t mask = static_cast<std::uint8_t>(1 << (sp.bit % 8));
        std::vector<bool> has;
        bool any = false;
        for (const Sink& s : sinks) {
            has.push_back(s.videoOnly || (s.speakers[byte] & mask) != 0);
            any = any || (!s.videoOnly && (s.speakers[byte] & mask) != 0);
        }
        if (!any) {
            continue;
        }
        const bool fits = channels + sp.channels <= cap;
        if (report.feature("Audio", std::string("Speakers ") + sp.name, has,
                           fits ? nullptr : intent)) {
            plan.speakers[byte] |= mask;
            channels += sp.channels;
        }
    }
    if (plan.speakers == std::array<std::uint8_t, 3>{}) {
        plan.speakers[0] = 0x01;
    }
}

} // namespace

void CombineAudio(const std::vector<Sink>& sinks, const Intents& intents, Plan& plan,
                  Report& report) {
    std::vector<const Sink*> takers;
    for (const Sink& s : sinks) {
        if (!s.videoOnly) {
            takers.push_back(&s);
        }
    }
    if (takers.empty()) {
        report.row("Audio", "Audio", std::vector<std::string>(sinks.size(), "video only"), "none",
                   "every display is marked video only");
        return;
    }
    for (const AudioBox& format : FormatUnion(sinks, *plan.identity)) {
        CombineFormat(sinks, takers, format, intents, plan, report);
    }
    if (plan.audio.empty()) {
        return;
    }
    plan.basicAudio =
        std::all_of(takers.begin(), takers.end(), [](const Sink* s) { return s->basicAudio; });
    CombineSpeakers(sinks, intents, plan, report);
}

} // namespace lvx::combine
