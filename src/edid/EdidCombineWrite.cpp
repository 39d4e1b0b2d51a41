// The plan written as blocks: a base block of EDID 1.3 with the preferred timing, the range
// limits and the name, then CTA-861 blocks with the data blocks and the other detailed
// timings. What does not fit is left out from the least needed end and reported.
#include "edid/EdidCombineParts.h"
#include "edid/VicTable.h"

#include <algorithm>
#include <cstring>

namespace lvx::combine {

namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::size_t kBlockSize = 128;
// Bytes of a CTA-861 block for data blocks and detailed timings: all but the 4-byte header
// and the checksum.
constexpr std::size_t kCtaRoom = kBlockSize - 5;

std::uint8_t Lo(unsigned v) {
    return static_cast<std::uint8_t>(v & 0xFF);
}

Bytes DataBlock(unsigned tag, const Bytes& payload) {
    Bytes b{static_cast<std::uint8_t>((tag << 5) | payload.size())};
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

Bytes ExtendedBlock(unsigned extendedTag, const Bytes& payload) {
    Bytes p{static_cast<std::uint8_t>(extendedTag)};
    p.insert(p.end(), payload.begin(), payload.end());
    return DataBlock(7, p);
}

std::uint8_t SvdByte(std::uint8_t vic, bool native) {
    return native && vic >= 1 && vic <= 64 ? static_cast<std::uint8_t>(vic | 0x80) : vic;
}

// The VIC list in blocks of at most 31 descriptors.
std::vector<Bytes> VideoBlocks(const Plan& plan) {
    std::vector<Bytes> blocks;
    for (std::size_t at = 0; at < plan.vics.size(); at += 31) {
        Bytes svds;
        for (std::size_t i = at; i < std::min(plan.vics.size(), at + 31); ++i) {
            svds.push_back(SvdByte(plan.vics[i], i == 0 && plan.nativeFirst));
        }
        blocks.push_back(DataBlock(2, svds));
    }
    return blocks;
}

Bytes AudioPayload(const Plan& plan) {
    Bytes sads;
    for (const AudioBox& b : plan.audio) {
        sads.push_back(static_cast<std::uint8_t>((b.code << 3) | ((b.channels - 1) & 0x07)));
        sads.push_back(b.rates);
        sads.push_back(b.code == 15 ? static_cast<std::uint8_t>((b.ext << 3) | (b.byte3 & 0x07))
                                    : b.byte3);
    }
    return sads;
}

Bytes HdmiBlock(const HdmiPlan& h, const std::vector<std::uint8_t>& hdmiVics) {
    Bytes p{0x03, 0x0C, 0x00, Lo(h.physicalAddress >> 8), Lo(h.physicalAddress), h.caps};
    if (h.tmdsMHz != 0 || !hdmiVics.empty()) {
        p.push_back(Lo(h.tmdsMHz / 5));
    }
    if (!hdmiVics.empty()) {
        p.push_back(0x20); // HDMI video fields follow, no latency
        p.push_back(0x00); // no 3D
        p.push_back(static_cast<std::uint8_t>(hdmiVics.size() << 5));
        p.insert(p.end(), hdmiVics.begin(), hdmiVics.end());
    }
    return DataBlock(3, p);
}

Bytes ForumBlock(const ForumPlan& f) {
    Bytes p{0xD8,
            0x5D,
            0xC4,
            0x01,
            Lo(f.tmdsMHz / 5),
            f.flags,
            static_cast<std::uint8_t>((f.frl << 4) | f.deepColor420),
            f.features};
    if (f.vrrMax != 0) {
        p.push_back(static_cast<std::uint8_t>(((f.vrrMax >> 8) << 6) | f.vrrMin));
        p.push_back(Lo(f.vrrMax));
    }
    return DataBlock(3, p);
}

// The 4:2:0 capability map: bit i for the i-th VIC of the video blocks.
Bytes Y420Map(const Plan& plan) {
    Bytes map;
    for (std::size_t i = 0; i < plan.vicY420.size(); ++i) {
        if (plan.vicY420[i]) {
            map.resize(std::max(map.size(), i / 8 + 1), 0);
            map[i / 8] |= static_cast<std::uint8_t>(1 << (i % 8));
        }
    }
    return map;
}

// The data blocks in the order they are placed.
std::vector<Bytes> DataBlocks(const Plan& plan) {
    std::vector<Bytes> blocks = VideoBlocks(plan);
    if (!plan.audio.empty()) {
        blocks.push_back(DataBlock(1, AudioPayload(plan)));
        blocks.push_back(DataBlock(4, {plan.speakers[0], plan.speakers[1], plan.speakers[2]}));
    }
    if (plan.vcdb) {
        blocks.push_back(ExtendedBlock(0, {*plan.vcdb}));
    }
    if (plan.hdmi) {
        blocks.push_back(HdmiBlock(*plan.hdmi, plan.hdmiVics));
    }
    if (plan.forum) {
        blocks.push_back(ForumBlock(*plan.forum));
    }
    if (plan.colorimetry[0] != 0) {
        blocks.push_back(ExtendedBlock(5, {plan.colorimetry[0], plan.colorimetry[1]}));
    }
    if (plan.hdr) {
        Bytes p{plan.hdr->eotfs, plan.hdr->descriptors};
        p.insert(p.end(), plan.hdr->luminance.begin(),
                 plan.hdr->luminance.begin() +
                     static_cast<std::ptrdiff_t>(plan.hdr->luminanceCount));
        blocks.push_back(ExtendedBlock(6, p));
    }
    if (!plan.y420Only.empty()) {
        blocks.push_back(ExtendedBlock(14, plan.y420Only));
    }
    const Bytes map = Y420Map(plan);
    if (!map.empty()) {
        blocks.push_back(ExtendedBlock(15, map));
    }
    return blocks;
}

using Descriptor = std::array<std::uint8_t, 18>;

// The detailed timings as they are written: the image size is the identity's display size.
Descriptor TimingDescriptor(const KeptTiming& k, const Sink& identity) {
    const int hMm = identity.parse.base.hSizeCm * 10;
    const int vMm = identity.parse.base.vSizeCm * 10;
    Descriptor d = k.dtd ? *k.dtd : EncodeDetailedTiming(k.timing, hMm, vMm);
    d[12] = Lo(static_cast<unsigned>(hMm));
    d[13] = Lo(static_cast<unsigned>(vMm));
    d[14] = static_cast<std::uint8_t>(((hMm >> 8) << 4) | ((vMm >> 8) & 0x0F));
    return d;
}

// How the data blocks and the timings fill the CTA blocks: first fit, the data blocks in
// their order, then the timings; nothing when they do not fit in `count` blocks.
struct CtaFill {
    std::vector<std::vector<const Bytes*>> blocks;
    std::vector<std::vector<const Descriptor*>> timings;
};

std::optional<CtaFill> Fill(const std::vector<Bytes>& data, const std::vector<Descriptor>& dtds,
                            std::size_t count) {
    CtaFill fill;
    fill.blocks.resize(count);
    fill.timings.resize(count);
    std::vector<std::size_t> used(count, 0);
    const auto place = [&](std::size_t size) -> std::optional<std::size_t> {
        for (std::size_t b = 0; b < count; ++b) {
            if (used[b] + size <= kCtaRoom) {
                used[b] += size;
                return b;
            }
        }
        return std::nullopt;
    };
    for (const Bytes& d : data) {
        const auto b = place(d.size());
        if (!b) {
            return std::nullopt;
        }
        fill.blocks[*b].push_back(&d);
    }
    for (const Descriptor& t : dtds) {
        const auto b = place(t.size());
        if (!b) {
            return std::nullopt;
        }
        fill.timings[*b].push_back(&t);
    }
    return fill;
}

Bytes CtaBlock(const Plan& plan, const CtaFill& fill, std::size_t index) {
    Bytes b(kBlockSize, 0);
    b[0] = 0x02;
    b[1] = 0x03;
    std::size_t at = 4;
    for (const Bytes* d : fill.blocks[index]) {
        std::copy(d->begin(), d->end(), b.begin() + static_cast<std::ptrdiff_t>(at));
        at += d->size();
    }
    b[2] = static_cast<std::uint8_t>(at);
    b[3] = static_cast<std::uint8_t>((plan.ctaFlags & 0xB0) | (plan.basicAudio ? 0x40 : 0));
    for (const Descriptor* t : fill.timings[index]) {
        std::copy(t->begin(), t->end(), b.begin() + static_cast<std::ptrdiff_t>(at));
        at += t->size();
    }
    return b;
}

std::string SpaceWhy(std::size_t maxBlocks) {
    return "no space in " + std::to_string(maxBlocks * kBlockSize) + " bytes";
}

// Leaves out one thing to make room, the least needed first: detailed timings beyond the
// base block, 4:2:0-only VICs, then VICs from the end of the list. False when nothing is
// left to leave out.
bool MakeRoom(Plan& plan, std::vector<Descriptor>& extra, std::vector<KeptTiming>& extraKept,
              const std::string& why, Report& report) {
    if (!extra.empty()) {
        report.drop(extraKept.back().what, why, "");
        extra.pop_back();
        extraKept.pop_back();
        return true;
    }
    if (!plan.y420Only.empty()) {
        const VideoTiming* t = FindVic(plan.y420Only.back());
        report.drop("VIC " + std::to_string(plan.y420Only.back()) + " " + TimingName(*t) +
                        " in 4:2:0",
                    why, "");
        plan.y420Only.pop_back();
        return true;
    }
    if (plan.vics.size() > 1) {
        const std::uint8_t vic = plan.vics.back();
        report.drop("VIC " + std::to_string(vic) + " " + TimingName(*FindVic(vic)), why, "");
        plan.vics.pop_back();
        plan.vicY420.pop_back();
        const auto h = std::find_if(plan.hdmiVics.begin(), plan.hdmiVics.end(),
                                    [&](std::uint8_t x) { return HdmiVicToVic(x) == vic; });
        if (h != plan.hdmiVics.end()) {
            plan.hdmiVics.erase(h);
        }
        return true;
    }
    return false;
}

Bytes DummyDescriptor() {
    Bytes d(18, 0);
    d[3] = 0x10;
    return d;
}

Bytes RangeDescriptor(const RangeLimits& r) {
    Bytes d(18, 0x20);
    std::fill(d.begin(), d.begin() + 5, std::uint8_t{0});
    d[3] = 0xFD;
    // EDID 1.3: 255 stands for "255 or more".
    const auto clamp = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    d[5] = clamp(r.minVHz);
    d[6] = clamp(r.maxVHz);
    d[7] = clamp(r.minHKHz);
    d[8] = clamp(r.maxHKHz);
    d[9] = clamp((r.maxClockMHz + 9) / 10);
    d[10] = 0x00;
    d[11] = 0x0A;
    return d;
}

Bytes NameDescriptor(const std::string& name) {
    Bytes d(18, 0x20);
    std::fill(d.begin(), d.begin() + 5, std::uint8_t{0});
    d[3] = 0xFC;
    std::size_t at = 5;
    for (const char c : name.substr(0, 13)) {
        d[at++] = static_cast<std::uint8_t>(c);
    }
    if (at < 18) {
        d[at] = 0x0A;
    }
    return d;
}

// A product name that reads cleanly: printable, no trailing spaces, "Combined" when the
// identity has none.
std::string CleanName(const Sink& identity) {
    std::string name;
    for (const char c : identity.parse.base.productName.value_or("")) {
        if (c >= 0x20 && c < 0x7F) {
            name += c;
        }
    }
    while (!name.empty() && name.back() == ' ') {
        name.pop_back();
    }
    return name.empty() ? "Combined" : name.substr(0, 13);
}

void Checksum(std::uint8_t* block) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < kBlockSize - 1; ++i) {
        sum += block[i];
    }
    block[kBlockSize - 1] = Lo(256 - sum % 256);
}

Bytes BaseBlockBytes(const Plan& plan, const std::vector<Bytes>& descriptors, std::size_t ext) {
    const Sink& id = *plan.identity;
    const std::vector<std::uint8_t>& src = id.parse.bytes;
    Bytes b(kBlockSize, 0);
    const std::uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::memcpy(b.data(), header, 8);
    std::copy(src.begin() + 8, src.begin() + 18, b.begin() + 8); // maker, product, serial, date
    b[18] = 1; // EDID 1.3, the version HDMI sources expect
    b[19] = 3;
    b[20] = plan.input;
    std::copy(src.begin() + 21, src.begin() + 24, b.begin() + 21); // size, gamma
    // An RGB colour display whose first detailed timing is the preferred one; sRGB as the
    // identity says, with its chromaticity.
    b[24] = static_cast<std::uint8_t>(0x0A | (src[24] & 0x04));
    std::copy(src.begin() + 25, src.begin() + 35, b.begin() + 25); // chromaticity
    std::copy(plan.established.begin(), plan.established.end(), b.begin() + 35);
    for (std::size_t i = 0; i < 8; ++i) {
        b[38 + 2 * i] = i < plan.standard.size() ? plan.standard[i][0] : 0x01;
        b[39 + 2 * i] = i < plan.standard.size() ? plan.standard[i][1] : 0x01;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        const Bytes d = i < descriptors.size() ? descriptors[i] : DummyDescriptor();
        std::copy(d.begin(), d.end(), b.begin() + 54 + static_cast<std::ptrdiff_t>(18 * i));
    }
    b[126] = Lo(static_cast<unsigned>(ext));
    return b;
}

// The base block's four descriptors: the preferred timing, the range limits and the name,
// and a second timing where there is room; `extra` keeps the timings for the CTA blocks.
std::vector<Bytes> BaseDescriptors(const Plan& plan, std::vector<KeptTiming>& extra) {
    std::vector<Bytes> d;
    const Descriptor pref = TimingDescriptor(plan.preferred, *plan.identity);
    d.emplace_back(pref.begin(), pref.end());
    if (plan.range) {
        d.push_back(RangeDescriptor(*plan.range));
    }
    d.push_back(NameDescriptor(CleanName(*plan.identity)));
    extra = plan.dtds;
    if (d.size() < 4 && !extra.empty()) {
        const Descriptor t = TimingDescriptor(extra.front(), *plan.identity);
        d.insert(d.begin() + 1, Bytes(t.begin(), t.end()));
        extra.erase(extra.begin());
    }
    return d;
}

} // namespace

std::array<std::uint8_t, 18> EncodeDetailedTiming(const VideoTiming& t, int hMm, int vMm) {
    const unsigned hBlank = 0u + t.hFront + t.hSync + t.hBack;
    const unsigned vActive = t.interlaced ? t.vActive / 2u : t.vActive;
    const unsigned vBlank = 0u + t.vFront + t.vSync + t.vBack;
    const unsigned clock = (t.pixelClockKHz + 5) / 10;
    std::array<std::uint8_t, 18> d{};
    d[0] = Lo(clock);
    d[1] = Lo(clock >> 8);
    d[2] = Lo(t.hActive);
    d[3] = Lo(hBlank);
    d[4] = static_cast<std::uint8_t>(((t.hActive >> 8) << 4) | ((hBlank >> 8) & 0x0F));
    d[5] = Lo(vActive);
    d[6] = Lo(vBlank);
    d[7] = static_cast<std::uint8_t>(((vActive >> 8) << 4) | ((vBlank >> 8) & 0x0F));
    d[8] = Lo(t.hFront);
    d[9] = Lo(t.hSync);
    d[10] = static_cast<std::uint8_t>(((t.vFront & 0x0F) << 4) | (t.vSync & 0x0F));
    d[11] = static_cast<std::uint8_t>(((t.hFront >> 8) << 6) | (((t.hSync >> 8) & 3) << 4) |
                                      (((t.vFront >> 4) & 3) << 2) | ((t.vSync >> 4) & 3));
    d[12] = Lo(static_cast<unsigned>(hMm));
    d[13] = Lo(static_cast<unsigned>(vMm));
    d[14] = static_cast<std::uint8_t>(((hMm >> 8) << 4) | ((vMm >> 8) & 0x0F));
    d[17] = static_cast<std::uint8_t>((t.interlaced ? 0x80 : 0) | 0x18 |
                                      (t.vSyncPositive ? 0x04 : 0) | (t.hSyncPositive ? 0x02 : 0));
    return d;
}

std::vector<std::uint8_t> WriteEdid(const Plan& planIn, std::size_t maxBlocks, Report& report) {
    Plan plan = planIn;
    std::vector<KeptTiming> extraKept;
    const std::vector<Bytes> base = BaseDescriptors(plan, extraKept);
    const std::string why = SpaceWhy(maxBlocks);
    const std::size_t ctaBlocks = plan.cta ? maxBlocks - 1 : 0;
    for (;;) {
        std::vector<Descriptor> extra;
        for (const KeptTiming& k : extraKept) {
            extra.push_back(TimingDescriptor(k, *plan.identity));
        }
        const std::vector<Bytes> data = plan.cta ? DataBlocks(plan) : std::vector<Bytes>{};
        // The fewest CTA blocks that hold everything.
        std::optional<CtaFill> fill;
        std::size_t used = 0;
        for (std::size_t n = 0; n <= ctaBlocks && !fill; ++n) {
            fill =
                (n == 0 && (!data.empty() || !extra.empty())) ? std::nullopt : Fill(data, extra, n);
            used = n;
        }
        if (!fill && MakeRoom(plan, extra, extraKept, why, report)) {
            continue;
        }
        if (!fill) {
            return {};
        }
        used = std::max<std::size_t>(used, plan.cta ? 1 : 0);
        if (fill->blocks.size() < used) {
            fill = Fill(data, extra, used);
        }
        Bytes out = BaseBlockBytes(plan, base, used);
        for (std::size_t i = 0; i < used; ++i) {
            const Bytes b = CtaBlock(plan, *fill, i);
            out.insert(out.end(), b.begin(), b.end());
        }
        for (std::size_t i = 0; i < out.size(); i += kBlockSize) {
            Checksum(out.data() + i);
        }
        return out;
    }
}

} // namespace lvx::combine
