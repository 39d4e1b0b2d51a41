// The 18-byte descriptors: detailed timings (in any block) and the base block's display
// descriptors (names, range limits, more timings).
#include "edid/DmtTable.h"
#include "edid/ParseContext.h"

#include <algorithm>

namespace lvx::parse {

namespace {

VideoTiming DecodeTiming(const std::uint8_t* d) {
    VideoTiming t;
    t.pixelClockKHz = (d[0] | (d[1] << 8)) * 10u;
    const unsigned hActive = d[2] | ((d[4] & 0xF0u) << 4);
    const unsigned hBlank = d[3] | ((d[4] & 0x0Fu) << 8);
    const unsigned vActive = d[5] | ((d[7] & 0xF0u) << 4);
    const unsigned vBlank = d[6] | ((d[7] & 0x0Fu) << 8);
    unsigned hFront = d[8] | ((d[11] & 0xC0u) << 2);
    unsigned hSync = d[9] | ((d[11] & 0x30u) << 4);
    unsigned vFront = (d[10] >> 4) | ((d[11] & 0x0Cu) << 2);
    unsigned vSync = (d[10] & 0x0Fu) | ((d[11] & 0x03u) << 4);
    // Porches wider than the blanking keep the blanking's total; the back porch becomes 0.
    hSync = std::min(hSync, hBlank);
    hFront = std::min(hFront, hBlank - hSync);
    vSync = std::min(vSync, vBlank);
    vFront = std::min(vFront, vBlank - vSync);
    t.interlaced = (d[17] & 0x80) != 0;
    t.hActive = static_cast<std::uint16_t>(hActive);
    t.hFront = static_cast<std::uint16_t>(hFront);
    t.hSync = static_cast<std::uint16_t>(hSync);
    t.hBack = static_cast<std::uint16_t>(hBlank - hFront - hSync);
    t.vActive = static_cast<std::uint16_t>(t.interlaced ? vActive * 2 : vActive);
    t.vFront = static_cast<std::uint16_t>(vFront);
    t.vSync = static_cast<std::uint16_t>(vSync);
    t.vBack = static_cast<std::uint16_t>(vBlank - vFront - vSync);
    if ((d[17] & 0x18) == 0x18) {
        t.vSyncPositive = (d[17] & 0x04) != 0;
        t.hSyncPositive = (d[17] & 0x02) != 0;
    }
    return t;
}

std::string SyncText(std::uint8_t flags) {
    switch ((flags >> 3) & 3) {
    case 3:
        return std::string("digital separate sync, H") + ((flags & 0x02) ? "+" : "-") + " V" +
               ((flags & 0x04) ? "+" : "-");
    case 2:
        return "digital composite sync";
    default:
        return "analog composite sync";
    }
}

// The text of a name, serial number or data string descriptor, with its findings.
std::string DescriptorText(Context& c, std::size_t p, const char* what) {
    const std::size_t first = p + 5;
    std::size_t n = 0;
    while (n < 13 && c.at(first + n) != 0x0A) {
        ++n;
    }
    std::string text;
    bool printable = true;
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t ch = c.at(first + i);
        printable = printable && ch >= 0x20 && ch < 0x7F;
        text.push_back(static_cast<char>(ch));
    }
    if (!printable) {
        c.finding(FindingId::TextNonPrintable, first, n,
                  std::string("The ") + what +
                      " holds characters that cannot be printed; a source may show garbage.");
    }
    if (n == 0) {
        c.finding(FindingId::TextEmptyOrTrailingSpace, first, 1,
                  std::string("The ") + what + " is empty.");
    } else if (printable && text.back() == ' ') {
        c.finding(FindingId::TextEmptyOrTrailingSpace, first, n,
                  std::string("The ") + what + " ends in spaces before its line end.");
    }
    return text;
}

// Laptop panels (SPWG) use descriptors 3 and 4 of the base block, both "data string"
// descriptors, for part numbers and panel data; descriptor 4 then holds binary values.
bool IsSpwg(const Context& c) {
    const auto isText = [&](std::size_t p) {
        return c.at(p) == 0 && c.at(p + 1) == 0 && c.at(p + 2) == 0 && c.at(p + 3) == 0xFE;
    };
    const std::uint8_t first = c.at(108 + 5);
    return isText(90) && isText(108) && first < 0x20 && first != 0x0A;
}

// An SPWG descriptor 3: the PC maker's part number (5 characters), the supplier's EDID
// revision, the manufacturer's part number (up to 6).
std::string SpwgPartNumbers(Context& c, std::size_t p) {
    bool printable = true;
    std::string text;
    for (const auto& [first, count] : {std::pair<std::size_t, std::size_t>{5, 5}, {11, 6}}) {
        for (std::size_t i = 0; i < count && c.at(p + first + i) != 0x0A; ++i) {
            const std::uint8_t ch = c.at(p + first + i);
            printable = printable && ch >= 0x20 && ch < 0x7F;
            text.push_back(static_cast<char>(ch));
        }
        text.push_back(' ');
    }
    if (!printable) {
        c.finding(FindingId::TextNonPrintable, p + 5, 12,
                  "The panel's part numbers (SPWG) hold characters that cannot be printed.");
    }
    return text;
}

void ParseRangeLimits(Context& c, std::size_t p) {
    const std::uint8_t* d = c.out.bytes.data() + p;
    const BaseBlock& base = c.out.base;
    RangeLimits r;
    r.offset = static_cast<std::uint32_t>(p);
    r.offsets = d[4];
    const bool v14 = base.atLeast14();
    r.minVHz = d[5] + ((v14 && (d[4] & 0x03) == 0x03) ? 255 : 0);
    r.maxVHz = d[6] + ((v14 && (d[4] & 0x02)) ? 255 : 0);
    r.minHKHz = d[7] + ((v14 && (d[4] & 0x0C) == 0x0C) ? 255 : 0);
    r.maxHKHz = d[8] + ((v14 && (d[4] & 0x08)) ? 255 : 0);
    r.maxClockMHz = d[9] * 10;
    r.kind = d[10];
    static const char* const kKinds[5] = {"GTF", "bare limits", "secondary GTF", "", "CVT"};
    const std::string kind =
        r.kind <= 4 && r.kind != 3 ? kKinds[r.kind] : "unknown " + Hex2(r.kind);
    c.field("Range limits",
            Num(r.minVHz) + "-" + Num(r.maxVHz) + " Hz V, " + Num(r.minHKHz) + "-" +
                Num(r.maxHKHz) + " kHz H, max " + Num(r.maxClockMHz) + " MHz (" + kind + ")",
            p + 4, 14);
    if (!v14 && (r.kind == 0x01 || r.kind == 0x04 || r.offsets != 0)) {
        c.finding(FindingId::RangeLimitsFeatureNeeds14, p + (r.offsets != 0 ? 4 : 10), 1,
                  "The range limits use a feature of EDID 1.4 (" +
                      std::string(r.offsets != 0 ? "rate offsets" : kind) + ") in an EDID " +
                      Num(base.version) + "." + Num(base.revision) + ".");
    }
    if (v14 && (r.kind == 0x00 || r.kind == 0x02) && (base.features & 0x01) == 0) {
        c.finding(FindingId::RangeLimitsGtfNoncontinuous, p + 10, 1,
                  "The range limits offer GTF timings, but the display declares "
                  "non-continuous frequencies.");
    }
    if (!base.rangeLimits) {
        c.out.base.rangeLimits = r;
    }
}

void ParseCvtCodes(Context& c, std::size_t p) {
    static constexpr int kRates[5] = {50, 60, 75, 85, 60};
    for (std::size_t k = 0; k < 4; ++k) {
        const std::size_t at = p + 6 + 3 * k;
        const std::uint8_t b0 = c.at(at);
        const std::uint8_t b1 = c.at(at + 1);
        const std::uint8_t b2 = c.at(at + 2);
        if (b0 == 0 && b1 == 0 && b2 == 0) {
            continue;
        }
        const int v = (((b1 >> 4) << 8) | b0) + 1;
        static constexpr int kAspect[4][2] = {{4, 3}, {16, 9}, {16, 10}, {15, 9}};
        const int* a = kAspect[(b1 >> 2) & 3];
        const int h = 8 * ((v * 2 * a[0] / a[1]) / 8);
        for (int bit = 4; bit >= 0; --bit) {
            if ((b2 & (1 << bit)) == 0) {
                continue;
            }
            const auto t = CvtTiming(h, v * 2, kRates[4 - bit], false, bit == 0);
            if (t) {
                c.field("CVT code", TimingText(*t), at, 3);
                c.out.timings.push_back({*t, "CVT code", 0, static_cast<std::uint32_t>(at)});
            }
        }
    }
}

void ParseEstablishedIII(Context& c, std::size_t p) {
    for (int index = 0; index < 6; ++index) {
        const std::uint8_t byte = c.at(p + 6 + static_cast<std::size_t>(index));
        for (int bit = 7; bit >= 0; --bit) {
            const int id = EstablishedTimingIIIDmt(index, bit);
            if ((byte & (1 << bit)) == 0 || id == 0) {
                continue;
            }
            const DmtFormat* dmt = FindDmt(id);
            c.field("DMT " + Hex2(static_cast<unsigned>(id)), TimingText(dmt->timing),
                    p + 6 + static_cast<std::size_t>(index), 1);
            c.out.timings.push_back(
                {dmt->timing, "established", 0, static_cast<std::uint32_t>(p + 6 + index)});
        }
    }
}

bool AllZero(const Context& c, std::size_t first, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (c.at(first + i) != 0) {
            return false;
        }
    }
    return true;
}

// A serial number, data string or product name descriptor; false for any other tag.
bool ParseTextDescriptor(Context& c, std::size_t p, const std::string& label) {
    switch (c.at(p + 3)) {
    case 0xFF:
        c.field(label, "Serial number: " + DescriptorText(c, p, "serial number"), p, 18);
        return true;
    case 0xFE:
        if ((p == 90 || p == 108) && IsSpwg(c)) {
            c.field(label,
                    p == 90 ? "Panel part numbers: " + SpwgPartNumbers(c, p)
                            : "Panel data: " + Bytes(c.out.bytes.data() + p + 5, 13),
                    p, 18);
            return true;
        }
        c.field(label, "Text: " + DescriptorText(c, p, "data string"), p, 18);
        return true;
    case 0xFC: {
        std::string name = DescriptorText(c, p, "product name");
        if (!c.out.base.productName) {
            c.out.base.productName = name;
        }
        c.field(label, "Product name: " + name, p, 18);
        return true;
    }
    default:
        return false;
    }
}

// Range limits and the descriptors that list more timings; false for any other tag.
bool ParseTimingDescriptor(Context& c, std::size_t p, const std::string& label) {
    switch (c.at(p + 3)) {
    case 0xFD:
        c.group(label, "Display range limits", p, 18);
        ParseRangeLimits(c, p);
        break;
    case 0xFA:
        c.group(label, "Standard timings", p, 18);
        ParseStandardTimings(c, p + 5, 6);
        break;
    case 0xF8:
        c.group(label, "CVT timing codes", p, 18);
        ParseCvtCodes(c, p);
        break;
    case 0xF7:
        c.group(label, "Established timings III", p, 18);
        ParseEstablishedIII(c, p);
        break;
    default:
        return false;
    }
    c.end();
    return true;
}

void ParseDisplayDescriptor(Context& c, std::size_t p, int number) {
    const std::uint8_t tag = c.at(p + 3);
    const std::string label = "Descriptor " + Num(number);
    if (ParseTextDescriptor(c, p, label) || ParseTimingDescriptor(c, p, label)) {
        return;
    }
    if (tag == 0x10) {
        c.field(label, "Dummy", p, 18);
        if (!AllZero(c, p + 4, 14) || c.at(p + 2) != 0) {
            c.finding(FindingId::DummyDescriptorGarbage, p, 18,
                      "A dummy descriptor holds non-zero bytes.");
        }
        return;
    }
    if (AllZero(c, p, 18)) {
        c.field(label, "Empty (all zero)", p, 18);
        c.finding(FindingId::EmptyDescriptorZeroes, p, 18,
                  "An unused descriptor is all zero instead of a dummy descriptor (tag 0x10).");
        return;
    }
    const std::string kind = tag == 0xFB   ? "Colour point"
                             : tag == 0xF9 ? "Colour management"
                             : tag <= 0x0F ? "Manufacturer data"
                                           : "Unknown type " + Hex2(tag);
    c.field(label, kind + ": " + Bytes(c.out.bytes.data() + p + 5, 13), p, 18);
    if (tag > 0x10 && tag < 0xF7) {
        c.finding(FindingId::DescriptorUnknownType, p + 3, 1,
                  "A display descriptor has the unknown type " + Hex2(tag) + ".");
    }
}

} // namespace

void ParseDetailedTiming(Context& c, int block, std::size_t offset, int number) {
    const std::uint8_t* d = c.out.bytes.data() + offset;
    // No video format has a pixel clock below 10 MHz or no active pixels: such bytes are no
    // timing at all.
    const bool noPixels = (d[2] == 0 && (d[4] & 0xF0) == 0) || (d[5] == 0 && (d[7] & 0xF0) == 0);
    if ((d[0] | (d[1] << 8)) < 1000 || noPixels) {
        c.field("Detailed timing " + Num(number), "not a timing: " + Bytes(d, 18), offset, 18);
        c.finding(FindingId::DtdInvalid, offset, 18,
                  noPixels
                      ? std::string("A detailed timing has no active pixels or lines; it holds "
                                    "no usable timing.")
                      : "A detailed timing's pixel clock of " +
                            Fixed((d[0] | (d[1] << 8)) / 100.0, 2) +
                            " MHz is below any video format; it holds no usable timing.");
        return;
    }
    DetailedTimingEntry e;
    e.block = block;
    e.offset = static_cast<std::uint32_t>(offset);
    e.timing = DecodeTiming(d);
    e.hImageMm = static_cast<std::uint16_t>(d[12] | ((d[14] & 0xF0) << 4));
    e.vImageMm = static_cast<std::uint16_t>(d[13] | ((d[14] & 0x0F) << 8));
    e.hBorder = d[15];
    e.vBorder = d[16];
    const VideoTiming& t = e.timing;
    c.group("Detailed timing " + Num(number), TimingText(t), offset, 18);
    c.field("Horizontal",
            "front " + Num(t.hFront) + ", sync " + Num(t.hSync) + ", back " + Num(t.hBack),
            offset + 2, 10);
    c.field("Vertical",
            "front " + Num(t.vFront) + ", sync " + Num(t.vSync) + ", back " + Num(t.vBack),
            offset + 5, 7);
    c.field("Image size", Num(e.hImageMm) + " mm x " + Num(e.vImageMm) + " mm", offset + 12, 3);
    if (e.hBorder != 0 || e.vBorder != 0) {
        c.field("Borders", Num(e.hBorder) + " x " + Num(e.vBorder), offset + 15, 2);
    }
    c.field("Flags", SyncText(d[17]) + ((d[17] & 0x61) ? ", stereo" : ""), offset + 17, 1);
    c.end();
    c.out.detailedTimings.push_back(e);
    c.out.timings.push_back({t, "detailed", block, e.offset});
}

void ParseDescriptor(Context& c, int block, std::size_t offset, int number) {
    if (c.at(offset) != 0 || c.at(offset + 1) != 0) {
        ParseDetailedTiming(c, block, offset, static_cast<int>(c.out.detailedTimings.size()) + 1);
        return;
    }
    ParseDisplayDescriptor(c, offset, number);
}

} // namespace lvx::parse
