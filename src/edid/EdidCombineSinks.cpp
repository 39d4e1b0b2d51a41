// What each display takes, read once from its parse: the VIC lists, every listed timing, the
// range limits, the clock limit, the colour and HDMI blocks and the audio as boxes.
#include "edid/CtaCodes.h"
#include "edid/EdidCombineParts.h"
#include "edid/VicTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace lvx::combine {

namespace {

std::uint8_t ByteAt(const EdidParse& p, std::size_t position) {
    return position < p.bytes.size() ? p.bytes[position] : 0;
}

const CtaDataBlock* DataBlockAt(const EdidParse& p, std::uint32_t offset) {
    for (const CtaDataBlock& d : p.dataBlocks) {
        if (d.offset == offset) {
            return &d;
        }
    }
    return nullptr;
}

void ReadVideoLists(Sink& s) {
    const EdidParse& p = s.parse;
    for (const ShortVideoDescriptor& svd : p.svds) {
        if (!SvdReserved(svd.raw)) {
            s.vics.set(svd.vic);
        }
    }
    if (p.hdmi) {
        for (const std::uint8_t h : p.hdmi->hdmiVics) {
            const int vic = HdmiVicToVic(h);
            if (vic != 0) {
                s.vics.set(static_cast<std::size_t>(vic));
                s.hdmiVics.set(static_cast<std::size_t>(vic));
            }
        }
    }
    for (const std::uint8_t v : p.y420Vics) {
        s.y420Only.set(v);
    }
    for (const std::uint8_t v : p.y420CapableVics) {
        s.y420Capable.set(v);
    }
    for (const ListedTiming& l : p.timings) {
        if (l.kind != "4:2:0 VIC") {
            s.listed.push_back(l.timing);
        }
    }
}

// The pixel rate an FRL link carries for 8-bit RGB: its gigabits per second over 27 (16
// of every 18 bits carry data, 24 bits a pixel).
std::uint32_t FrlMHz(unsigned frl) {
    static constexpr std::uint32_t kGbps[7] = {0, 9, 18, 24, 32, 40, 48};
    return frl < 7 ? kGbps[frl] * 1000 / 27 : 0;
}

void ReadForum(Sink& s) {
    const EdidParse& p = s.parse;
    if (!p.hdmiForum) {
        return;
    }
    const CtaDataBlock* d = DataBlockAt(p, p.hdmiForum->offset);
    const std::size_t end = p.hdmiForum->offset + 1u + (d != nullptr ? d->length : 0u);
    std::array<std::uint8_t, 8> bytes{};
    std::size_t count = 0;
    for (std::size_t at = p.hdmiForum->offset + 4u; at < end && count < bytes.size(); ++at) {
        bytes[count++] = ByteAt(p, at);
    }
    s.forumBytes = bytes;
    s.forumLength = count;
}

std::uint16_t ForumTmds(const Sink& s) {
    return static_cast<std::uint16_t>(s.forumLength > 1 ? (*s.forumBytes)[1] * 5u : 0u);
}

std::uint8_t ForumFrl(const Sink& s) {
    return static_cast<std::uint8_t>(s.forumLength > 3 ? (*s.forumBytes)[3] >> 4 : 0);
}

std::uint16_t HdmiTmds(const Sink& s) {
    return s.parse.hdmi && s.parse.hdmi->maxTmdsMHz ? *s.parse.hdmi->maxTmdsMHz : 0;
}

// With the HDMI Forum block: the lowest TMDS rate and the lowest FRL of all displays.
LinkLimit ForumLink(const std::vector<Sink>& sinks, bool max4k30) {
    LinkLimit l;
    l.forum = true;
    l.forumTmdsMHz = ForumTmds(sinks.front());
    l.frl = ForumFrl(sinks.front());
    l.limiting = &sinks.front();
    for (const Sink& s : sinks) {
        if (ForumTmds(s) < l.forumTmdsMHz) {
            l.forumTmdsMHz = ForumTmds(s);
            l.limiting = &s;
        }
        l.frl = std::min(l.frl, ForumFrl(s));
    }
    if (max4k30) {
        l.forumTmdsMHz = 0;
        l.frl = 0;
        l.limiting = nullptr;
    }
    l.clockMHz =
        std::max<std::uint32_t>(l.forumTmdsMHz == 0 ? 340u : l.forumTmdsMHz, FrlMHz(l.frl));
    return l;
}

void ReadColourBlocks(Sink& s) {
    const EdidParse& p = s.parse;
    for (const CtaDataBlock& d : p.dataBlocks) {
        if (d.tag == 7 && d.extendedTag == 5 && d.length >= 2) {
            s.colorimetry = {ByteAt(p, d.offset + 2u),
                             d.length >= 3 ? ByteAt(p, d.offset + 3u) : std::uint8_t{0}};
            break;
        }
    }
    if (!p.hdr) {
        return;
    }
    HdrFacts h;
    h.eotfs = p.hdr->eotfs;
    h.descriptors = p.hdr->descriptors;
    const CtaDataBlock* d = DataBlockAt(p, p.hdr->offset);
    const std::size_t payload = d != nullptr && d->length >= 1 ? d->length - 1u : 0;
    h.luminanceCount = payload > 2 ? std::min<std::size_t>(payload - 2, 3) : 0;
    for (std::size_t i = 0; i < h.luminanceCount; ++i) {
        h.luminance[i] = ByteAt(p, p.hdr->offset + 4u + i);
    }
    s.hdr = h;
}

void ReadAudio(Sink& s) {
    const EdidParse& p = s.parse;
    for (const ShortAudioDescriptor& sad : p.sads) {
        if (sad.formatCode == 0) {
            continue;
        }
        AudioBox box;
        box.code = sad.formatCode;
        box.ext = sad.extendedCode;
        box.channels = sad.maxChannels;
        box.rates = sad.bytes[1] & 0x7F;
        box.byte3 = (box.code == 1 || box.code == 15) ? sad.bytes[2] & 0x07 : sad.bytes[2];
        s.audio.push_back(box);
    }
    s.basicAudio = s.cta && s.parse.cta.front().revision >= 2 && (s.ctaFlags & 0x40) != 0;
    if (s.basicAudio) {
        // Basic audio: 2-channel L-PCM at 32, 44.1 and 48 kHz, 16 bit.
        s.audio.push_back({1, 0, 2, 0x07, 0x01});
    }
    s.speakers = p.speakers.value_or(std::array<std::uint8_t, 3>{0x01, 0, 0});
}

} // namespace

Sink ReadSink(const CombineSource& source, int currentYear) {
    Sink s;
    s.name = source.name;
    s.videoOnly = source.videoOnly;
    s.parse = ParseEdid(source.bytes, currentYear);
    s.cta = !s.parse.cta.empty();
    s.ctaFlags = s.cta && s.parse.cta.front().revision >= 2 ? s.parse.cta.front().flags : 0;
    s.vcdb = s.parse.videoCapability;
    ReadVideoLists(s);
    ReadForum(s);
    ReadColourBlocks(s);
    ReadAudio(s);
    return s;
}

LinkLimit CombinedLink(const std::vector<Sink>& sinks, const Intents& intents) {
    const bool capped = intents.has(CombineIntent::Hdmi14) || intents.has(CombineIntent::Max4k30);
    const bool forum = !sinks.empty() && !intents.has(CombineIntent::Hdmi14) &&
                       std::all_of(sinks.begin(), sinks.end(),
                                   [](const Sink& s) { return s.forumBytes.has_value(); });
    if (forum) {
        return ForumLink(sinks, intents.has(CombineIntent::Max4k30));
    }
    // No HDMI Forum block: the HDMI 1.x clocks, 340 MHz at most.
    LinkLimit l;
    bool stated = false;
    for (const Sink& s : sinks) {
        stated = stated || s.forumBytes || HdmiTmds(s) != 0;
        if (HdmiTmds(s) != 0 && (l.clockMHz == 0 || HdmiTmds(s) < l.clockMHz)) {
            l.clockMHz = HdmiTmds(s);
            l.limiting = &s;
        }
    }
    if ((stated || capped) && (l.clockMHz == 0 || l.clockMHz > 340)) {
        l.clockMHz = 340;
        l.limiting = nullptr;
        for (const Sink& s : sinks) {
            if (!capped && !l.limiting && !s.forumBytes) {
                l.limiting = &s;
            }
        }
    }
    return l;
}

bool SameTiming(const VideoTiming& a, const VideoTiming& b) {
    if (a.hActive != b.hActive || a.vActive != b.vActive || a.interlaced != b.interlaced ||
        a.hTotal() != b.hTotal() || std::fabs(a.frameLines() - b.frameLines()) > 0.6) {
        return false;
    }
    const double hi = std::max(a.pixelClockKHz, b.pixelClockKHz);
    const double lo = std::min(a.pixelClockKHz, b.pixelClockKHz);
    return hi - lo <= hi * 0.005;
}

bool InsideRangeLimits(const Sink& sink, const VideoTiming& t) {
    const std::optional<RangeLimits>& r = sink.parse.base.rangeLimits;
    if (!r || t.pixelClockKHz == 0 || t.hTotal() == 0) {
        return false;
    }
    // Before EDID 1.4 a maximum of 255 reads as "255 or more".
    const bool open = !sink.parse.base.atLeast14();
    const long v = std::lround(t.fieldRateHz());
    const long h = std::lround(t.lineRateHz() / 1000.0);
    const long clock = std::lround(t.pixelClockKHz / 1000.0);
    const bool vOk = v >= r->minVHz && (v <= r->maxVHz || (open && r->maxVHz == 255));
    const bool hOk = h >= r->minHKHz && (h <= r->maxHKHz || (open && r->maxHKHz == 255));
    return vOk && hOk && (r->maxClockMHz == 0 || clock <= r->maxClockMHz);
}

bool Accepts(const Sink& sink, const VideoTiming& t) {
    const auto same = [&](const VideoTiming& l) { return SameTiming(l, t); };
    return std::any_of(sink.listed.begin(), sink.listed.end(), same) || InsideRangeLimits(sink, t);
}

std::string TimingName(const VideoTiming& t) {
    char rate[16];
    std::snprintf(rate, sizeof rate, "%.2f", t.fieldRateHz());
    std::string r = rate;
    while (!r.empty() && r.back() == '0') {
        r.pop_back();
    }
    if (!r.empty() && r.back() == '.') {
        r.pop_back();
    }
    return std::to_string(t.hActive) + "x" + std::to_string(t.vActive) +
           (t.interlaced ? "i" : "p") + r;
}

} // namespace lvx::combine
