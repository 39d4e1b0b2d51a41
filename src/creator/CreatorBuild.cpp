#include "creator/CreatorBuild.h"

#include "edid/CtaCodes.h"

#include <algorithm>
#include <cstdio>

namespace lvx {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kBlock1 = 128;
constexpr std::size_t kDataBlocks = 132;
// Block 1's bytes before the checksum: data blocks and timings end before offset 254.
constexpr std::size_t kRoom = 126;

std::uint8_t At(const EdidImage& image, std::size_t position) {
    return position < image.size() ? image[position] : 0;
}

// The VIC list rule: a checked VIC missing from the list takes the first free slot (0, or a
// value above 107); an unchecked one leaves every slot. Other slots keep their place.
template <std::size_t N, std::size_t M>
void ApplyVicBoxes(std::array<std::uint8_t, N>& slots, const std::array<std::uint8_t, M>& vics,
                   const std::array<bool, M>& checked) {
    for (std::size_t k = 0; k < M; ++k) {
        const std::uint8_t v = vics[k];
        const bool present = std::find(slots.begin(), slots.end(), v) != slots.end();
        if (checked[k]) {
            if (!present) {
                const auto free = std::find_if(slots.begin(), slots.end(),
                                               [](std::uint8_t s) { return s == 0 || s > 107; });
                if (free != slots.end()) {
                    *free = v;
                }
            }
        } else {
            std::replace(slots.begin(), slots.end(), v, std::uint8_t{0});
        }
    }
}

unsigned CodeOf(const std::array<std::uint8_t, 3>& sad) {
    return (sad[0] >> 3) & 0x0F;
}

bool PutInFreeSlot(EdidRecord& r, std::uint8_t byte1) {
    for (auto& sad : r.sad) {
        if (sad[0] == 0) {
            sad = {byte1, 0, 0};
            return true;
        }
    }
    return false;
}

std::uint8_t FrequencyBits(const std::array<bool, 7>& boxes) {
    std::uint8_t bits = 0;
    for (int k = 1; k <= 7; ++k) {
        if (boxes[static_cast<std::size_t>(k - 1)]) {
            bits |= static_cast<std::uint8_t>(1u << (7 - k));
        }
    }
    return bits;
}

std::uint8_t SampleSizeBits(const std::array<bool, 3>& boxes) {
    std::uint8_t bits = 0;
    for (int k = 1; k <= 3; ++k) {
        if (boxes[static_cast<std::size_t>(k - 1)]) {
            bits |= static_cast<std::uint8_t>(1u << (3 - k));
        }
    }
    return bits;
}

std::uint8_t ChannelField(unsigned maxChannels) {
    return static_cast<std::uint8_t>((maxChannels - 1) & 0x07);
}

// 1, 2: descriptors for what the controls ask for and the record lacks. A format's presence
// bit is set only when its descriptor found a free slot.
void AddAskedAudio(EdidRecord& r, const BuildControls& c) {
    const auto& formats = AudioFormats();
    const unsigned lpcmChannels = c.audio[0].maxChannels;
    if (lpcmChannels >= 3 && (r.audioFlags & kAudioMultiPcm) == 0 &&
        PutInFreeSlot(r, static_cast<std::uint8_t>(0x08 | ChannelField(lpcmChannels)))) {
        r.audioFlags |= kAudioMultiPcm;
    }
    for (const AudioFormatDef& a : formats) {
        const auto f = static_cast<std::size_t>(&a - formats.data());
        if (c.audio[f].box && (r.audioFlags & a.presenceBit) == 0 &&
            PutInFreeSlot(r, a.createdByte1)) {
            r.audioFlags |= a.presenceBit;
        }
    }
}

// 3, 4: what the controls no longer ask for.
void DropUnaskedAudio(EdidRecord& r, const BuildControls& c) {
    const auto& formats = AudioFormats();
    const unsigned lpcmChannels = c.audio[0].maxChannels;
    if (lpcmChannels <= 2 && (r.audioFlags & kAudioMultiPcm) != 0) {
        r.audioFlags &= static_cast<std::uint16_t>(~kAudioMultiPcm);
        for (auto& sad : r.sad) {
            if (sad[0] != 0 && CodeOf(sad) == 1 && (sad[0] & 0x07) >= 2) {
                sad = {0, 0, 0};
                break;
            }
        }
    }
    for (const AudioFormatDef& a : formats) {
        const auto f = static_cast<std::size_t>(&a - formats.data());
        if (c.audio[f].box || (r.audioFlags & a.presenceBit) == 0) {
            continue;
        }
        r.audioFlags &= static_cast<std::uint16_t>(~a.presenceBit);
        for (auto& sad : r.sad) {
            const bool match = f == 0 ? sad[0] == 0x09 : sad[0] != 0 && CodeOf(sad) == a.code;
            if (match) {
                sad = {0, 0, 0};
            }
        }
    }
}

// 5: every descriptor filled from its format's controls.
void FillAudio(EdidRecord& r, const BuildControls& c) {
    const auto& formats = AudioFormats();
    const unsigned lpcmChannels = c.audio[0].maxChannels;
    for (auto& sad : r.sad) {
        if (sad[0] == 0) {
            continue;
        }
        const int f = AudioFormatOfCode(CodeOf(sad));
        if (f < 0) {
            continue;
        }
        const BuildControls::Audio& audio = c.audio[static_cast<std::size_t>(f)];
        const AudioFormatDef& a = formats[static_cast<std::size_t>(f)];
        if (f == 0) {
            if ((sad[0] & 0x07) != 1) {
                sad[0] = static_cast<std::uint8_t>((sad[0] & 0xF8) | ChannelField(lpcmChannels));
            }
            sad[1] = FrequencyBits(audio.frequency);
            sad[2] = SampleSizeBits(c.sampleSize);
        } else if (audio.maxChannels > 0) {
            sad[0] = static_cast<std::uint8_t>(a.code * 8 + ChannelField(audio.maxChannels));
            sad[1] = FrequencyBits(audio.frequency);
            sad[2] = a.bitRate ? static_cast<std::uint8_t>(audio.bitRate / 8) : a.fixedByte3;
        } else {
            sad = a.emptyMaxCh;
        }
    }
}

void GatherAudio(EdidRecord& r, const BuildControls& c) {
    AddAskedAudio(r, c);
    DropUnaskedAudio(r, c);
    FillAudio(r, c);
}

std::uint8_t DepthByte(const BuildControls& c) {
    std::uint8_t depth = 0;
    for (std::size_t n = 0; n < 3; ++n) {
        if (c.colorDepth[n]) {
            depth |= static_cast<std::uint8_t>(0x40 >> n);
        }
    }
    if (depth != 0 && c.ycbcr444) {
        depth |= 0x08;
    }
    return depth;
}

void Gather(EdidRecord& r, const BuildControls& c) {
    r.extensionFlags = static_cast<std::uint8_t>((r.extensionFlags & ~0x30) |
                                                 (c.ycbcr444 ? 0x20 : 0) | (c.ycbcr422 ? 0x10 : 0));
    r.yuv420 = c.ycbcr420 ? 1 : 0;
    std::uint8_t colorimetry = 0;
    for (std::size_t n = 0; n < 8; ++n) {
        if (c.colorimetry[n]) {
            colorimetry |= static_cast<std::uint8_t>(0x80 >> n);
        }
    }
    r.colorimetry[0] = colorimetry;
    ApplyVicBoxes(r.svd, kCreatorVics, c.vic);
    ApplyVicBoxes(r.yuv420Video, kCreatorYuv420Vics, c.yuv420);
    r.hdmiVic.fill(0);
    std::size_t next = 0;
    const auto vicBox = [&](std::uint8_t vic) {
        const auto at = std::find(kCreatorVics.begin(), kCreatorVics.end(), vic);
        return c.vic[static_cast<std::size_t>(at - kCreatorVics.begin())];
    };
    for (const auto& [vic, hdmiVic] :
         {std::pair<std::uint8_t, std::uint8_t>{93, 3}, {94, 2}, {95, 1}}) {
        if (vicBox(vic)) {
            r.hdmiVic[next++] = hdmiVic;
        }
    }
    if (c.present3d) {
        r.format |= kFormat3dPresent;
    } else {
        r.format &= static_cast<std::uint16_t>(~kFormat3dPresent);
    }
    r.yuv420DeepColor = static_cast<std::uint8_t>(
        (c.hdrDepth[0] ? 0x04 : 0) | (c.hdrDepth[1] ? 0x02 : 0) | (c.hdrDepth[2] ? 0x01 : 0));
    r.hdrMetadata[0] = static_cast<std::uint8_t>((c.eotf[0] ? 0x04 : 0) | (c.eotf[1] ? 0x02 : 0) |
                                                 (c.eotf[2] ? 0x01 : 0));
    r.hdrMetadata[1] = static_cast<std::uint8_t>((r.hdrMetadata[1] & ~0x01) | (c.hdrType1 ? 1 : 0));
    for (std::size_t n = 0; n < 3; ++n) {
        r.hdrMetadata[2 + n] = static_cast<std::uint8_t>(c.luminance[n]);
    }
    GatherAudio(r, c);
    std::uint32_t speakers = 0;
    for (std::size_t n = 0; n < Speakers().size(); ++n) {
        if (c.speaker[n]) {
            speakers |= 1u << Speakers()[n].bit;
        }
    }
    r.speakerAllocation = speakers;
    r.cecAddress = c.cec;
    if (c.dvi) {
        r.format |= kFormatNoExtension;
    } else {
        r.format &= static_cast<std::uint16_t>(~(kFormatNoExtension | kFormatExtensionWithoutHdmi));
    }
}

// A data block of the loaded block 1: where its tag byte is and its length field.
struct Span {
    std::size_t at = 0;
    std::size_t length = 0;
};

struct Loaded {
    std::optional<Span> hdmi;
    std::optional<Span> forum;
    std::optional<std::uint8_t> colorimetryMetadata;
    std::uint8_t videoCapability = 0;
    std::vector<std::string> leftOut;
};

std::string Describe(const char* what, std::size_t length) {
    char text[120];
    std::snprintf(text, sizeof text, "%s, %zu byte%s", what, length + 1, length == 0 ? "" : "s");
    return text;
}

const char* ExtendedName(unsigned tag) {
    switch (tag) {
    case 0:
        return "video capability data block";
    case 1:
        return "vendor-specific video data block";
    case 5:
        return "colorimetry data block";
    case 7:
        return "HDR dynamic metadata data block";
    case 13:
        return "video format preference data block";
    case 15:
        return "YCbCr 4:2:0 capability map data block";
    case 17:
        return "vendor-specific audio data block";
    case 18:
        return "room configuration data block";
    case 19:
        return "speaker location data block";
    case 32:
        return "InfoFrame data block";
    default:
        return nullptr;
    }
}

// A vendor-specific data block of the loaded block 1: the first HDMI and HDMI Forum blocks
// are carried over, any other is left out.
void WalkVendor(const EdidImage& image, std::size_t c, std::size_t length, Loaded& loaded) {
    const std::uint8_t a = At(image, c + 1);
    const std::uint8_t b = At(image, c + 2);
    const std::uint8_t d = At(image, c + 3);
    if (OuiOf(a, b, d) == kOuiHdmi && !loaded.hdmi) {
        loaded.hdmi = Span{c, length};
    } else if (OuiOf(a, b, d) == kOuiHdmiForum && !loaded.forum) {
        loaded.forum = Span{c, length};
    } else {
        char text[96];
        std::snprintf(text, sizeof text, "vendor-specific data block, OUI %02X-%02X-%02X", d, b, a);
        loaded.leftOut.push_back(Describe(text, length));
    }
}

// An extended data block of the loaded block 1: the first non-zero video capability and the
// first colorimetry block are carried over, the HDR blocks are made again from the controls,
// any other is left out.
void WalkExtended(const EdidImage& image, std::size_t c, std::size_t length, Loaded& loaded) {
    const unsigned extended = At(image, c + 1);
    if (extended == 0 && length == 2 && loaded.videoCapability == 0) {
        loaded.videoCapability = At(image, c + 2);
        if (loaded.videoCapability != 0) {
            return;
        }
    } else if (extended == 5 && length == 3) {
        if (!loaded.colorimetryMetadata) {
            loaded.colorimetryMetadata = At(image, c + 3);
        }
        return;
    } else if ((extended == 6 || extended == 14) && length >= 1) {
        return; // made again from the controls
    }
    char text[96];
    if (const char* name = ExtendedName(extended)) {
        std::snprintf(text, sizeof text, "%s (extended tag %u)", name, extended);
    } else {
        std::snprintf(text, sizeof text, "extended data block, extended tag %u", extended);
    }
    loaded.leftOut.push_back(Describe(text, length));
}

// The data blocks of the loaded block 1, walked as the decoder walks them: what the build
// carries over, and a line for each block it does not.
Loaded WalkLoaded(const EdidImage& image) {
    Loaded loaded;
    if (image[kEdidExtensionCountOffset] == 0) {
        return loaded;
    }
    const std::size_t limit = std::min<std::size_t>(kBlock1 + image[130], image.size());
    bool seen[5] = {}; // by tag: audio 1, video 2, speaker allocation 4
    for (std::size_t c = kDataBlocks; c < limit; c += (image[c] & 0x1Fu) + 1) {
        const unsigned tag = image[c] >> 5;
        const std::size_t length = image[c] & 0x1Fu;
        if (tag == 1 || tag == 2 || tag == 4) {
            if (seen[tag]) {
                loaded.leftOut.push_back(Describe(tag == 1 ? "a further audio data block"
                                                  : tag == 2
                                                      ? "a further video data block"
                                                      : "a further speaker allocation data block",
                                                  length));
            }
            seen[tag] = true;
        } else if (tag == 3) {
            WalkVendor(image, c, length, loaded);
        } else if (tag == 7) {
            WalkExtended(image, c, length, loaded);
        } else {
            char text[96];
            std::snprintf(text, sizeof text, "data block with tag %u", tag);
            loaded.leftOut.push_back(Describe(text, length));
        }
    }
    return loaded;
}

// The HDMI vendor-specific data block's payload up to its latency fields: the source
// address, the deep-colour byte, the TMDS clock and what the loaded block had up to there.
Bytes HdmiHead(const EdidImage& image, const std::optional<Span>& loaded, const EdidRecord& r,
               std::uint8_t depth) {
    const std::uint8_t tmds = (r.format & (kFormatHdmiVic4k | kFormatUhdVic)) != 0 ? 0x3C
                              : depth != 0                                         ? 0x2D
                                                                                   : 0x21;
    Bytes p = {0x03, 0x0C, 0x00, r.cecAddress[0], r.cecAddress[1]};
    if (loaded) {
        const std::size_t c = loaded->at;
        const std::size_t length = loaded->length;
        p.push_back(
            static_cast<std::uint8_t>((length >= 6 ? At(image, c + 6) & 0x80 : 0x80) | depth));
        p.push_back(tmds);
        if (length > 7) {
            const std::uint8_t flags = At(image, c + 8);
            p.push_back(flags);
            auto copy = [&](std::size_t from, std::size_t to) {
                for (std::size_t k = from; k <= to; ++k) {
                    p.push_back(At(image, c + k));
                }
            };
            if (flags & 0x40) {
                copy(9, length > 12 ? 13 : 12);
            } else if (flags & 0x80) {
                copy(9, length > 10 ? 11 : 10);
            } else if ((flags & 0x20) && length > 8) {
                copy(9, 9);
            }
        }
    } else {
        p.push_back(depth);
        p.push_back(tmds);
    }
    return p;
}

// The HDMI VIC and 3D lengths byte, the HDMI VICs and `length3d` bytes of 3D information.
void AppendHdmiVics(Bytes& p, const EdidRecord& r, std::size_t vics, std::size_t length3d) {
    p.push_back(static_cast<std::uint8_t>(vics * 32 + length3d));
    for (std::uint8_t v : r.hdmiVic) {
        if (v != 0) {
            p.push_back(v);
        }
    }
    p.insert(p.end(), r.info3d.begin() + 2, r.info3d.begin() + 2 + static_cast<long>(length3d));
}

// The HDMI VICs and the 3D part of the payload, from the record.
void HdmiVideo(Bytes& p, const EdidRecord& r) {
    std::size_t vics = 0;
    for (std::uint8_t v : r.hdmiVic) {
        vics += v != 0;
    }
    const bool threeD = (r.format & kFormat3dPresent) != 0;
    const std::size_t length3d = std::min<std::size_t>(r.info3d[0], k3dInfoSize - 2);
    // Payload byte n is p[n - 1]; byte 8 holds the latency and HDMI video flags, and the byte
    // with 3D_present follows the latency fields.
    auto has8 = [&] { return p.size() >= 8; };
    auto threeDIndex = [&] { return (p[7] & 0x40) ? 13u : (p[7] & 0x80) ? 11u : 9u; };
    auto setThreeD = [&](std::uint8_t value, bool keepOthers) {
        const std::size_t index = threeDIndex();
        if (p.size() < index) {
            p.resize(index, 0);
            p[index - 1] = value;
        } else {
            p[index - 1] = keepOthers ? static_cast<std::uint8_t>(p[index - 1] | value) : value;
        }
    };
    if (vics > 0) {
        p[6] = std::max<std::uint8_t>(p[6], 0x3C);
        if (!has8()) {
            p.push_back(0x20);
        } else {
            p[7] |= 0x20;
        }
    }
    if (threeD) {
        if (vics == 0 && !has8()) {
            p.push_back(0x20);
            p.push_back(0x80);
        } else if (vics == 0) {
            p[7] |= 0x20;
        }
        if (r.info3d[0] != 0) {
            setThreeD(r.info3d[1], false);
        } else {
            setThreeD(0x80, true);
        }
    } else if (vics > 0) {
        const std::size_t index = threeDIndex();
        if (p.size() < index) {
            setThreeD(0, false);
        } else {
            p[index - 1] &= 0x1F;
        }
    } else if (has8() && p[7] < 0x40) {
        if (p[7] & 0x0F) {
            p.resize(8);
            p[7] &= static_cast<std::uint8_t>(~0x20);
        } else {
            p.resize(7);
        }
    }
    if (vics > 0 || threeD) {
        AppendHdmiVics(p, r, vics, threeD ? length3d : 0);
    }
}

// The HDMI vendor-specific data block's payload (the bytes after its tag byte).
Bytes HdmiPayload(const EdidImage& image, const std::optional<Span>& loaded, const EdidRecord& r,
                  std::uint8_t depth) {
    Bytes p = HdmiHead(image, loaded, r, depth);
    HdmiVideo(p, r);
    return p;
}

void Append(Bytes& out, std::uint8_t header, const Bytes& payload) {
    out.push_back(header);
    out.insert(out.end(), payload.begin(), payload.end());
}

// The VICs of the video data block and of the 4:2:0 list; notes in the record's format
// whether any is an HDMI 4K or a UHD VIC.
void CollectVics(EdidRecord& r, Bytes& vics, Bytes& yuvVics) {
    for (std::uint8_t v : r.svd) {
        if (v == 0) {
            continue;
        }
        vics.push_back(v);
        if (v >= 93 && v <= 95) {
            r.format |= kFormatHdmiVic4k;
        } else if (v >= 96 && v <= 107) {
            r.format |= kFormatUhdVic;
        }
    }
    for (std::uint8_t v : r.yuv420Video) {
        if (v == 0) {
            continue;
        }
        yuvVics.push_back(v);
        if (v >= 96 && v <= 107) {
            r.format |= kFormatHdmiVic4k;
        }
    }
}

// The HDMI Forum block's payload: the loaded one with the 4:2:0 deep colour byte, or one made
// for 4K VICs (which also switches HDR on where the controls left it off); none otherwise.
Bytes ForumPayload(EdidRecord& r, const Loaded& loaded) {
    std::uint8_t& eotf = r.hdrMetadata[0];
    std::uint8_t& descriptor = r.hdrMetadata[1];
    const std::uint8_t deep = r.yuv420DeepColor;
    const EdidImage& image = r.image;
    Bytes forum;
    if (loaded.forum) {
        for (std::size_t k = 1; k <= loaded.forum->length; ++k) {
            forum.push_back(At(image, loaded.forum->at + k));
        }
        if (forum.size() > 5) {
            forum.resize(std::max<std::size_t>(forum.size(), 7), 0);
            forum[6] = deep;
        }
    } else if ((r.format & kFormatUhdVic) != 0) {
        forum = {0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, deep};
        if (eotf == 0 && deep != 0) {
            eotf = 0x03;
            descriptor = 0x01;
        }
    } else if ((r.format & kFormatHdmiVic4k) != 0) {
        forum = {0xD8, 0x5D, 0xC4, 0x01, 0x3C, 0x80, deep};
        if (eotf == 0) {
            eotf = 0x03;
            descriptor = 0x01;
        }
    }
    return forum;
}

// The HDR static metadata block's payload, or nothing when no EOTF is set.
Bytes HdrPayload(const EdidRecord& r) {
    const std::uint8_t eotf = r.hdrMetadata[0];
    if (eotf == 0) {
        return {};
    }
    Bytes hdr = {0x06, eotf, r.hdrMetadata[1]};
    const std::uint8_t max = r.hdrMetadata[2];
    const std::uint8_t average = r.hdrMetadata[3];
    const std::uint8_t min = r.hdrMetadata[4];
    if (min != 0) {
        hdr.insert(hdr.end(), {max, average, min});
    } else if (average != 0) {
        hdr.insert(hdr.end(), {max, average});
    } else if (max != 0) {
        hdr.push_back(max);
    }
    return hdr;
}

// Block 1's header and data blocks, in their order.
Bytes DataBlocks(EdidRecord& r, const Loaded& loaded, std::uint8_t depth) {
    Bytes vics;
    Bytes yuvVics;
    CollectVics(r, vics, yuvVics);
    Bytes audio;
    for (const auto& sad : r.sad) {
        if (sad[0] != 0) {
            audio.insert(audio.end(), sad.begin(), sad.end());
        }
    }
    Bytes out = {0x02, 0x03, 0x00, r.extensionFlags};
    if (!vics.empty()) {
        Append(out, static_cast<std::uint8_t>(0x40 | vics.size()), vics);
    }
    if (!audio.empty()) {
        Append(out, static_cast<std::uint8_t>(0x20 | audio.size()), audio);
    }
    if (r.speakerAllocation != 0) {
        Append(out, 0x83,
               {static_cast<std::uint8_t>(r.speakerAllocation >> 16),
                static_cast<std::uint8_t>(r.speakerAllocation >> 8),
                static_cast<std::uint8_t>(r.speakerAllocation)});
    }
    const Bytes hdmi = HdmiPayload(r.image, loaded.hdmi, r, depth);
    Append(out, static_cast<std::uint8_t>(0x60 | hdmi.size()), hdmi);
    const Bytes forum = ForumPayload(r, loaded);
    if (!forum.empty()) {
        Append(out, static_cast<std::uint8_t>(0x60 | forum.size()), forum);
    }
    if (r.colorimetry[0] != 0) {
        Append(out, 0xE3,
               {0x05, r.colorimetry[0],
                static_cast<std::uint8_t>(
                    loaded.colorimetryMetadata ? *loaded.colorimetryMetadata | 0x01 : 0x01)});
    }
    if (loaded.videoCapability != 0) {
        Append(out, 0xE2, {0x00, loaded.videoCapability});
    }
    const Bytes hdr = HdrPayload(r);
    if (!hdr.empty()) {
        Append(out, static_cast<std::uint8_t>(0xE0 | hdr.size()), hdr);
    }
    if (!yuvVics.empty()) {
        Bytes payload = {0x0E};
        payload.insert(payload.end(), yuvVics.begin(), yuvVics.end());
        Append(out, static_cast<std::uint8_t>(0xE0 | payload.size()), payload);
    }
    return out;
}

// The DTD offset, the detailed timings that fit after the data blocks (the first one the
// preset chosen since the load, if any) and zeros up to offset 254.
void PlaceTimings(Bytes& out, const EdidRecord& r, const BuildControls& c) {
    const std::size_t d = out.size();
    out[2] = static_cast<std::uint8_t>(d);
    for (std::size_t i = 0; i < 3; ++i) {
        if (126 - static_cast<int>(d) - 18 * static_cast<int>(i) > 18) {
            const DetailedTiming& timing =
                i == 0 && c.block1Timing ? *c.block1Timing : r.extensionTimings[i];
            out.insert(out.end(), timing.begin(), timing.end());
        }
    }
    out.resize(kRoom + 1, 0); // zero up to and with offset 254
}

} // namespace

BuildResult BuildEdid(EdidRecord& r, const std::array<std::uint8_t, 128>& block0,
                      const BuildControls& c) {
    BuildResult result;
    Gather(r, c);
    const std::uint8_t depth = DepthByte(c);

    EdidImage& image = r.image;
    std::copy(block0.begin(), block0.end(), image.begin());
    if ((r.format & kFormatNoExtension) != 0) {
        // No extension: block 1 is empty and block 0 says so.
        std::fill(image.begin() + kBlock1, image.end(), std::uint8_t{0});
        image[kEdidExtensionCountOffset] = 0;
        image[kEdidChecksum0Offset] = BlockChecksum(image, 0);
        result.ok = true;
        result.image = image;
        return result;
    }
    r.format &= kFormat3dPresent;
    Loaded loaded = WalkLoaded(image);
    result.leftOut = std::move(loaded.leftOut);
    Bytes out = DataBlocks(r, loaded, depth);
    if (out.size() > kRoom) {
        result.error = "the data blocks do not fit in block 1";
        return result;
    }
    PlaceTimings(out, r, c);
    std::copy(out.begin(), out.end(), image.begin() + kBlock1);
    image[kEdidChecksum1Offset] = BlockChecksum(image, 1);
    result.ok = true;
    result.image = image;
    return result;
}

} // namespace lvx
