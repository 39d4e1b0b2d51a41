// The extended-tag data blocks of a CTA-861 extension (tag 7): video capability,
// colorimetry, HDR metadata, YCbCr 4:2:0, room and speaker layout, InfoFrames and the rest.
#include "edid/CtaCodes.h"
#include "edid/ParseContext.h"
#include "edid/VicTable.h"

#include <cmath>
#include <vector>

namespace lvx::parse {

namespace {

struct Extended {
    int tag;
    const char* name;
};

constexpr Extended kExtendedNames[] = {
    {0, "Video capability data block"},
    {1, "Vendor-specific video data block"},
    {2, "VESA display device data block"},
    {3, "VESA video timing block extension"},
    {5, "Colorimetry data block"},
    {6, "HDR static metadata data block"},
    {7, "HDR dynamic metadata data block"},
    {8, "Native video resolution data block"},
    {13, "Video format preference data block"},
    {14, "YCbCr 4:2:0 video data block"},
    {15, "YCbCr 4:2:0 capability map data block"},
    {17, "Vendor-specific audio data block"},
    {18, "Room configuration data block"},
    {19, "Speaker location data block"},
    {32, "InfoFrame data block"},
    {34, "DisplayID type VII timing data block"},
    {35, "DisplayID type VIII timing data block"},
    {42, "DisplayID type X timing data block"},
    {120, "HDMI Forum EDID extension override data block"},
    {121, "HDMI Forum sink capability data block"},
};

const char* ExtendedName(int tag) {
    for (const Extended& e : kExtendedNames) {
        if (e.tag == tag) {
            return e.name;
        }
    }
    return nullptr;
}

const char* ScanText(unsigned bits) {
    static const char* const kScan[4] = {"not supported", "always overscanned",
                                         "always underscanned", "over- and underscan"};
    return kScan[bits & 3];
}

void ParseVideoCapability(Context& c, std::size_t first, std::size_t payload) {
    if (payload < 1) {
        return;
    }
    const std::uint8_t v = c.at(first);
    if (!c.out.videoCapability) {
        c.out.videoCapability = v;
    }
    c.field("RGB quantization", (v & 0x40) ? "selectable" : "not selectable", first, 1);
    c.field("YCbCr quantization", (v & 0x80) ? "selectable" : "not selectable", first, 1);
    c.field("PT scan", ScanText(v >> 4), first, 1);
    c.field("IT scan", ScanText(v >> 2), first, 1);
    c.field("CE scan", ScanText(v), first, 1);
}

void ParseColorimetry(Context& c, std::size_t first, std::size_t payload) {
    static const char* const kNames[8] = {"xvYCC601", "xvYCC709",   "sYCC601",   "opYCC601",
                                          "opRGB",    "BT2020cYCC", "BT2020YCC", "BT2020RGB"};
    if (payload < 1) {
        return;
    }
    const std::uint8_t b = c.at(first);
    std::string text;
    for (int bit = 0; bit < 8; ++bit) {
        if (b & (1 << bit)) {
            text += (text.empty() ? "" : " ") + std::string(kNames[bit]);
        }
    }
    c.field("Colorimetry", text.empty() ? "none" : text, first, 1);
    if (payload < 2) {
        return;
    }
    const std::uint8_t md = c.at(first + 1);
    c.field("Metadata", (md & 0x80) ? "DCI-P3" : "none", first + 1, 1);
    if ((md & 0x0F) != 0) {
        c.finding(FindingId::ColorimetryReservedBits, first + 1, 1,
                  "The colorimetry block sets reserved bits (" + Hex2(md & 0x0F) +
                      "); a source may misread the colour spaces.");
    }
}

void ParseHdrStatic(Context& c, int block, std::size_t at, std::size_t payload) {
    const std::size_t first = at + 2;
    if (payload < 2) {
        return;
    }
    HdrStaticMetadata h;
    h.block = block;
    h.offset = static_cast<std::uint32_t>(at);
    h.eotfs = c.at(first);
    h.descriptors = c.at(first + 1);
    if (!c.out.hdr) {
        c.out.hdr = h;
    }
    static const char* const kEotfs[4] = {"SDR", "HDR", "ST2084", "HLG"};
    std::string text;
    for (int bit = 0; bit < 4; ++bit) {
        if (h.eotfs & (1 << bit)) {
            text += (text.empty() ? "" : ", ") + std::string(kEotfs[bit]);
        }
    }
    c.field("Transfer functions", text.empty() ? "none" : text, first, 1);
    c.field("Static metadata type 1", (h.descriptors & 1) ? "yes" : "no", first + 1, 1);
    static const char* const kLum[3] = {"Max luminance", "Max frame-average luminance",
                                        "Min luminance"};
    for (std::size_t i = 0; i < 3 && i + 2 < payload; ++i) {
        const std::uint8_t v = c.at(first + 2 + i);
        const double nits = i < 2 ? 50.0 * std::pow(2.0, v / 32.0) : 0.0;
        c.field(kLum[i], i < 2 ? Fixed(nits, 1) + " cd/m2" : Num(v), first + 2 + i, 1);
    }
}

void ParseY420Video(Context& c, int block, std::size_t first, std::size_t payload) {
    for (std::size_t i = 0; i < payload; ++i) {
        const std::uint8_t v = c.at(first + i);
        c.out.y420Vics.push_back(v);
        const VideoTiming* t = FindVic(v);
        c.field("VIC " + Num(v), t != nullptr ? TimingText(*t) : "not a known format", first + i,
                1);
        if (t != nullptr) {
            c.out.timings.push_back(
                {*t, "4:2:0 VIC", block, static_cast<std::uint32_t>(first + i)});
        }
    }
}

// The raw short video descriptors of the block's video data blocks, which the 4:2:0
// capability map indexes, wherever in the block the map stands.
std::vector<std::uint8_t> BlockSvds(const Context& c, int block) {
    std::vector<std::uint8_t> svds;
    const std::size_t base = static_cast<std::size_t>(block) * kBlock;
    const std::size_t dtd = c.at(base + 2);
    const std::size_t end = base + (dtd >= 4 && dtd <= 127 ? dtd : 4);
    for (std::size_t at = base + 4; at < end;) {
        const std::size_t length = c.at(at) & 0x1Fu;
        if ((c.at(at) >> 5) == 2) {
            for (std::size_t i = 1; i <= length && at + i < end; ++i) {
                svds.push_back(c.at(at + i));
            }
        }
        at += 1 + length;
    }
    return svds;
}

void ParseY420Map(Context& c, int block, std::size_t first, std::size_t payload) {
    const std::vector<std::uint8_t> svds = BlockSvds(c, block);
    if (payload == 0) {
        c.field("Capable", "every short video descriptor", first - 1, 1);
    }
    std::size_t highest = 0;
    for (std::size_t i = 0; i < payload * 8 || (payload == 0 && i < svds.size()); ++i) {
        const bool marked = payload == 0 || (c.at(first + i / 8) & (1u << (i % 8))) != 0;
        if (!marked) {
            continue;
        }
        highest = i + 1;
        if (i >= svds.size()) {
            continue;
        }
        const std::uint8_t raw = svds[i];
        const std::uint8_t vic = SvdVic(raw);
        if (!SvdReserved(raw)) {
            c.out.y420CapableVics.push_back(vic);
            if (payload > 0) {
                c.field("VIC " + Num(vic), "also in YCbCr 4:2:0", first + i / 8, 1);
            }
        }
    }
    if (highest > svds.size()) {
        c.finding(FindingId::Y420MapBeyondSvds, first, payload,
                  "The YCbCr 4:2:0 capability map marks short video descriptor " + Num(highest) +
                      " but only " + Num(static_cast<long long>(svds.size())) +
                      " are listed; a source may send 4:2:0 where it does not work.");
    }
}

void ParseByTag(Context& c, int block, std::size_t at, int tag, std::size_t payload) {
    const std::size_t first = at + 2;
    switch (tag) {
    case 0:
        ParseVideoCapability(c, first, payload);
        return;
    case 5:
        ParseColorimetry(c, first, payload);
        return;
    case 6:
        ParseHdrStatic(c, block, at, payload);
        return;
    case 14:
        ParseY420Video(c, block, first, payload);
        return;
    case 15:
        ParseY420Map(c, block, first, payload);
        return;
    case 120:
        if (payload >= 1) {
            c.field("Extension blocks", Num(c.at(first)), first, 1);
        }
        return;
    default:
        break;
    }
    if ((tag == 1 || tag == 17) && payload >= 3) {
        c.field("OUI", Bytes(c.out.bytes.data() + first, 3), first, 3);
    }
    if (payload > 0) {
        c.field("Bytes", Bytes(c.out.bytes.data() + first, payload), first, payload);
    }
}

} // namespace

void ParseExtendedBlock(Context& c, int block, std::size_t at, std::size_t length) {
    if (length == 0) {
        c.field("Extended data block", "empty", at, 1);
        return;
    }
    const int tag = c.at(at + 1);
    const char* name = ExtendedName(tag);
    c.out.dataBlocks.back().name = name != nullptr ? name : "Extended data block";
    if (tag == 121) {
        ParseHdmiForumBlock(c, block, at, length, true);
        return;
    }
    c.group(name != nullptr ? name : "Extended data block " + Num(tag), "", at, length + 1);
    ParseByTag(c, block, at, tag, length - 1);
    c.end();
}

} // namespace lvx::parse
