// A CTA-861 extension: its header, the walk over its data blocks, the video, audio and
// speaker blocks, its detailed timings and padding. Extended-tag blocks are in
// ParseCtaExtended.cpp, vendor-specific ones in ParseCtaVendor.cpp.
#include "edid/CtaCodes.h"
#include "edid/ParseContext.h"
#include "edid/VicTable.h"

#include <algorithm>
#include <cstdio>

namespace lvx::parse {

namespace {

std::string VicText(int vic) {
    const VideoTiming* t = FindVic(vic);
    std::string text = t != nullptr ? TimingText(*t) : "not a known format";
    if (t != nullptr && t->aspectW != 0) {
        text += ", " + Num(t->aspectW) + ":" + Num(t->aspectH);
    }
    return text;
}

ShortVideoDescriptor ReadSvd(std::uint8_t raw, int block, std::size_t at) {
    ShortVideoDescriptor s;
    s.raw = raw;
    s.native = SvdNative(raw);
    s.vic = SvdVic(raw);
    s.block = block;
    s.offset = static_cast<std::uint32_t>(at);
    return s;
}

void ParseVideoBlock(Context& c, int block, std::size_t first, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        const std::size_t at = first + i;
        const ShortVideoDescriptor s = ReadSvd(c.at(at), block, at);
        c.out.svds.push_back(s);
        if (SvdReserved(s.raw)) {
            c.field("Reserved code", Hex2(s.raw), at, 1);
            continue;
        }
        c.field("VIC " + Num(s.vic), VicText(s.vic) + (s.native ? " (native)" : ""), at, 1);
        if (const VideoTiming* t = FindVic(s.vic)) {
            c.out.timings.push_back({*t, "VIC", block, static_cast<std::uint32_t>(at)});
        } else {
            c.finding(FindingId::UnknownVic, at, 1,
                      "VIC " + Num(s.vic) +
                          " is not a video format of CTA-861; a source will not send it.");
        }
    }
}

void ParseAudioBlock(Context& c, int block, std::size_t first, std::size_t length) {
    for (std::size_t i = 0; i + 3 <= length; i += 3) {
        const std::size_t at = first + i;
        ShortAudioDescriptor s;
        s.bytes = {c.at(at), c.at(at + 1), c.at(at + 2)};
        s.formatCode = static_cast<std::uint8_t>((s.bytes[0] >> 3) & 0x0F);
        s.maxChannels = static_cast<std::uint8_t>((s.bytes[0] & 0x07) + 1);
        s.extendedCode = s.formatCode == 15 ? static_cast<std::uint8_t>(s.bytes[2] >> 3) : 0;
        s.block = block;
        s.offset = static_cast<std::uint32_t>(at);
        c.field("Short audio descriptor",
                DescribeShortAudioDescriptor(s.bytes[0], s.bytes[1], s.bytes[2]), at, 3);
        if (s.formatCode == 0) {
            c.finding(FindingId::AudioFormatReserved, at, 3,
                      "A short audio descriptor has the reserved format code 0; a source "
                      "cannot tell what audio it means.");
        }
        c.out.sads.push_back(s);
    }
}

std::string SpeakerText(const std::uint8_t* p) {
    static const char* const kNames[24] = {
        "FL/FR",     "LFE1",    "FC",        "BL/BR",       "BC",    "FLc/FRc",
        "BLc/BRc",   "FLw/FRw", "TpFL/TpFR", "TpC",         "TpFC",  "LS/RS",
        "LFE2",      "TpBC",    "SiL/SiR",   "TpSiL/TpSiR", "BtFC",  "BtFL/BtFR",
        "TpLS/TpRS", "LSd/RSd", nullptr,     nullptr,       nullptr, nullptr};
    std::string text;
    for (int bit = 0; bit < 24; ++bit) {
        if ((p[bit / 8] & (1 << (bit % 8))) && kNames[bit] != nullptr) {
            text += (text.empty() ? "" : " ") + std::string(kNames[bit]);
        }
    }
    return text.empty() ? "none" : text;
}

const char* DataBlockName(std::uint8_t tag) {
    static const char* const kNames[8] = {"Reserved data block",
                                          "Audio data block",
                                          "Video data block",
                                          "Vendor-specific data block",
                                          "Speaker allocation data block",
                                          "VESA display transfer characteristic data block",
                                          "Video format data block",
                                          "Extended data block"};
    return kNames[tag & 7];
}

void ParseDataBlock(Context& c, int block, std::size_t at, std::size_t length) {
    const std::uint8_t tag = static_cast<std::uint8_t>(c.at(at) >> 5);
    CtaDataBlock entry;
    entry.block = block;
    entry.offset = static_cast<std::uint32_t>(at);
    entry.tag = tag;
    entry.length = static_cast<std::uint8_t>(length);
    entry.name = DataBlockName(tag);
    const std::size_t first = at + 1;
    if (tag == 7) {
        entry.extendedTag = length > 0 ? c.at(first) : -1;
        c.out.dataBlocks.push_back(entry);
        ParseExtendedBlock(c, block, at, length);
        return;
    }
    if (tag == 3) {
        c.out.dataBlocks.push_back(entry);
        ParseCtaVendorBlock(c, block, at, length);
        return;
    }
    c.out.dataBlocks.push_back(entry);
    c.group(DataBlockName(tag), "", at, length + 1);
    if (tag == 1) {
        ParseAudioBlock(c, block, first, length);
    } else if (tag == 2) {
        ParseVideoBlock(c, block, first, length);
    } else if (tag == 4 && length >= 3) {
        const std::uint8_t* p = c.out.bytes.data() + first;
        if (!c.out.speakers) {
            c.out.speakers = std::array<std::uint8_t, 3>{p[0], p[1], p[2]};
        }
        c.field("Speakers", SpeakerText(p), first, 3);
    } else if (length > 0) {
        c.field("Bytes", Bytes(c.out.bytes.data() + first, length), first, length);
    }
    c.end();
}

void ParseHeaderFields(Context& c, int block, CtaExtension& x) {
    const std::size_t base = static_cast<std::size_t>(block) * kBlock;
    const std::uint8_t* b = c.block(block);
    x.block = block;
    x.revision = b[1];
    x.dtdOffset = b[2];
    x.flags = b[3];
    c.field("Revision", Num(x.revision), base + 1, 1);
    c.field("Detailed timings at", Num(x.dtdOffset), base + 2, 1);
    if (x.revision >= 2) {
        std::string flags;
        flags += (x.flags & 0x80) ? "IT formats underscanned" : "IT formats overscanned";
        flags += (x.flags & 0x40) ? ", basic audio" : "";
        flags += (x.flags & 0x20) ? ", YCbCr 4:4:4" : "";
        flags += (x.flags & 0x10) ? ", YCbCr 4:2:2" : "";
        flags += ", " + Num(x.flags & 0x0F) + " native detailed timings";
        c.field("Flags", flags, base + 3, 1);
    }
}

// The data blocks between byte 4 and the detailed timings; a block that runs past them is
// cut there.
void WalkDataBlocks(Context& c, int block, std::size_t end) {
    const std::size_t base = static_cast<std::size_t>(block) * kBlock;
    std::size_t at = base + 4;
    while (at < end) {
        std::size_t length = c.at(at) & 0x1Fu;
        if (at + 1 + length > end) {
            // Read as far as its length says (within the block): the timings that start
            // inside it are read as well, as a source would.
            c.finding(FindingId::DataBlockOverrun, at, end - at,
                      "A data block runs " + Num(static_cast<long long>(at + 1 + length - end)) +
                          " bytes past the start of the detailed timings (byte 2 is wrong).");
            length = std::min(length, base + 126 - at);
        }
        ParseDataBlock(c, block, at, length);
        at += 1 + length;
    }
}

// The 18-byte descriptors from `from`: detailed timings, and display descriptors (some
// displays put their serial number here); the first slot that is neither starts the padding.
void ParseTimingsAndPadding(Context& c, int block, std::size_t from) {
    const std::size_t base = static_cast<std::size_t>(block) * kBlock;
    std::size_t p = from;
    int number = 1;
    for (; p + 18 <= base + 127; p += 18, ++number) {
        bool zero = true;
        for (std::size_t i = 0; i < 18 && zero; ++i) {
            zero = c.at(p + i) == 0;
        }
        if (zero) {
            break;
        }
        ParseDescriptor(c, block, p, number);
    }
    for (std::size_t i = p; i < base + 127; ++i) {
        if (c.at(i) != 0) {
            c.field("Padding", "not zero", p, base + 127 - p);
            c.finding(FindingId::CtaPaddingNonzero, i, base + 127 - i,
                      "The padding after the last detailed timing holds non-zero bytes.");
            break;
        }
    }
}

} // namespace

void ParseCtaBlock(Context& c, int block) {
    const std::size_t base = static_cast<std::size_t>(block) * kBlock;
    CtaExtension x;
    ParseHeaderFields(c, block, x);
    c.out.cta.push_back(x);
    std::size_t timings = base + x.dtdOffset;
    if (x.dtdOffset == 0) {
        timings = base + 4;
    } else if (x.dtdOffset < 4 || x.dtdOffset > 127) {
        c.finding(FindingId::DtdOffsetInvalid, base + 2, 1,
                  "Byte 2 points to byte " + Num(x.dtdOffset) +
                      " for the detailed timings, which is not inside the data area.");
        timings = base + (x.dtdOffset < 4 ? 4 : 127);
    }
    if (x.revision >= 3) {
        WalkDataBlocks(c, block, timings);
    }
    if (x.dtdOffset != 0) {
        ParseTimingsAndPadding(c, block, timings);
    } else {
        ParseTimingsAndPadding(c, block, base + 127);
        for (std::size_t i = base + 4; i < base + 127; ++i) {
            if (c.at(i) != 0) {
                c.finding(FindingId::CtaPaddingNonzero, i, base + 127 - i,
                          "Bytes after the header are not zero although the block holds neither "
                          "data blocks nor timings.");
                break;
            }
        }
    }
}

} // namespace lvx::parse

namespace lvx {

std::string DescribeShortAudioDescriptor(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) {
    static constexpr const char* kFormats[16] = {"Reserved format",
                                                 "L-PCM",
                                                 "AC-3",
                                                 "MPEG-1",
                                                 "MP3",
                                                 "MPEG-2",
                                                 "AAC LC",
                                                 "DTS",
                                                 "ATRAC",
                                                 "One Bit Audio",
                                                 "Enhanced AC-3",
                                                 "DTS-HD",
                                                 "MAT (Dolby TrueHD)",
                                                 "DST",
                                                 "WMA Pro",
                                                 "Extended format"};
    static constexpr const char* kRates[7] = {"32", "44.1", "48", "88.2", "96", "176.4", "192"};
    const int code = (b0 >> 3) & 0x0F;
    std::string text = kFormats[code];
    if (code == 15) {
        text += " " + std::to_string(b2 >> 3);
    }
    text += " " + std::to_string((b0 & 0x07) + 1) + " ch, ";
    bool first = true;
    for (int bit = 0; bit < 7; ++bit) {
        if (b1 & (1 << bit)) {
            text += first ? "" : "/";
            text += kRates[bit];
            first = false;
        }
    }
    text += first ? "no rate kHz" : " kHz";
    if (code == 1) {
        static constexpr const char* kDepths[3] = {"16", "20", "24"};
        text += ", ";
        first = true;
        for (int bit = 0; bit < 3; ++bit) {
            if (b2 & (1 << bit)) {
                text += first ? "" : "/";
                text += kDepths[bit];
                first = false;
            }
        }
        text += first ? "no depth" : " bit";
    } else if (code >= 2 && code <= 8) {
        text += ", up to " + std::to_string(b2 * 8) + " kbit/s";
    } else {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%02X", b2);
        text += std::string(", byte 3 ") + hex;
    }
    return text;
}

} // namespace lvx
