#include "EdidTestImages.h"

#include "edid/EdidDecoder.h"
#include "edid/EdidValidation.h"
#include "edid/TimingPresets.h"

#include <gtest/gtest.h>

using namespace lvx;
using namespace lvx::test;

namespace {

EdidRecord Decoded(const EdidImage& image) {
    EdidRecord record;
    Decode(record, image);
    return record;
}

const Bytes k1080p{0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58,
                   0x2C, 0x45, 0x00, 0xA0, 0x5A, 0x01, 0x02, 0x03, 0x1E};

} // namespace

TEST(edidDecoder, FormatWordAndIdentification) {
    EXPECT_EQ(Decoded(Image(0)).format, kFormatNoExtension);
    EXPECT_EQ(Decoded(Cta({{0x41, 0x10}})).format, kFormatExtensionWithoutHdmi);
    EXPECT_EQ(Decoded(Cta({Hdmi({0x10, 0x00})})).format, kFormatHdmi);
    EXPECT_EQ(Decoded(Cta({{0x65, 0x03, 0x0C, 0x01, 0x10, 0x00}})).format,
              kFormatExtensionWithoutHdmi);
    // Without an extension, block 1's data blocks are not searched.
    EdidImage image = Cta({Hdmi({0x10, 0x00})});
    image[126] = 0;
    FixChecksums(image);
    EXPECT_EQ(Decoded(image).format, kFormatNoExtension);
    EXPECT_EQ(Decoded(image).cecAddress[0], 0);

    const EdidRecord r =
        Decoded(Image(0, {{8, {0x10, 0x42, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 23, 30}}}));
    EXPECT_EQ(FieldText(r.manufacturer), "DBB");
    EXPECT_EQ(r.productCode, 0x1234);
    EXPECT_EQ(r.serialNumber, 0x12345678u);
    EXPECT_EQ(r.week, 23);
    EXPECT_EQ(r.year, 30);
    EXPECT_EQ(FieldText(Decoded(Image(0)).manufacturer), "AAA");
}

TEST(edidDecoder, MonitorNameAnywhereInBlock0) {
    EdidRecord r = Decoded(Image(0, {{90, {0, 0, 0, 0xFC, 0, 'T', 'V', 0x0A, ' '}}}));
    EXPECT_EQ(FieldText(r.monitorName), "TV");
    EXPECT_EQ(r.monitorNameOffset, 95);
    // Off the descriptor slots, thirteen characters without a line feed come out whole.
    r = Decoded(Image(0, {{60,
                           {0, 0, 0, 0xFC, 0, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J', 'K',
                            'L', 'M', 'N'}}}));
    EXPECT_EQ(FieldText(r.monitorName), "ABCDEFGHIJKLM");
    EXPECT_EQ(r.monitorNameOffset, 65);
    r = Decoded(Image(0, {{90, {0, 1, 0, 0xFC, 0, 'X', 0x0A}}}));
    EXPECT_EQ(FieldText(r.monitorName), "UNDEFINE.");
    EXPECT_EQ(r.monitorNameOffset, 0);
    EXPECT_EQ(FieldText(Decoded(Image(0, {{108, {0, 0, 0, 0xFC, 0, 0x0A}}})).monitorName), "");
}

TEST(edidDecoder, BlockZeroTimingsAndRangeLimits) {
    const EdidRecord r =
        Decoded(Image(0, {{24, {0x02}},
                          {35, {0x21, 0x08, 0x80, 0x81, 0x80, 0xA9, 0x40}},
                          {54, k1080p},
                          {108, {0, 0, 0, 0xFD, 0, 0x31, 0x3D, 0x0F, 0x44, 0x11}}}));
    EXPECT_EQ(r.establishedTimings, 0x210880u);
    EXPECT_EQ(r.standardTimings[0], 0x8180);
    EXPECT_EQ(r.standardTimings[1], 0xA940);
    EXPECT_EQ(r.basePresetIndex, 4); // image size and borders take no part
    EXPECT_EQ(r.baseTimings[17], 0x1E);
    EXPECT_EQ(r.timingExtra[0], 0xA0);
    EXPECT_EQ(r.timingExtra[2], 0x01);
    EXPECT_EQ(r.horizontalBorder[0], 0x02);
    EXPECT_EQ(r.verticalBorder[0], 0x03);
    EXPECT_EQ(r.rangeLimitOffset, 117);
    EXPECT_EQ(r.rangeLimitClock, 0x11);
    // Without the preferred-timing bit the first timing is not taken.
    EXPECT_EQ(Decoded(Image(0, {{54, k1080p}})).baseTimings[0], 0);
}

TEST(edidDecoder, PresetRecognition) {
    ASSERT_EQ(TimingPresets().size(), 11u);
    for (std::size_t i = 0; i < TimingPresets().size(); ++i) {
        DetailedTiming t = TimingPresets()[i].bytes;
        for (std::size_t b = 12; b <= 16; ++b) {
            t[b] = 0x5A;
        }
        EXPECT_EQ(RecognizeTimingPreset(t), i);
        t[17] ^= 0x80;
        EXPECT_EQ(RecognizeTimingPreset(t), 0u);
    }
}

TEST(edidDecoder, VideoBlocksAndMaxResolution) {
    struct Case {
        std::vector<Bytes> blocks;
        const char* name;
        bool uhd;
    };
    const Case cases[] = {
        {{{0x42, 0x90, 0x04}}, "1080p@60Hz", false},
        {{{0x43, 0x04, 0x61, 0x10}}, "2160p@60Hz", true}, // the table's order decides
        {{{0x41, 102}}, "2160p@60Hz", true},
        {{{0x42, 6, 7}}, "UNDEFINE.", false},
        {{{0x42, 0xC1, 0x85}}, "1080i@60Hz", false},        // 193 keeps bit 7 and names nothing
        {{{0x41, 0x02}, {0x41, 0x13}}, "720p@50Hz", false}, // a later block replaces the name
        {{{0x41, 0x02}, {0x41, 0x07}}, "480p@60Hz", false}, // ...unless it names nothing
    };
    for (const Case& c : cases) {
        const EdidRecord r = Decoded(Cta(c.blocks));
        EXPECT_EQ(FieldText(r.maxResolutionName), c.name);
        EXPECT_EQ((r.format & kFormatUhdVic) != 0, c.uhd) << c.name;
    }
    // Native flags are removed, skipped bytes leave their slots empty, the last block's offset
    // and length are kept.
    const EdidRecord r =
        Decoded(Cta({{0x42, 0x90, 0x04}, {0x46, 0x00, 0x80, 0xFE, 0xFF, 0xC1, 0x85}}));
    EXPECT_EQ(r.svd[0], 0x10); // left from the first block
    EXPECT_EQ(r.svd[1], 0x04);
    EXPECT_EQ(r.svd[2], 0);
    EXPECT_EQ(r.svd[4], 0xC1);
    EXPECT_EQ(r.svd[5], 5);
    EXPECT_EQ(r.videoBlockOffset, 135);
    EXPECT_EQ(r.videoBlockLength, 6);
}

TEST(edidDecoder, HdmiVsdb) {
    struct Depth {
        std::uint8_t caps;
        int depth;
    };
    for (const Depth d : {Depth{0x30, 12}, Depth{0x70, 16}, Depth{0x10, 10}, Depth{0x80, 8}}) {
        EXPECT_EQ(Decoded(Cta({Hdmi({0x10, 0x00, d.caps})})).maxColorDepth, d.depth);
    }
    // Length 5: the CEC address, but the next block's byte is not taken for a capability.
    EdidRecord r = Decoded(Cta({Hdmi({0x12, 0x34}), {0x41, 0x70}}));
    EXPECT_EQ(r.cecAddress[0], 0x12);
    EXPECT_EQ(r.cecAddress[1], 0x34);
    EXPECT_EQ(r.hdmiCapability, 0);
    EXPECT_EQ(r.maxColorDepth, 8);

    // Byte 8 = 0x20: no latencies, 3D_present in byte 9, lengths in byte 10, VICs from 11.
    r = Decoded(Cta({Hdmi({0x10, 0x00, 0xB8, 0x3C, 0x20, 0x80, 0x42, 0x01, 0x03, 0xAA, 0xBB})}));
    EXPECT_EQ(r.format, kFormatHdmi | kFormat3dPresent | kFormatHdmiVic4k);
    EXPECT_EQ(r.hdmiVic[0], 1);
    EXPECT_EQ(r.hdmiVic[1], 3);
    EXPECT_EQ(r.hdmiVic[2], 0);
    EXPECT_EQ((std::vector<int>{r.info3d[0], r.info3d[1], r.info3d[2], r.info3d[3], r.info3d[4]}),
              (std::vector<int>{2, 0x80, 0xAA, 0xBB, 0}));
    // Latency fields move the video byte to 11 (0x80) or 13 (0x40).
    r = Decoded(Cta({Hdmi({0x10, 0x00, 0x00, 0x3C, 0xA0, 1, 2, 0x00, 0x20, 0x05})}));
    EXPECT_EQ(r.format, kFormatHdmi);
    EXPECT_EQ(r.hdmiVic[0], 5);
    r = Decoded(Cta({Hdmi({0x10, 0x00, 0x00, 0x3C, 0xE0, 1, 2, 3, 4, 0x80, 0x20, 0x04})}));
    EXPECT_EQ(r.format, kFormatHdmi | kFormat3dPresent | kFormatHdmiVic4k);
    // HDMI VICs only when the block reaches the first of them (here it ends one byte short).
    r = Decoded(Cta({Hdmi({0x10, 0x00, 0x00, 0x3C, 0x20, 0x00, 0x20}), {0x21, 0x09, 0x07, 0x07}}));
    EXPECT_EQ(r.hdmiVic[0], 0);
    // Without HDMI_Video_present nothing more is read; at most four HDMI VICs are kept.
    r = Decoded(Cta({Hdmi({0x10, 0x00, 0x00, 0x3C, 0x00, 0x80, 0x20, 0x01})}));
    EXPECT_EQ(r.format, kFormatHdmi);
    r = Decoded(Cta({Hdmi({0x10, 0x00, 0x00, 0x3C, 0x20, 0x00, 0xA0, 9, 8, 7, 6, 5})}));
    EXPECT_EQ(r.hdmiVic[3], 6);
}

TEST(edidDecoder, HfVsdbAndExtendedBlocks) {
    auto hf = [](std::uint8_t rate, std::uint8_t b6, std::uint8_t b7) {
        return Bytes{0x67, 0xD8, 0x5D, 0xC4, 0x01, rate, b6, b7};
    };
    EXPECT_EQ(Decoded(Cta({hf(119, 0, 0)})).support600MHz, 0);
    EdidRecord r = Decoded(Cta({hf(120, 0x80, 0x0F)}));
    EXPECT_EQ(r.support600MHz, 1);
    EXPECT_EQ(r.scdc, 1);
    EXPECT_EQ(r.yuv420DeepColor, 0x07);
    // Length 4: no rate or SCDC byte, whatever follows.
    r = Decoded(Cta({{0x64, 0xD8, 0x5D, 0xC4, 0x01}, {0x83, 0xFF, 0x00, 0x00}}));
    EXPECT_EQ(r.support600MHz + r.scdc, 0);

    // Video capability only at length 2, colorimetry only at length 3.
    r = Decoded(Cta({{0xE2, 0x00, 0x4B}, {0xE3, 0x05, 0xC1, 0x01}}));
    EXPECT_EQ(r.videoCapability, 0x4B);
    EXPECT_EQ(r.colorimetry[0], 0xC1);
    EXPECT_EQ(r.colorimetry[1], 0x01);
    r = Decoded(Cta({{0xE3, 0x00, 0x4B, 0x00}, {0xE4, 0x05, 0xC1, 0x01, 0x00}}));
    EXPECT_EQ(r.videoCapability + r.colorimetry[0], 0);

    // HDR metadata keeps six payload bytes; its depth code follows the vendor blocks.
    r = Decoded(Cta({{0xE9, 0x06, 0x07, 0x01, 1, 2, 3, 4, 5, 6}}));
    EXPECT_EQ(r.hdrMetadata[0], 0x07);
    EXPECT_EQ(r.hdrMetadata[5], 4);
    EXPECT_EQ(r.hdrDepthCode, 0x80);
    const Bytes hdr{0xE3, 0x06, 0x05, 0x01};
    const Bytes hfScdc{0x66, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80};
    EXPECT_EQ(Decoded(Cta({hf(0x78, 0x80, 0x03), hdr})).hdrDepthCode, 0x03);
    EXPECT_EQ(Decoded(Cta({Hdmi({0x10, 0x00, 0x20}), hfScdc, hdr})).hdrDepthCode, 0x03);
    EXPECT_EQ(Decoded(Cta({Hdmi({0x10, 0x00, 0x10}), hfScdc, hdr})).hdrDepthCode, 0x01);
    EXPECT_EQ(Decoded(Cta({Hdmi({0x10, 0x00, 0x40}), hfScdc, hdr})).hdrDepthCode, 0x00);

    // YCbCr 4:2:0: a video block whose first VIC is not 0, or a capability map.
    r = Decoded(Cta({{0xE3, 0x0E, 0x61, 0x60}}));
    EXPECT_EQ(r.yuv420, 1);
    EXPECT_EQ(r.yuv420Video[1], 0x60);
    EXPECT_EQ(Decoded(Cta({{0xE2, 0x0E, 0x00}})).yuv420, 0);
    EXPECT_EQ(Decoded(Cta({{0xE1, 0x0E}, {0x41, 0x10}})).yuv420, 0); // no payload byte
    EXPECT_EQ(Decoded(Cta({{0xE1, 0x0F}})).yuv420, 1);
}

TEST(edidDecoder, AudioAndSpeakerBlocks) {
    EdidRecord r = Decoded(Cta({{0x26, 0x09, 0x07, 0x07, 0x15, 0x07, 0x50}}));
    EXPECT_EQ(r.audioFlags, kAudio2Pcm | kAudioDolbyD);
    EXPECT_EQ(r.maxAudioChannels, 6);
    EXPECT_EQ(Decoded(Cta({{0x23, 0x0F, 0x7F, 0x07}})).audioFlags, kAudioMultiPcm);

    // Length 31 holds the first byte of an eleventh SAD: not kept, but counted (the only
    // AC-3 one here). Code 3 (0x1A) names nothing.
    r = Decoded(Cta({{0x3F, 0x52, 0, 0, 0x3E, 0, 0, 0x66, 0, 0, 0x31, 0, 0, 0x5F, 0, 0, 0x4A, 0,
                      0,    0x1A, 0, 0, 0x0F, 0, 0, 0x09, 0, 0, 0x0D, 0, 0, 0x11}}));
    EXPECT_EQ(r.audioFlags, 0x01FF);
    EXPECT_EQ(r.maxAudioChannels, 8);
    EXPECT_EQ(r.sad[9][0], 0x0D);

    // Length 4: a second SAD starts on the last byte and counts; its other bytes follow.
    r = Decoded(Cta({{0x24, 0x09, 0x07, 0x07, 0x15}, {0x83, 0x4F, 0x00, 0x00}}));
    EXPECT_EQ(r.audioFlags, kAudio2Pcm | kAudioDolbyD);
    EXPECT_EQ(r.sad[1][1], 0x83);

    // A later audio block overwrites from index 0; only the first speaker block counts.
    r = Decoded(Cta({{0x26, 0x09, 0x07, 0x07, 0x15, 0x07, 0x50},
                     {0x23, 0x3D, 0x07, 0xC0},
                     {0x83, 0x4F, 0x00, 0x01},
                     {0x83, 0x01, 0x00, 0x00}}));
    EXPECT_EQ(r.sad[0][0], 0x3D);
    EXPECT_EQ(r.sad[1][0], 0x15);
    EXPECT_EQ(r.audioFlags, kAudio2Pcm | kAudioDolbyD | kAudioDts);
    EXPECT_EQ(r.speakerAllocation, 0x4F0001u);
}

TEST(edidDecoder, ExtensionTimingsAndWalkLimit) {
    EdidImage image = Cta({}, 4);
    Put(image, 132,
        {0x01, 0x1D, 0x00, 0x72, 0x51, 0xD0, 0x1E, 0x20, 0x6E, 0x28, 0x55, 0x00, 0xC4, 0x8E, 0x21,
         0x07, 0x08, 0x1E, 0x8C});
    Put(image, 168, {0x01});
    FixChecksums(image);
    EdidRecord r = Decoded(image);
    EXPECT_EQ(r.extensionTimings[1][0], 0x8C);
    EXPECT_EQ(r.extensionTimings[2][0], 0x01);
    EXPECT_EQ(r.extensionPresetIndex, 9);
    EXPECT_EQ(r.timingExtra[3], 0xC4);
    EXPECT_EQ(r.timingExtra[5], 0x21);
    EXPECT_EQ(r.horizontalBorder[1], 0x07);
    EXPECT_EQ(r.verticalBorder[1], 0x08);

    // A timing is copied only when it ends before byte 254 (d + 18k at most 108).
    image = Cta({}, 90);
    Put(image, 218, {0x11});
    Put(image, 236, {0x22, 0x55});
    Put(image, 254, {0x44});
    FixChecksums(image);
    r = Decoded(image);
    EXPECT_EQ(r.extensionTimings[0][0], 0x11);
    EXPECT_EQ(r.extensionTimings[1][0], 0x22);
    EXPECT_EQ(r.extensionTimings[2][0], 0);
    image[130] = 109;
    FixChecksums(image);
    EXPECT_EQ(Decoded(image).extensionTimings[0][0], 0);

    // The block walk ends below 128 + d: a block at 138 is seen with d = 11, not with 10.
    for (int d : {10, 11}) {
        std::size_t pos = kFirstDataBlock;
        EXPECT_EQ(
            FindDataBlock(Cta({{0x41, 0x10}, {0x23, 9, 7, 7}, {0x61, 0x10}}, d), kTagVendor, pos),
            d == 11);
    }
}

TEST(edidDecoder, EveryDecodeStartsFresh) {
    const EdidImage first = Cta({Hdmi({0x10, 0x00, 0x30}),
                                 {0xE2, 0x00, 0x4B},
                                 {0xE3, 0x05, 0xC1, 0x01},
                                 {0x42, 0x90, 0x04}});
    EdidImage withTiming = first;
    Put(withTiming, 24, {0x02});
    Put(withTiming, 54, k1080p);
    FixChecksums(withTiming);

    EdidRecord record;
    record.status =
        kStatusFieldError | kStatusCreatorLoaded | kStatusBrandNew | kStatusContentPresent;
    Decode(record, withTiming);
    EXPECT_EQ(record.status, kStatusBrandNew | kStatusContentPresent);
    EXPECT_EQ(record.videoCapability, 0x4B);
    EXPECT_EQ(record.basePresetIndex, 4);

    // An invalid image: nothing of the decode before stays.
    EdidImage broken = withTiming;
    Put(broken, 8, {0x10, 0x42});
    Decode(record, broken);
    EXPECT_EQ(record.status, kStatusBrandNew | kStatusContentPresent | kStatusChecksum0Error);
    EXPECT_EQ(record.format, 0);
    EXPECT_EQ(record.image, broken);
    EXPECT_EQ(FieldText(record.maxResolutionName), "UNDEFINE.");
    EXPECT_EQ(record.maxColorDepth, 8);
    EXPECT_EQ(record.cecAddress[0] + record.svd[0] + record.colorimetry[0], 0);
    EXPECT_EQ(FieldText(record.manufacturer), "");
    EXPECT_EQ(record.videoCapability, 0);
    EXPECT_EQ(record.colorimetry[1], 0);
    EXPECT_EQ(record.videoBlockLength, 0);
    EXPECT_EQ(record.basePresetIndex, 0);
    // Nor does a valid image that lacks their sources show them.
    Decode(record, withTiming);
    Decode(record, Image(0));
    EXPECT_EQ(record.videoCapability, 0);
    EXPECT_EQ(record.basePresetIndex, 0);
    EXPECT_EQ(FieldText(record.manufacturer), "AAA");
    // Decoding the record's own image works in place.
    record.image = first;
    Decode(record, record.image);
    EXPECT_EQ(record.maxColorDepth, 12);
}

// Lengths and offsets that point past the image: bytes past 255 do not exist. Block 1 is
// padded with 4-byte blocks of an unused tag up to `end`, d = 0xFF, and its sum is fixed
// through byte 133 so that byte 255 can hold a chosen value.
TEST(edidDecoder, ReadsStopAtTheImageEnd) {
    auto tail = [](std::size_t end, const Bytes& bytes) {
        EdidImage image = Image(1, {{128, {0x02, 0x03, 0xFF}}});
        for (std::size_t pos = 132; pos < end; pos += 4) {
            image[pos] = 0x03;
        }
        Put(image, end, bytes);
        image[133] = static_cast<std::uint8_t>(0x100 - BlockSum(image, 1));
        image[127] = BlockChecksum(image, 0);
        return Decoded(image);
    };
    // A vendor block at 250 with length 31: the OUI and the CEC address fit, nothing more.
    EdidRecord r = tail(248, {0x01, 0x00, 0x7F, 0x03, 0x0C, 0x00, 0x21, 0x43});
    ASSERT_TRUE(isValid(r.status));
    EXPECT_EQ(r.format, kFormatHdmi);
    EXPECT_EQ(r.cecAddress[0], 0x21);
    EXPECT_EQ(r.cecAddress[1], 0x43);
    EXPECT_EQ(r.maxColorDepth, 8);
    // An OUI cut by the end is no OUI.
    EXPECT_EQ(tail(252, {0x00, 0x7F, 0x03, 0x0C}).format, kFormatExtensionWithoutHdmi);

    // HDMI_VIC_LEN 7 and HDMI_3D_LEN 31: the 3D data start at 254, two bytes exist.
    r = tail(236, {0x6F, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x00, 0x20, 0x80,
                   0xFF, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x99, 0x98});
    EXPECT_EQ(r.format, kFormatHdmi | kFormat3dPresent | kFormatHdmiVic4k);
    EXPECT_EQ(r.hdmiVic[3], 4);
    EXPECT_EQ((std::vector<int>{r.info3d[0], r.info3d[2], r.info3d[3], r.info3d[4]}),
              (std::vector<int>{31, 0x99, 0x98, 0}));

    // Audio, video, vendor, speaker and extended blocks whose header is the last byte.
    for (std::uint8_t header : {0x3F, 0x5F, 0x7F, 0x9F, 0xFF}) {
        r = tail(252, {0x02, 0x00, 0x00, header});
        ASSERT_TRUE(isValid(r.status));
        EXPECT_EQ(r.audioFlags + r.speakerAllocation + r.svd[0], 0u);
        EXPECT_EQ(r.videoBlockOffset, header == 0x5F ? 255 : 0);
    }
    // An audio block of length 1 at 254: its SAD has only its first byte.
    r = tail(252, {0x01, 0x00, 0x21, 0x09});
    EXPECT_EQ(r.audioFlags, kAudio2Pcm);
    EXPECT_EQ(r.sad[0][1], 0);
}
