// Vendor-specific data blocks of a CTA-861 extension: the HDMI 1.x block, the HDMI Forum
// block (also in its sink capability form) and any other vendor's block by its OUI.
#include "edid/CtaCodes.h"
#include "edid/ParseContext.h"
#include "edid/VicTable.h"

#include <cstdio>

namespace lvx::parse {

namespace {

struct VendorName {
    std::uint32_t oui;
    const char* name;
};

constexpr VendorName kVendors[] = {
    {0x00001A, "AMD"},    {0x0010FA, "Apple"},     {0x00D046, "Dolby"},  {0x90848B, "HDR10+"},
    {0x8B8490, "HDR10+"}, {0x000CE7, "Microsoft"}, {0x00044B, "NVIDIA"}, {0xCA125C, "Microsoft"},
};

std::uint32_t Oui(const Context& c, std::size_t at) {
    return OuiOf(c.at(at + 1), c.at(at + 2), c.at(at + 3));
}

std::string OuiText(std::uint32_t oui) {
    char text[12];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X", (oui >> 16) & 0xFF, (oui >> 8) & 0xFF,
                  oui & 0xFF);
    return text;
}

std::string AddressText(std::uint8_t a, std::uint8_t b) {
    return Num(a >> 4) + "." + Num(a & 0x0F) + "." + Num(b >> 4) + "." + Num(b & 0x0F);
}

std::string DeepColourText(std::uint8_t caps) {
    std::string text;
    text += (caps & 0x40) ? "48 " : "";
    text += (caps & 0x20) ? "36 " : "";
    text += (caps & 0x10) ? "30 " : "";
    text += text.empty() ? "none" : "bit";
    text += (caps & 0x08) ? ", also YCbCr 4:4:4" : "";
    return text;
}

// The HDMI video fields after the latencies: 3D flags, the HDMI VICs.
void ParseHdmiVideo(Context& c, HdmiVendorBlock& h, std::size_t p, std::size_t end) {
    if (p >= end) {
        return;
    }
    h.present3d = (c.at(p) & 0x80) != 0;
    c.field("3D", h.present3d ? "supported" : "not supported", p, 1);
    if (p + 1 >= end) {
        return;
    }
    const std::size_t vicLength = c.at(p + 1) >> 5;
    for (std::size_t i = 0; i < vicLength && p + 2 + i < end; ++i) {
        const std::size_t at = p + 2 + i;
        const std::uint8_t v = c.at(at);
        h.hdmiVics.push_back(v);
        const VideoTiming* t = FindHdmiVic(v);
        c.field("HDMI VIC " + Num(v), t != nullptr ? TimingText(*t) : "not a known format", at, 1);
        if (t != nullptr) {
            c.out.timings.push_back({*t, "HDMI VIC", h.block, static_cast<std::uint32_t>(at)});
        }
    }
}

void ParseHdmiFields(Context& c, HdmiVendorBlock& h, std::size_t at, std::size_t length) {
    const std::size_t end = at + 1 + length;
    if (length >= 5) {
        h.physicalAddress = static_cast<std::uint16_t>((c.at(at + 4) << 8) | c.at(at + 5));
        c.field("Physical address", AddressText(c.at(at + 4), c.at(at + 5)), at + 4, 2);
    }
    if (length >= 6) {
        h.capabilities = c.at(at + 6);
        c.field("Deep colour", DeepColourText(h.capabilities), at + 6, 1);
    }
    if (length >= 7) {
        h.maxTmdsMHz = static_cast<std::uint16_t>(c.at(at + 7) * 5);
        c.field("Max TMDS clock", Num(*h.maxTmdsMHz) + " MHz", at + 7, 1);
    }
    if (length < 8) {
        return;
    }
    const std::uint8_t flags = c.at(at + 8);
    std::size_t p = at + 9;
    if ((flags & 0x80) && p + 1 < end) {
        c.field("Latency", "video " + Num(c.at(p)) + ", audio " + Num(c.at(p + 1)), p, 2);
        p += 2;
    }
    if ((flags & 0x40) && p + 1 < end) {
        c.field("Interlaced latency", "video " + Num(c.at(p)) + ", audio " + Num(c.at(p + 1)), p,
                2);
        p += 2;
    }
    if (flags & 0x20) {
        ParseHdmiVideo(c, h, p, end);
    }
}

void ParseHdmiBlock(Context& c, int block, std::size_t at, std::size_t length) {
    HdmiVendorBlock h;
    h.block = block;
    h.offset = static_cast<std::uint32_t>(at);
    h.length = static_cast<std::uint8_t>(length);
    c.group("HDMI vendor-specific data block", "HDMI 1.x", at, length + 1);
    ParseHdmiFields(c, h, at, length);
    c.end();
    if (h.maxTmdsMHz && *h.maxTmdsMHz > 340) {
        c.finding(FindingId::HdmiTmdsAbove340, at + 7, 1,
                  "The HDMI 1.x block declares a maximum TMDS clock of " + Num(*h.maxTmdsMHz) +
                      " MHz; above 340 MHz belongs in the HDMI Forum block.");
    }
    const BaseBlock& base = c.out.base;
    if (!(base.version == 1 && base.revision == 3)) {
        c.finding(FindingId::HdmiNeedsEdid13, 18, 2,
                  "HDMI requires EDID version 1.3, but this EDID is " + Num(base.version) + "." +
                      Num(base.revision) + "; some sources then ignore the HDMI block.");
    }
    if (!c.out.hdmi) {
        c.out.hdmi = std::move(h);
    }
}

std::string FrlText(unsigned rate) {
    static const char* const kRates[7] = {"none",       "3 Gbps x 3",  "6 Gbps x 3", "6 Gbps x 4",
                                          "8 Gbps x 4", "10 Gbps x 4", "12 Gbps x 4"};
    return rate < 7 ? kRates[rate] : "reserved (" + Num(rate) + ")";
}

} // namespace

void ParseHdmiForumFields(Context& c, HdmiForumBlock& hf, std::size_t first, std::size_t end) {
    // `first` is the version byte; `end` is one past the block.
    auto has = [&](std::size_t i) { return first + i < end; };
    if (has(0)) {
        hf.version = c.at(first);
        c.field("Version", Num(hf.version), first, 1);
    }
    if (has(1)) {
        hf.maxTmdsMHz = static_cast<std::uint16_t>(c.at(first + 1) * 5);
        c.field("Max TMDS character rate", Num(*hf.maxTmdsMHz) + " MHz", first + 1, 1);
    }
    if (has(2)) {
        hf.scdc = (c.at(first + 2) & 0x80) != 0;
        c.field("SCDC", hf.scdc ? "present" : "absent", first + 2, 1);
    }
    if (has(3)) {
        const std::uint8_t b = c.at(first + 3);
        hf.maxFrl = static_cast<std::uint8_t>(b >> 4);
        hf.deepColor420 = b & 0x07;
        c.field("Max FRL rate", FrlText(hf.maxFrl), first + 3, 1);
        c.field("4:2:0 deep colour",
                DeepColourText(static_cast<std::uint8_t>(hf.deepColor420 << 4)), first + 3, 1);
    }
    if (has(4)) {
        hf.allm = (c.at(first + 4) & 0x02) != 0;
        c.field("ALLM", hf.allm ? "supported" : "not supported", first + 4, 1);
    }
    if (has(6)) {
        hf.vrrMin = c.at(first + 5) & 0x3F;
        hf.vrrMax = static_cast<std::uint16_t>(((c.at(first + 5) & 0xC0) << 2) | c.at(first + 6));
        c.field("VRR", Num(hf.vrrMin) + "-" + Num(hf.vrrMax) + " Hz", first + 5, 2);
    }
    if (has(7)) {
        hf.dsc = (c.at(first + 7) & 0x80) != 0;
        c.field("DSC 1.2", hf.dsc ? "supported" : "not supported", first + 7, 1);
    }
}

void ParseHdmiForumBlock(Context& c, int block, std::size_t at, std::size_t length,
                         bool capabilityBlock) {
    HdmiForumBlock hf;
    hf.block = block;
    hf.offset = static_cast<std::uint32_t>(at);
    hf.capabilityBlock = capabilityBlock;
    c.group(capabilityBlock ? "HDMI Forum sink capability data block"
                            : "HDMI Forum vendor-specific data block",
            "HDMI 2.x", at, length + 1);
    ParseHdmiForumFields(c, hf, at + 4, at + 1 + length);
    c.end();
    if (hf.maxTmdsMHz && ((*hf.maxTmdsMHz > 0 && *hf.maxTmdsMHz <= 340) || *hf.maxTmdsMHz > 600)) {
        c.finding(FindingId::HfTmdsInvalid, at + 5, 1,
                  "The HDMI Forum block's maximum TMDS character rate of " + Num(*hf.maxTmdsMHz) +
                      " MHz is not allowed (it must be 0 or from 345 to 600 MHz).");
    }
    if (!c.out.hdmiForum) {
        c.out.hdmiForum = hf;
    }
}

void ParseCtaVendorBlock(Context& c, int block, std::size_t at, std::size_t length) {
    const std::uint32_t oui = length >= 3 ? Oui(c, at) : 0;
    if (length >= 3 && oui == kOuiHdmi) {
        c.out.dataBlocks.back().name = "HDMI vendor-specific data block";
        ParseHdmiBlock(c, block, at, length);
        return;
    }
    if (length >= 3 && oui == kOuiHdmiForum) {
        c.out.dataBlocks.back().name = "HDMI Forum vendor-specific data block";
        ParseHdmiForumBlock(c, block, at, length, false);
        return;
    }
    const char* vendor = nullptr;
    for (const VendorName& v : kVendors) {
        if (v.oui == oui) {
            vendor = v.name;
        }
    }
    c.group("Vendor-specific data block", length >= 3 ? "OUI " + OuiText(oui) : "", at, length + 1);
    if (vendor != nullptr) {
        c.field("Vendor", vendor, at + 1, 3);
    }
    if (length > 3) {
        c.field("Bytes", Bytes(c.out.bytes.data() + at + 4, length - 3), at + 4, length - 3);
    }
    c.end();
}

} // namespace lvx::parse
