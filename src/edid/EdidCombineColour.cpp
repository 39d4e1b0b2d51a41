// The colour half of the combination: YCbCr, deep colour, colorimetry, HDR and the HDMI
// blocks, each only where every display has it, clocks and luminance at the lowest.
#include "edid/EdidCombineParts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace lvx::combine {

namespace {

template <typename F>
std::vector<bool> Each(const std::vector<Sink>& sinks, F has) {
    std::vector<bool> v;
    for (const Sink& s : sinks) {
        v.push_back(has(s));
    }
    return v;
}

const char* When(const Intents& intents, CombineIntent i) {
    return intents.has(i) ? IntentText(i) : nullptr;
}

// The intent among `list` that is on, or nullptr.
const char* AnyOf(const Intents& intents, std::initializer_list<CombineIntent> list) {
    for (const CombineIntent i : list) {
        if (intents.has(i)) {
            return IntentText(i);
        }
    }
    return nullptr;
}

void CombineYcbcr(const std::vector<Sink>& sinks, const Intents& intents, Plan& plan,
                  Report& report) {
    const char* rgb = When(intents, CombineIntent::RgbOnly);
    for (const auto& [bit, name] :
         {std::pair<std::uint8_t, const char*>{0x20, "YCbCr 4:4:4"}, {0x10, "YCbCr 4:2:2"}}) {
        const std::uint8_t b = bit;
        if (report.feature("Colour", name,
                           Each(sinks, [&](const Sink& s) { return (s.ctaFlags & b) != 0; }),
                           rgb)) {
            plan.ctaFlags |= b;
        }
    }
}

// The video capability block: only when every display with a CTA-861 block has one (one
// without it has no quantization to offer); the scan behaviour of the first that has one.
void CombineVcdb(const std::vector<Sink>& sinks, const Intents& intents, Plan& plan,
                 Report& report) {
    const Sink* scan = plan.identity->vcdb ? plan.identity : nullptr;
    for (const Sink& s : sinks) {
        scan = scan != nullptr ? scan : (s.vcdb ? &s : nullptr);
    }
    plan.ctaFlags |= (scan != nullptr ? scan->ctaFlags : plan.identity->ctaFlags) & 0x80;
    const auto has = Each(sinks, [](const Sink& s) { return !s.cta || s.vcdb.has_value(); });
    if (scan == nullptr || !report.feature("Colour", "Video capability block", has)) {
        return;
    }
    std::uint8_t v = *scan->vcdb & 0x3F;
    const auto bit = [&](std::uint8_t b) {
        return Each(sinks, [&](const Sink& s) { return !s.cta || (*s.vcdb & b) != 0; });
    };
    if (report.feature("Colour", "RGB quantization selectable", bit(0x40))) {
        v |= 0x40;
    }
    const bool ycbcr = (plan.ctaFlags & 0x30) != 0;
    if (report.feature("Colour", "YCbCr quantization selectable", bit(0x80),
                       ycbcr ? nullptr : When(intents, CombineIntent::RgbOnly)) &&
        ycbcr) {
        v |= 0x80;
    }
    plan.vcdb = v;
}

std::string ValueCell(unsigned value, const char* unit) {
    return value == 0 ? "-" : std::to_string(value) + unit;
}

// The HDMI 1.x block: when every display that takes audio has one (a video-only display
// without it does not turn the HDMI signalling off).
void CombineHdmi(const std::vector<Sink>& sinks, const Intents& intents, Plan& plan,
                 Report& report) {
    const auto has = Each(sinks, [](const Sink& s) { return s.parse.hdmi.has_value(); });
    const auto needed =
        Each(sinks, [](const Sink& s) { return s.parse.hdmi.has_value() || s.videoOnly; });
    if (std::none_of(has.begin(), has.end(), [](bool b) { return b; }) ||
        !report.feature("HDMI", "HDMI vendor block", needed)) {
        return;
    }
    HdmiPlan h;
    const Sink* address = plan.identity->parse.hdmi ? plan.identity : nullptr;
    for (const Sink& s : sinks) {
        address = address != nullptr ? address : (s.parse.hdmi ? &s : nullptr);
    }
    h.physicalAddress = address->parse.hdmi->physicalAddress;
    const auto caps = [&](std::uint8_t b) {
        return Each(sinks, [&](const Sink& s) {
            return s.parse.hdmi ? (s.parse.hdmi->capabilities & b) != 0 : s.videoOnly && b == 0x80;
        });
    };
    h.caps |= report.feature("HDMI", "ACP, ISRC (Supports_AI)", caps(0x80)) ? 0x80 : 0;
    const char* bit8 = When(intents, CombineIntent::Bit8);
    for (const auto& [b, name] : {std::pair<std::uint8_t, const char*>{0x40, "Deep colour 48 bit"},
                                  {0x20, "Deep colour 36 bit"},
                                  {0x10, "Deep colour 30 bit"}}) {
        h.caps |= report.feature("Colour", name, caps(b), bit8) ? b : 0;
    }
    const bool y444 = (plan.ctaFlags & 0x20) != 0 && (h.caps & 0x70) != 0;
    h.caps |= report.feature(
                  "Colour", "Deep colour in YCbCr 4:4:4", caps(0x08),
                  y444 ? nullptr : AnyOf(intents, {CombineIntent::Bit8, CombineIntent::RgbOnly})) &&
                      y444
                  ? 0x08
                  : 0;
    std::vector<std::string> cells;
    for (const Sink& s : sinks) {
        const unsigned tmds =
            s.parse.hdmi && s.parse.hdmi->maxTmdsMHz ? *s.parse.hdmi->maxTmdsMHz : 0;
        cells.push_back(ValueCell(tmds, " MHz"));
        if (tmds != 0 && (h.tmdsMHz == 0 || tmds < h.tmdsMHz)) {
            h.tmdsMHz = static_cast<std::uint16_t>(tmds);
        }
    }
    h.tmdsMHz = std::min<std::uint16_t>(h.tmdsMHz, 340);
    report.row("HDMI", "Max TMDS clock (HDMI 1.x)", cells, ValueCell(h.tmdsMHz, " MHz"), "");
    plan.hdmi = h;
}

bool HasY420(const Plan& plan) {
    return !plan.y420Only.empty() ||
           std::any_of(plan.vicY420.begin(), plan.vicY420.end(), [](bool b) { return b; });
}

// The HDMI Forum block's bits that every display must have.
std::uint8_t ForumBits(const std::vector<Sink>& sinks, std::size_t index, std::uint8_t mask) {
    std::uint8_t bits = mask;
    for (const Sink& s : sinks) {
        bits &= s.forumLength > index ? (*s.forumBytes)[index] : 0;
    }
    return bits;
}

void ForumVrr(const std::vector<Sink>& sinks, ForumPlan& f) {
    unsigned lo = 0;
    unsigned hi = 1023;
    for (const Sink& s : sinks) {
        if (s.forumLength <= 6) {
            return;
        }
        const auto& b = *s.forumBytes;
        lo = std::max<unsigned>(lo, b[5] & 0x3F);
        hi = std::min<unsigned>(hi, ((b[5] & 0xC0u) << 2) | b[6]);
    }
    if (lo > 0 && lo < hi) {
        f.vrrMin = static_cast<std::uint8_t>(lo);
        f.vrrMax = static_cast<std::uint16_t>(hi);
    }
}

void CombineForum(const std::vector<Sink>& sinks, const Intents& intents, Plan& plan,
                  Report& report) {
    const auto has = Each(sinks, [](const Sink& s) { return s.forumBytes.has_value(); });
    if (std::none_of(has.begin(), has.end(), [](bool b) { return b; }) ||
        !report.feature("HDMI", "HDMI Forum block", has, When(intents, CombineIntent::Hdmi14)) ||
        !plan.hdmi) {
        return;
    }
    const LinkLimit link = CombinedLink(sinks, intents);
    ForumPlan f;
    f.tmdsMHz = link.forumTmdsMHz;
    f.frl = link.frl;
    std::vector<std::string> cells;
    for (const Sink& s : sinks) {
        cells.push_back(ValueCell(s.forumLength > 1 ? (*s.forumBytes)[1] * 5u : 0u, " MHz"));
    }
    report.row("HDMI", "Max TMDS rate (HDMI Forum)", cells, ValueCell(f.tmdsMHz, " MHz"),
               link.limiting == nullptr && intents.has(CombineIntent::Max4k30)
                   ? std::string("asked away: ") + IntentText(CombineIntent::Max4k30)
                   : "");
    const auto bits = [&](std::size_t i, std::uint8_t b) {
        return Each(sinks, [&](const Sink& s) {
            return s.forumLength > i && ((*s.forumBytes)[i] & b) != 0;
        });
    };
    f.flags |= report.feature("HDMI", "SCDC", bits(2, 0x80)) ? 0x80 : 0;
    f.flags |= ForumBits(sinks, 2, 0x48);
    if (HasY420(plan) && !intents.has(CombineIntent::Bit8)) {
        f.deepColor420 = ForumBits(sinks, 3, 0x07);
    }
    f.features |= report.feature("HDMI", "ALLM", bits(4, 0x02)) ? 0x02 : 0;
    f.features |= ForumBits(sinks, 4, 0x04);
    ForumVrr(sinks, f);
    plan.forum = f;
}

void CombineColorimetry(const std::vector<Sink>& sinks, const Intents& intents, Plan& plan,
                        Report& report) {
    static const char* const kNames[8] = {"xvYCC601", "xvYCC709",   "sYCC601",   "opYCC601",
                                          "opRGB",    "BT2020cYCC", "BT2020YCC", "BT2020RGB"};
    for (int bit = 0; bit < 8; ++bit) {
        const std::uint8_t b = static_cast<std::uint8_t>(1 << bit);
        const auto has = Each(sinks, [&](const Sink& s) { return (s.colorimetry[0] & b) != 0; });
        if (std::none_of(has.begin(), has.end(), [](bool x) { return x; })) {
            continue;
        }
        const bool ycc = bit != 4 && bit != 7;
        if (report.feature("Colour", std::string("Colorimetry ") + kNames[bit], has,
                           ycc ? When(intents, CombineIntent::RgbOnly) : nullptr)) {
            plan.colorimetry[0] |= b;
        }
    }
    const auto p3 = Each(sinks, [](const Sink& s) { return (s.colorimetry[1] & 0x80) != 0; });
    if (std::any_of(p3.begin(), p3.end(), [](bool x) { return x; }) &&
        report.feature("Colour", "DCI-P3 metadata", p3) && plan.colorimetry[0] != 0) {
        plan.colorimetry[1] = 0x80;
    }
}

double Nits(std::uint8_t code) {
    return 50.0 * std::pow(2.0, code / 32.0);
}

double Luminance(const HdrFacts& h, std::size_t i) {
    return i < 2 ? Nits(h.luminance[i])
                 : Nits(h.luminance[0]) * std::pow(h.luminance[2] / 255.0, 2) / 100;
}

std::string NitsText(double nits) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g cd/m2", nits);
    return text;
}

// The luminance every display reaches: the lowest maximum and frame-average maximum, the
// highest minimum (a minimum is a fraction of its own block's maximum).
void CombineLuminance(const std::vector<Sink>& sinks, HdrFacts& hdr, Report& report) {
    hdr.luminanceCount = 3;
    for (const Sink& s : sinks) {
        hdr.luminanceCount = std::min(hdr.luminanceCount, s.hdr->luminanceCount);
    }
    double darkest = 0;
    for (std::size_t i = 0; i < hdr.luminanceCount; ++i) {
        hdr.luminance[i] = 255;
        for (const Sink& s : sinks) {
            hdr.luminance[i] = i < 2 ? std::min(hdr.luminance[i], s.hdr->luminance[i]) : 0;
            darkest = std::max(darkest, i == 2 ? Luminance(*s.hdr, 2) : 0.0);
        }
    }
    if (hdr.luminanceCount > 2) {
        const double code = 255.0 * std::sqrt(100.0 * darkest / Nits(hdr.luminance[0]));
        hdr.luminance[2] = static_cast<std::uint8_t>(std::min(255.0, std::ceil(code - 1e-9)));
    }
    static const char* const kNames[3] = {"Max luminance", "Max frame-average luminance",
                                          "Min luminance"};
    for (std::size_t i = 0; i < 3; ++i) {
        std::vector<std::string> cells;
        for (const Sink& s : sinks) {
            cells.push_back(s.hdr->luminanceCount > i ? NitsText(Luminance(*s.hdr, i)) : "-");
        }
        const bool kept = hdr.luminanceCount > i;
        report.row("Colour", kNames[i], cells, kept ? NitsText(Luminance(hdr, i)) : "-",
                   kept ? "" : "not given by every display");
    }
}

} // namespace

void CombineColour(const std::vector<Sink>& sinks, const Intents& intents, Plan& plan,
                   Report& report) {
    plan.cta = std::any_of(sinks.begin(), sinks.end(), [](const Sink& s) { return s.cta; });
    if (!plan.cta) {
        return;
    }
    CombineYcbcr(sinks, intents, plan, report);
    CombineVcdb(sinks, intents, plan, report);
    CombineHdmi(sinks, intents, plan, report);
    CombineForum(sinks, intents, plan, report);
    CombineColorimetry(sinks, intents, plan, report);
    const auto has = Each(sinks, [](const Sink& s) { return s.hdr.has_value(); });
    if (std::none_of(has.begin(), has.end(), [](bool x) { return x; }) ||
        !report.feature("Colour", "HDR static metadata", has,
                        When(intents, CombineIntent::NoHdr))) {
        return;
    }
    static const char* const kEotfs[4] = {"SDR", "HDR (traditional gamma)", "HDR10 (ST 2084)",
                                          "HLG"};
    HdrFacts hdr;
    for (int bit = 0; bit < 4; ++bit) {
        const std::uint8_t b = static_cast<std::uint8_t>(1 << bit);
        if (report.feature("Colour", std::string("Transfer function ") + kEotfs[bit],
                           Each(sinks, [&](const Sink& s) { return (s.hdr->eotfs & b) != 0; }))) {
            hdr.eotfs |= b;
        }
    }
    hdr.descriptors = 0x01;
    for (const Sink& s : sinks) {
        hdr.descriptors &= s.hdr->descriptors;
    }
    CombineLuminance(sinks, hdr, report);
    if ((hdr.eotfs & 0x0E) != 0) {
        plan.hdr = hdr;
    }
}

} // namespace lvx::combine
