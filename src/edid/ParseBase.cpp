// The base block: identification, basic parameters, colour, established and standard
// timings; its four 18-byte descriptors are in ParseDescriptors.cpp.
#include "edid/DmtTable.h"
#include "edid/ParseContext.h"

#include <cmath>

namespace lvx::parse {

namespace {

constexpr std::uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};

void ParseHeader(Context& c) {
    const std::uint8_t* b = c.block(0);
    bool valid = true;
    for (std::size_t i = 0; i < 8; ++i) {
        valid = valid && b[i] == kHeader[i];
    }
    c.out.base.headerValid = valid;
    c.field("Header", Bytes(b, 8) + (valid ? "" : " (not the EDID header)"), 0, 8);
    if (!valid) {
        c.finding(FindingId::HeaderInvalid, 0, 8,
                  "The first 8 bytes are not 00 ff ff ff ff ff ff 00, so sources will not "
                  "take this as an EDID.");
    }
}

void ParseIdentification(Context& c) {
    const std::uint8_t* b = c.block(0);
    BaseBlock& base = c.out.base;
    const unsigned id = (b[8] << 8) | b[9];
    base.manufacturer = {static_cast<char>('@' + ((id >> 10) & 0x1F)),
                         static_cast<char>('@' + ((id >> 5) & 0x1F)),
                         static_cast<char>('@' + (id & 0x1F))};
    base.productCode = static_cast<std::uint16_t>(b[10] | (b[11] << 8));
    base.serialNumber =
        static_cast<std::uint32_t>(b[12]) | (static_cast<std::uint32_t>(b[13]) << 8) |
        (static_cast<std::uint32_t>(b[14]) << 16) | (static_cast<std::uint32_t>(b[15]) << 24);
    base.week = b[16];
    base.year = b[17] + 1990;
    base.version = b[18];
    base.revision = b[19];
    c.field("Manufacturer", base.manufacturer, 8, 2);
    c.field("Product code", Num(base.productCode), 10, 2);
    c.field("Serial number", Num(base.serialNumber), 12, 4);
    if (base.week == 0xFF) {
        c.field("Model year", Num(base.year), 16, 2);
    } else {
        c.field("Made in",
                (base.week != 0 ? "week " + Num(base.week) + " of " : "") + Num(base.year), 16, 2);
    }
    c.field("EDID version", Num(base.version) + "." + Num(base.revision), 18, 2);
    if (base.year > c.currentYear + 1) {
        c.finding(FindingId::YearInFuture, 17, 1,
                  "The manufacture year " + Num(base.year) +
                      " lies in the future; the date bytes are wrong.");
    }
}

std::string InterfaceName(unsigned code) {
    static const char* const kNames[6] = {"undefined", "DVI",  "HDMI-a",
                                          "HDMI-b",    "MDDI", "DisplayPort"};
    return code < 6 ? kNames[code] : "reserved (" + Hex2(code) + ")";
}

void ParseInput(Context& c) {
    const BaseBlock& base = c.out.base;
    const std::uint8_t in = c.block(0)[20];
    if (!base.digital()) {
        c.field("Video input", "analog", 20, 1);
        return;
    }
    if (!base.atLeast14()) {
        c.field("Video input", std::string("digital") + ((in & 0x01) ? ", DFP 1.x compatible" : ""),
                20, 1);
        // Before EDID 1.4 only bit 0 has a meaning for a digital input.
        if ((in & 0x7E) != 0) {
            c.finding(FindingId::DigitalInterfaceReserved, 20, 1,
                      "The digital input byte sets reserved bits (" + Hex2(in & 0x7E) +
                          ") that EDID " + Num(base.version) + "." + Num(base.revision) +
                          " does not define.");
        }
        return;
    }
    static const char* const kDepths[8] = {"undefined", "6",  "8",  "10",
                                           "12",        "14", "16", "reserved"};
    c.field("Video input",
            "digital, " + std::string(kDepths[(in >> 4) & 7]) + " bits per colour, " +
                InterfaceName(in & 0x0F),
            20, 1);
    if ((in & 0x0F) > 5) {
        c.finding(FindingId::DigitalInterfaceReserved, 20, 1,
                  "The digital interface field holds the reserved value " + Hex2(in & 0x0F) +
                      "; a source cannot tell how the display is connected.");
    }
}

void ParseBasicParameters(Context& c) {
    const std::uint8_t* b = c.block(0);
    BaseBlock& base = c.out.base;
    base.input = b[20];
    base.hSizeCm = b[21];
    base.vSizeCm = b[22];
    base.features = b[24];
    ParseInput(c);
    if (b[21] != 0 && b[22] != 0) {
        c.field("Screen size", Num(b[21]) + " cm x " + Num(b[22]) + " cm", 21, 2);
    } else {
        c.field("Screen size", "not given", 21, 2);
    }
    c.field("Gamma", b[23] == 0xFF ? "given elsewhere" : Fixed((b[23] + 100) / 100.0, 2), 23, 1);
    std::string features;
    features += (b[24] & 0x04) ? "sRGB default colour space" : "no sRGB default";
    features += (b[24] & 0x02) ? ", preferred timing first" : "";
    if (base.atLeast14()) {
        features += (b[24] & 0x01) ? ", continuous frequency" : ", non-continuous frequency";
    } else {
        features += (b[24] & 0x01) ? ", GTF supported" : "";
    }
    c.field("Features", features, 24, 1);
}

// The chromaticity coordinates as 10-bit fractions of 1024.
void ParseChromaticity(Context& c) {
    const std::uint8_t* b = c.block(0);
    auto& ch = c.out.base.chromaticity;
    const unsigned lowRG = b[25];
    const unsigned lowBW = b[26];
    ch[0] = static_cast<std::uint16_t>((b[27] << 2) | ((lowRG >> 6) & 3));
    ch[1] = static_cast<std::uint16_t>((b[28] << 2) | ((lowRG >> 4) & 3));
    ch[2] = static_cast<std::uint16_t>((b[29] << 2) | ((lowRG >> 2) & 3));
    ch[3] = static_cast<std::uint16_t>((b[30] << 2) | (lowRG & 3));
    ch[4] = static_cast<std::uint16_t>((b[31] << 2) | ((lowBW >> 6) & 3));
    ch[5] = static_cast<std::uint16_t>((b[32] << 2) | ((lowBW >> 4) & 3));
    ch[6] = static_cast<std::uint16_t>((b[33] << 2) | ((lowBW >> 2) & 3));
    ch[7] = static_cast<std::uint16_t>((b[34] << 2) | (lowBW & 3));
    static const char* const kNames[4] = {"Red", "Green", "Blue", "White"};
    c.group("Colour", "", 25, 10);
    for (std::size_t i = 0; i < 4; ++i) {
        c.field(kNames[i], Fixed(ch[2 * i] / 1024.0, 4) + ", " + Fixed(ch[2 * i + 1] / 1024.0, 4),
                25, 10);
    }
    c.end();
}

// sRGB's primaries and white point (IEC 61966-2-1) as the 10-bit codes that encode them;
// anything else is another colour space.
bool MatchesSrgb(const std::array<std::uint16_t, 8>& ch) {
    static constexpr double kSrgb[8] = {0.640, 0.330, 0.300, 0.600, 0.150, 0.060, 0.3127, 0.3290};
    for (std::size_t i = 0; i < 8; ++i) {
        if (ch[i] != std::lround(kSrgb[i] * 1024)) {
            return false;
        }
    }
    return true;
}

void CheckSrgb(Context& c) {
    const bool declared = (c.out.base.features & 0x04) != 0;
    const bool matches = MatchesSrgb(c.out.base.chromaticity);
    if (declared && !matches) {
        c.finding(FindingId::SrgbChromaticityMismatch, 24, 11,
                  "sRGB is declared the default colour space but the chromaticities are not "
                  "sRGB's, so colours may be mapped wrongly.");
    } else if (!declared && matches) {
        c.finding(FindingId::SrgbChromaticityMismatch, 24, 11,
                  "The chromaticities are sRGB's but sRGB is not declared the default colour "
                  "space.");
    }
}

void ParseEstablished(Context& c) {
    const std::uint8_t* b = c.block(0);
    c.group("Established timings", Bytes(b + 35, 3), 35, 3);
    for (int index = 0; index < 3; ++index) {
        for (int bit = 7; bit >= 0; --bit) {
            if ((b[35 + index] & (1 << bit)) == 0) {
                continue;
            }
            const std::size_t at = static_cast<std::size_t>(35 + index);
            const EstablishedTiming* e = FindEstablishedTiming(index, bit);
            if (e == nullptr) {
                c.field("Manufacturer timing", "bit " + Num(bit), at, 1);
                continue;
            }
            const std::string name = e->dmtId != 0 ? "DMT " + Hex2(static_cast<unsigned>(e->dmtId))
                                                   : std::string(e->source);
            c.field(name, TimingText(e->timing), at, 1);
            c.out.timings.push_back({e->timing, "established", 0, static_cast<std::uint32_t>(at)});
        }
    }
    c.end();
}

} // namespace

// Whether the range limits descriptor of the base block asks for CVT timings.
bool RangeLimitsAskForCvt(const Context& c) {
    for (std::size_t p = 54; p < 126; p += 18) {
        if (c.at(p) == 0 && c.at(p + 1) == 0 && c.at(p + 3) == 0xFD) {
            return c.at(p + 10) == 0x04;
        }
    }
    return false;
}

// A standard timing's two bytes: the DMT they name, else the timing CVT (when the range
// limits ask for it) or GTF gives. Nothing for an unused entry.
std::optional<VideoTiming> StandardTiming(const BaseBlock& base, std::uint8_t b1, std::uint8_t b2,
                                          bool cvt, std::string& name) {
    if (b1 <= 0x01) {
        return std::nullopt;
    }
    if (const DmtFormat* dmt = FindDmtByStandardCode(b1, b2)) {
        name = "DMT " + Hex2(dmt->id);
        return dmt->timing;
    }
    const int h = (b1 + 31) * 8;
    int v = 0;
    switch (b2 >> 6) {
    case 0:
        v = base.atLeast14() || (base.version == 1 && base.revision == 3) ? h * 10 / 16 : h;
        break;
    case 1:
        v = h * 3 / 4;
        break;
    case 2:
        v = h * 4 / 5;
        break;
    default:
        v = h * 9 / 16;
        break;
    }
    const int hz = (b2 & 0x3F) + 60;
    name = cvt ? "CVT" : "GTF";
    return cvt ? CvtTiming(h, v, hz, false, false) : GtfTiming(h, v, hz, false);
}

void ParseStandardTimings(Context& c, std::size_t first, int count) {
    const bool cvt = RangeLimitsAskForCvt(c);
    for (int i = 0; i < count; ++i) {
        const std::size_t at = first + 2 * static_cast<std::size_t>(i);
        const std::uint8_t b1 = c.at(at);
        const std::uint8_t b2 = c.at(at + 1);
        std::string name;
        const std::optional<VideoTiming> t = StandardTiming(c.out.base, b1, b2, cvt, name);
        if (t) {
            c.field(name, TimingText(*t), at, 2);
            c.out.timings.push_back(
                {*t, "standard", static_cast<int>(at / kBlock), static_cast<std::uint32_t>(at)});
        } else if (!(b1 == 0x01 && b2 == 0x01)) {
            c.field("Unused", Bytes(c.out.bytes.data() + at, 2), at, 2);
            c.finding(FindingId::StandardTimingInvalidCode, at, 2,
                      "An unused standard timing is written as " +
                          Bytes(c.out.bytes.data() + at, 2) + " instead of 01 01.");
        }
    }
}

void ParseBaseBlock(Context& c) {
    const std::uint8_t* b = c.block(0);
    ParseHeader(c);
    ParseIdentification(c);
    ParseBasicParameters(c);
    ParseChromaticity(c);
    CheckSrgb(c);
    ParseEstablished(c);
    c.group("Standard timings", "", 38, 16);
    ParseStandardTimings(c, 38, 8);
    c.end();
    for (int k = 0; k < 4; ++k) {
        ParseDescriptor(c, 0, 54 + 18 * static_cast<std::size_t>(k), k + 1);
    }
    c.out.base.extensionCount = b[126];
    c.field("Extension blocks", Num(b[126]), 126, 1);
}

} // namespace lvx::parse
