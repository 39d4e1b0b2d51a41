// A DisplayID extension (versions 1.x and 2.0): its section header, the kinds of its data
// blocks and its detailed timings (types I and VII).
#include "edid/ParseContext.h"

#include <algorithm>

namespace lvx::parse {

namespace {

struct DisplayIdName {
    std::uint8_t tag;
    const char* name;
};

constexpr DisplayIdName kNames[] = {
    {0x00, "Product identification"},
    {0x01, "Display parameters"},
    {0x02, "Colour characteristics"},
    {0x03, "Type I detailed timings"},
    {0x04, "Type II detailed timings"},
    {0x05, "Type III short timings"},
    {0x06, "Type IV DMT timings"},
    {0x07, "VESA timings"},
    {0x08, "CTA timings"},
    {0x09, "Video timing range"},
    {0x0A, "Product serial number"},
    {0x0B, "Text"},
    {0x0C, "Display device data"},
    {0x0D, "Power sequencing"},
    {0x0E, "Transfer characteristics"},
    {0x0F, "Display interface"},
    {0x10, "Stereo display interface"},
    {0x11, "Type V short timings"},
    {0x12, "Tiled display topology"},
    {0x13, "Type VI detailed timings"},
    {0x20, "Product identification"},
    {0x21, "Display parameters"},
    {0x22, "Type VII detailed timings"},
    {0x23, "Type VIII enumerated timings"},
    {0x24, "Type IX formula timings"},
    {0x25, "Dynamic video timing range"},
    {0x26, "Display interface features"},
    {0x27, "Stereo display interface"},
    {0x28, "Tiled display topology"},
    {0x29, "ContainerID"},
    {0x7E, "Vendor-specific"},
    {0x7F, "Vendor-specific"},
    {0x81, "CTA-861 DisplayID"},
};

const char* BlockName(std::uint8_t tag) {
    for (const DisplayIdName& n : kNames) {
        if (n.tag == tag) {
            return n.name;
        }
    }
    return nullptr;
}

unsigned Word(const Context& c, std::size_t at) {
    return c.at(at) | (c.at(at + 1) << 8);
}

// A 20-byte timing of type I (clock in 10 kHz units) or type VII (1 kHz units).
void ParseTiming(Context& c, int block, std::size_t at, bool typeVii) {
    const unsigned clock = (c.at(at) | (c.at(at + 1) << 8) | (c.at(at + 2) << 16)) + 1u;
    VideoTiming t;
    t.pixelClockKHz = typeVii ? clock : clock * 10;
    t.interlaced = (c.at(at + 3) & 0x10) != 0;
    const unsigned hActive = Word(c, at + 4) + 1;
    const unsigned hBlank = Word(c, at + 6) + 1;
    const unsigned hFront = (Word(c, at + 8) & 0x7FFF) + 1;
    const unsigned hSync = Word(c, at + 10) + 1;
    const unsigned vActive = Word(c, at + 12) + 1;
    const unsigned vBlank = Word(c, at + 14) + 1;
    const unsigned vFront = (Word(c, at + 16) & 0x7FFF) + 1;
    const unsigned vSync = Word(c, at + 18) + 1;
    t.hActive = static_cast<std::uint16_t>(hActive);
    t.hFront = static_cast<std::uint16_t>(std::min(hFront, hBlank));
    t.hSync = static_cast<std::uint16_t>(std::min(hSync, hBlank - t.hFront));
    t.hBack = static_cast<std::uint16_t>(hBlank - t.hFront - t.hSync);
    t.vActive = static_cast<std::uint16_t>(t.interlaced ? vActive * 2 : vActive);
    t.vFront = static_cast<std::uint16_t>(std::min(vFront, vBlank));
    t.vSync = static_cast<std::uint16_t>(std::min(vSync, vBlank - t.vFront));
    t.vBack = static_cast<std::uint16_t>(vBlank - t.vFront - t.vSync);
    t.hSyncPositive = (c.at(at + 9) & 0x80) != 0;
    t.vSyncPositive = (c.at(at + 17) & 0x80) != 0;
    DetailedTimingEntry e;
    e.block = block;
    e.offset = static_cast<std::uint32_t>(at);
    e.timing = t;
    e.displayId = true;
    c.field("Detailed timing " + Num(static_cast<long long>(c.out.detailedTimings.size()) + 1),
            TimingText(t) + ((c.at(at + 3) & 0x80) ? " (preferred)" : ""), at, 20);
    c.out.detailedTimings.push_back(e);
    c.out.timings.push_back({t, "DisplayID", block, static_cast<std::uint32_t>(at)});
}

void ParseDataBlock(Context& c, int block, std::size_t at, std::size_t length) {
    const std::uint8_t tag = c.at(at);
    const char* name = BlockName(tag);
    c.group(name != nullptr ? name : "Unknown data block " + Hex2(tag),
            "revision " + Num(c.at(at + 1) & 7), at, length + 3);
    if (tag == 0x03 || tag == 0x22) {
        for (std::size_t p = at + 3; p + 20 <= at + 3 + length; p += 20) {
            ParseTiming(c, block, p, tag == 0x22);
        }
    } else if (length > 0) {
        c.field("Bytes", Bytes(c.out.bytes.data() + at + 3, length), at + 3, length);
    }
    c.end();
}

} // namespace

void ParseDisplayIdBlock(Context& c, int block) {
    const std::size_t base = static_cast<std::size_t>(block) * kBlock;
    const std::uint8_t version = c.at(base + 1);
    const std::size_t length = c.at(base + 2);
    c.field("Version", Num(version >> 4) + "." + Num(version & 0x0F), base + 1, 1);
    c.field("Section length", Num(static_cast<long long>(length)), base + 2, 1);
    c.field(version >= 0x20 ? "Primary use" : "Product type", Num(c.at(base + 3)), base + 3, 1);
    // The section's data blocks end before its own checksum byte, and never past byte 126.
    const std::size_t end = std::min(base + 5 + length, base + 126);
    std::size_t at = base + 5;
    while (at + 3 <= end) {
        const std::size_t blockLength = c.at(at + 2);
        if (c.at(at) == 0 && blockLength == 0) {
            break; // padding
        }
        if (at + 3 + blockLength > end) {
            c.finding(FindingId::DataBlockOverrun, at, end - at,
                      "A DisplayID data block's length runs past the end of its section.");
            break;
        }
        ParseDataBlock(c, block, at, blockLength);
        at += 3 + blockLength;
    }
    if (base + 5 + length <= base + 126) {
        unsigned sum = 0;
        for (std::size_t i = base + 1; i <= base + 5 + length; ++i) {
            sum += c.at(i);
        }
        if ((sum & 0xFF) != 0) {
            c.finding(FindingId::Checksum, base + 5 + length, 1,
                      "The DisplayID section's checksum is wrong: a source may ignore it.");
        }
    } else {
        c.finding(FindingId::DataBlockOverrun, base + 2, 1,
                  "The DisplayID section is longer than the block that holds it.");
    }
}

} // namespace lvx::parse
