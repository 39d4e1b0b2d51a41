#include "edid/EdidDecoder.h"

#include "edid/CtaCodes.h"
#include "edid/EdidValidation.h"
#include "edid/TimingPresets.h"

#include <algorithm>
#include <optional>

namespace lvx {

namespace {

constexpr std::array<VicName, kVicNameRows> kVicNames{{
    {102, "2160p@60Hz"}, {97, "2160p@60Hz"}, {101, "2160p@50Hz"}, {96, "2160p@50Hz"},
    {100, "2160p@30Hz"}, {95, "2160p@30Hz"}, {99, "2160p@25Hz"},  {94, "2160p@25Hz"},
    {98, "2160p@24Hz"},  {93, "2160p@24Hz"}, {16, "1080p@60Hz"},  {31, "1080p@50Hz"},
    {34, "1080p@30Hz"},  {33, "1080p@25Hz"}, {32, "1080p@24Hz"},  {5, "1080i@60Hz"},
    {20, "1080i@50Hz"},  {4, "720p@60Hz"},   {19, "720p@50Hz"},   {18, "576p@50Hz"},
    {17, "576p@50Hz"},   {22, "576i@50Hz"},  {21, "576i@50Hz"},   {3, "480p@60Hz"},
    {2, "480p@60Hz"},    {1, "480p@60Hz"},   {0, "Reserved"},
}};

// Every read of a data block's contents goes through these two helpers. A length field or an
// offset can point past the image; bytes past offset 255 do not exist, so a test on such a
// byte fails and a copy stops at the image's end, leaving the rest of its target untouched.
std::optional<std::uint8_t> ByteAt(const EdidImage& image, std::size_t position) {
    if (position >= image.size()) {
        return std::nullopt;
    }
    return image[position];
}

template <typename Out>
void CopyBytes(const EdidImage& image, std::size_t from, std::size_t count, Out* out) {
    for (std::size_t i = 0; i < count && from + i < image.size(); ++i) {
        out[i] = static_cast<Out>(image[from + i]);
    }
}

// A descriptor tag byte anywhere in block 0 with three zero bytes before it and a zero byte
// after it; the scan does not stick to the four descriptor slots. It starts at 3 so that the
// three bytes before the tag exist; no position below 8 can match in a valid image anyway,
// since those are header bytes.
std::optional<std::size_t> FindDescriptorTag(const EdidImage& image, std::uint8_t tag) {
    for (std::size_t p = 3; p < kEdidBlockSize; ++p) {
        if (image[p] == tag && image[p - 1] == 0 && image[p - 2] == 0 && image[p - 3] == 0 &&
            image[p + 1] == 0) {
            return p;
        }
    }
    return std::nullopt;
}

bool SkippedVic(std::uint8_t v) {
    return v == 0 || v == 128 || v == 254 || v == 255;
}

bool MatchesVic(std::uint8_t v, std::uint8_t vic) {
    return SvdVic(v) == vic;
}

std::size_t BlockLength(const EdidImage& image, std::size_t c) {
    return image[c] & 0x1Fu;
}

void DecodeIdentification(EdidRecord& r, const EdidImage& image) {
    const std::uint8_t b8 = image[8];
    const std::uint8_t b9 = image[9];
    r.manufacturer[0] = static_cast<char>((b8 >> 2) | 0x40);
    r.manufacturer[1] =
        static_cast<char>((static_cast<std::uint8_t>(b8 << 3) & 0x1F) | (b9 >> 5) | 0x40);
    r.manufacturer[2] = static_cast<char>((b9 & 0x1F) | 0x40);
    r.manufacturer[3] = '\0';
    r.productCode = static_cast<std::uint16_t>(image[10] | (image[11] << 8));
    r.serialNumber = static_cast<std::uint32_t>(image[12]) |
                     (static_cast<std::uint32_t>(image[13]) << 8) |
                     (static_cast<std::uint32_t>(image[14]) << 16) |
                     (static_cast<std::uint32_t>(image[15]) << 24);
    r.week = image[16];
    r.year = image[17];
}

void DecodeMonitorName(EdidRecord& r, const EdidImage& image) {
    const std::optional<std::size_t> p = FindDescriptorTag(image, 0xFC);
    if (!p) {
        return;
    }
    const std::size_t first = *p + 2;
    r.monitorNameOffset = static_cast<std::uint8_t>(first);
    r.monitorName.fill('\0');
    for (std::size_t i = 0; i < 13; ++i) {
        const std::uint8_t c = image[first + i];
        if (c == 0x0A) {
            break;
        }
        r.monitorName[i] = static_cast<char>(c);
    }
}

void DecodeTimingBits(EdidRecord& r, const EdidImage& image) {
    r.establishedTimings = (static_cast<std::uint32_t>(image[35]) << 16) |
                           (static_cast<std::uint32_t>(image[36]) << 8) | image[37];
    for (std::size_t i = 0; i < r.standardTimings.size(); ++i) {
        r.standardTimings[i] =
            static_cast<std::uint16_t>((image[38 + 2 * i] << 8) | image[39 + 2 * i]);
    }
}

void DecodePreferredTiming(EdidRecord& r, const EdidImage& image) {
    if ((image[24] & 0x02) == 0) {
        return;
    }
    DetailedTiming timing{};
    std::copy_n(image.begin() + 54, timing.size(), timing.begin());
    std::copy(timing.begin(), timing.end(), r.baseTimings.begin());
    std::copy_n(timing.begin() + 12, 3, r.timingExtra.begin());
    r.horizontalBorder[0] = timing[15];
    r.verticalBorder[0] = timing[16];
    r.basePresetIndex = RecognizeTimingPreset(timing);
}

void DecodeRangeLimits(EdidRecord& r, const EdidImage& image) {
    const std::optional<std::size_t> p = FindDescriptorTag(image, 0xFD);
    if (!p) {
        return;
    }
    r.rangeLimitOffset = static_cast<std::uint8_t>(*p + 6);
    r.rangeLimitClock = image[*p + 6];
}

// The HDMI VSDB. Some of its rules read bytes beyond the block's own length (the HDMI video
// byte can sit at offset 13 of a block of length 9, and the 3D data follow HDMI_3D_LEN alone);
// such reads take whatever follows in the image, up to its end.
void DecodeHdmiVsdb(EdidRecord& r, const EdidImage& image, std::size_t c, std::size_t len) {
    r.format = static_cast<std::uint16_t>((r.format & ~kFormatExtensionWithoutHdmi) | kFormatHdmi);
    if (len >= 5) {
        CopyBytes(image, c + 4, 2, r.cecAddress.data());
    }
    if (len >= 6) {
        if (const auto caps = ByteAt(image, c + 6)) {
            r.hdmiCapability = *caps;
            if (*caps & 0x40) {
                r.maxColorDepth = 16;
            } else if (*caps & 0x20) {
                r.maxColorDepth = 12;
            } else if (*caps & 0x10) {
                r.maxColorDepth = 10;
            }
        }
    }
    if (len < 9) {
        return;
    }
    const auto flags = ByteAt(image, c + 8);
    if (!flags || (*flags & 0x20) == 0) {
        return;
    }
    // P: the byte with 3D_present; Q: HDMI_VIC_LEN and HDMI_3D_LEN; R: the first HDMI VIC.
    const std::size_t p = (*flags & 0x40) ? 13 : (*flags & 0x80) ? 11 : 9;
    const std::size_t q = p + 1;
    const std::size_t rr = p + 2;
    const auto videoByte = ByteAt(image, c + p);
    const auto lengths = ByteAt(image, c + q);
    const std::size_t vicLength = lengths ? (*lengths >> 5) : 0;
    if (videoByte && (*videoByte & 0x80)) {
        r.format |= kFormat3dPresent;
        if (lengths) {
            const std::size_t length3d = *lengths & 0x1F;
            r.info3d[0] = static_cast<std::uint8_t>(length3d);
            CopyBytes(image, c + q + 1 + vicLength, std::min<std::size_t>(length3d, 14),
                      r.info3d.data() + 2);
        }
        r.info3d[1] = *videoByte;
    }
    if (len >= rr && lengths && *lengths > 31) {
        const auto firstVic = ByteAt(image, c + rr);
        if (firstVic && *firstVic >= 1 && *firstVic <= 4) {
            r.format |= kFormatHdmiVic4k;
        }
        CopyBytes(image, c + rr, std::min(vicLength, kHdmiVicCapacity), r.hdmiVic.data());
    }
}

void DecodeHfVsdb(EdidRecord& r, const EdidImage& image, std::size_t c, std::size_t len) {
    if (len >= 5) {
        const auto rate = ByteAt(image, c + 5);
        if (rate && *rate >= 120) {
            r.support600MHz = 1;
        }
    }
    if (len >= 6) {
        const auto b6 = ByteAt(image, c + 6);
        if (b6 && (*b6 & 0x80)) {
            r.scdc = 1;
        }
    }
    if (len >= 7) {
        if (const auto b7 = ByteAt(image, c + 7)) {
            r.yuv420DeepColor = *b7 & 0x07;
        }
    }
}

bool HasOui(const EdidImage& image, std::size_t c, std::uint32_t oui) {
    const auto a = ByteAt(image, c + 1);
    const auto b = ByteAt(image, c + 2);
    const auto d = ByteAt(image, c + 3);
    return a && b && d && OuiOf(*a, *b, *d) == oui;
}

void DecodeVendorBlocks(EdidRecord& r, const EdidImage& image) {
    std::size_t pos = kFirstDataBlock;
    while (FindDataBlock(image, kTagVendor, pos)) {
        const std::size_t c = pos;
        const std::size_t len = BlockLength(image, c);
        if (HasOui(image, c, kOuiHdmi)) {
            DecodeHdmiVsdb(r, image, c, len);
        } else if (HasOui(image, c, kOuiHdmiForum)) {
            DecodeHfVsdb(r, image, c, len);
        }
        pos = c + len + 1;
    }
}

void DecodeVideoBlocks(EdidRecord& r, const EdidImage& image) {
    std::size_t pos = kFirstDataBlock;
    while (FindDataBlock(image, kTagVideo, pos)) {
        const std::size_t c = pos;
        const std::size_t len = BlockLength(image, c);
        r.videoBlockOffset = static_cast<std::uint8_t>(c);
        r.videoBlockLength = static_cast<std::uint8_t>(len);
        // The block's bytes c+1 .. c+len, cut at the image's end.
        const std::size_t count = std::min(len, image.size() - 1 - c);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t v = image[c + 1 + i];
            if (SkippedVic(v)) {
                continue;
            }
            if (i < kSvdCapacity) {
                r.svd[i] = SvdVic(v);
            }
            if (v >= 93 && v <= 107) {
                r.format |= kFormatUhdVic;
            }
        }
        bool named = false;
        for (std::size_t row = 0; row < kVicNames.size() && kVicNames[row].vic != 0 && !named;
             ++row) {
            for (std::size_t i = 0; i < count; ++i) {
                const std::uint8_t v = image[c + 1 + i];
                if (!SkippedVic(v) && MatchesVic(v, kVicNames[row].vic)) {
                    SetFieldText(r.maxResolutionName, kVicNames[row].name);
                    named = true;
                    break;
                }
            }
        }
        pos = c + len + 1;
    }
}

void DecodeExtendedBlocks(EdidRecord& r, const EdidImage& image) {
    std::size_t pos = kFirstDataBlock;
    while (FindDataBlock(image, kTagExtended, pos)) {
        const std::size_t c = pos;
        const std::size_t len = BlockLength(image, c);
        pos = c + len + 1;
        const auto extendedTag = ByteAt(image, c + 1);
        if (!extendedTag) {
            continue;
        }
        // Payload bytes after the extended tag; none when the length field is 0.
        const std::size_t payload = len >= 1 ? len - 1 : 0;
        switch (*extendedTag) {
        case 0: // video capability
            if (len == 2) {
                CopyBytes(image, c + 2, 1, &r.videoCapability);
            }
            break;
        case 5: // colorimetry
            if (len == 3) {
                CopyBytes(image, c + 2, 2, r.colorimetry.data());
            }
            break;
        case 6: // HDR static metadata
            CopyBytes(image, c + 2, std::min(payload, kHdrMetadataCapacity), r.hdrMetadata.data());
            if (r.yuv420DeepColor != 0) {
                r.hdrDepthCode = r.yuv420DeepColor;
            } else if (r.scdc == 1) {
                if (r.maxColorDepth == 12) {
                    r.hdrDepthCode |= 0x03;
                } else if (r.maxColorDepth == 10) {
                    r.hdrDepthCode |= 0x01;
                }
            } else {
                r.hdrDepthCode = 0x80;
            }
            break;
        case 14: { // YCbCr 4:2:0 video data block
            CopyBytes(image, c + 2, std::min(payload, kYuv420VideoCapacity), r.yuv420Video.data());
            const auto first = ByteAt(image, c + 2);
            if (payload >= 1 && first && *first != 0) {
                r.yuv420 = 1;
            }
            break;
        }
        case 15: // YCbCr 4:2:0 capability map
            r.yuv420 = 1;
            break;
        default:
            break;
        }
    }
}

void SetAudioFlag(EdidRecord& r, std::uint8_t first) {
    const unsigned code = (first >> 3) & 0x0F;
    const unsigned channelField = first & 0x07;
    switch (code) {
    case 1:
        r.audioFlags |= channelField <= 1 ? kAudio2Pcm : kAudioMultiPcm;
        break;
    case 2:
        r.audioFlags |= kAudioDolbyD;
        break;
    case 10:
        r.audioFlags |= kAudioDolbyDPlus;
        break;
    case 12:
        r.audioFlags |= kAudioDolbyHd;
        break;
    case 7:
        r.audioFlags |= kAudioDts;
        break;
    case 11:
        r.audioFlags |= kAudioDtsHd;
        break;
    case 6:
        r.audioFlags |= kAudioAac;
        break;
    case 9:
        r.audioFlags |= kAudioOneBit;
        break;
    default:
        break;
    }
    r.maxAudioChannels = std::max(r.maxAudioChannels, static_cast<std::uint8_t>(channelField + 1));
}

// Every SAD whose first byte lies within the block counts, so a block whose length is not a
// multiple of three has a last SAD whose later bytes are those that follow the block. A
// block of length 31 holds the first bytes of eleven SADs: the list keeps ten, and the
// eleventh still sets its flag and channel count.
void DecodeAudioBlocks(EdidRecord& r, const EdidImage& image) {
    std::size_t pos = kFirstDataBlock;
    while (FindDataBlock(image, kTagAudio, pos)) {
        const std::size_t c = pos;
        const std::size_t len = BlockLength(image, c);
        for (std::size_t k = 0; 1 + 3 * k <= len; ++k) {
            const auto first = ByteAt(image, c + 1 + 3 * k);
            if (!first) {
                break;
            }
            if (k < kSadCapacity) {
                CopyBytes(image, c + 1 + 3 * k, 3, r.sad[k].data());
            }
            SetAudioFlag(r, *first);
        }
        pos = c + len + 1;
    }
}

void DecodeSpeakerAllocation(EdidRecord& r, const EdidImage& image) {
    std::size_t pos = kFirstDataBlock;
    if (!FindDataBlock(image, kTagSpeaker, pos)) {
        return;
    }
    std::array<std::uint8_t, 3> payload{};
    CopyBytes(image, pos + 1, payload.size(), payload.data());
    r.speakerAllocation = (static_cast<std::uint32_t>(payload[0]) << 16) |
                          (static_cast<std::uint32_t>(payload[1]) << 8) | payload[2];
}

// Up to three 18-byte timings from 128 + byte 130; the size test keeps every copy within
// bytes 128-253.
void DecodeExtensionTimings(EdidRecord& r, const EdidImage& image) {
    const int d = image[130];
    for (int k = 0; k < 3; ++k) {
        if (126 - d - 18 * k > 17) {
            const std::size_t from = static_cast<std::size_t>(128 + d + 18 * k);
            std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(from), kDetailedTimingSize,
                        r.extensionTimings[static_cast<std::size_t>(k)].begin());
        }
    }
    const DetailedTiming& first = r.extensionTimings[0];
    if (first[0] == 0) {
        return;
    }
    std::copy_n(first.begin() + 12, 3, r.timingExtra.begin() + 3);
    r.horizontalBorder[1] = first[15];
    r.verticalBorder[1] = first[16];
    r.extensionPresetIndex = RecognizeTimingPreset(first);
}

} // namespace

const std::array<VicName, kVicNameRows>& VicNameTable() {
    return kVicNames;
}

bool FindDataBlock(const EdidImage& image, std::uint8_t tag, std::size_t& position) {
    if (image[kEdidExtensionCountOffset] == 0) {
        return false;
    }
    const std::size_t limit = kEdidBlockSize + image[130];
    while (position < limit && position < image.size()) {
        if ((image[position] & 0xE0) == tag) {
            return true;
        }
        position += BlockLength(image, position) + 1;
    }
    return false;
}

void Decode(EdidRecord& record, const EdidImage& image) {
    // A fresh record: nothing of an earlier decode into the same record survives.
    const EdidImage source = image;
    const std::uint16_t status = record.status & kStatusKeptByDecode;
    record = EdidRecord();
    record.status = status;
    record.image = source;
    if (!Validate(record)) {
        return;
    }
    const EdidImage& img = record.image;
    DecodeIdentification(record, img);
    DecodeMonitorName(record, img);
    DecodeTimingBits(record, img);
    DecodePreferredTiming(record, img);
    DecodeRangeLimits(record, img);
    if (img[kEdidExtensionCountOffset] == 1) {
        record.format = kFormatExtensionWithoutHdmi;
        record.extensionFlags = img[131];
        DecodeVendorBlocks(record, img);
    } else {
        record.format = kFormatNoExtension;
    }
    DecodeVideoBlocks(record, img);
    DecodeExtendedBlocks(record, img);
    DecodeAudioBlocks(record, img);
    DecodeSpeakerAllocation(record, img);
    DecodeExtensionTimings(record, img);
}

} // namespace lvx
