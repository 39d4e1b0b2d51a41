// The parse of whole EDIDs: blocks and lengths, and each rule of the findings at its edge.
#include "EdidParseTestSupport.h"

#include "edid/VideoTiming.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace lvx;
using namespace lvx::test;

namespace {

// A CTA-861 extension that breaks no rule: VICs 16 and 1, a video capability block.
TestEdid WithCta(std::vector<Bytes> extra = {}, std::uint8_t flags = 0x00) {
    std::vector<Bytes> blocks{{0x42, 0x10, 0x01}, Vcdb()};
    blocks.insert(blocks.end(), extra.begin(), extra.end());
    TestEdid e;
    e.cta(blocks, flags);
    return e;
}

std::vector<std::string_view> Ids(const EdidParse& p) {
    std::vector<std::string_view> ids;
    for (const EdidFinding& f : p.findings) {
        ids.push_back(f.id);
    }
    return ids;
}

} // namespace

TEST(edidParse, ConformingEdidsHaveNoFindings) {
    EXPECT_TRUE(TestEdid().parse().findings.empty())
        << ::testing::PrintToString(Ids(TestEdid().parse()));
    const EdidParse p = WithCta().parse();
    EXPECT_TRUE(p.findings.empty()) << ::testing::PrintToString(Ids(p));
    EXPECT_EQ(p.blockCount, 2u);
    EXPECT_FALSE(p.hasFailure());
}

TEST(edidParse, AnyLengthGivesFindingsNotCrashes) {
    EXPECT_TRUE(Has(ParseEdid(nullptr, 0, kTestYear), "truncated-block"));
    TestEdid e;
    e.fix();
    const Bytes base = e.bytes;
    EXPECT_TRUE(Has(ParseEdid(base.data(), 127, kTestYear), "truncated-block"));
    Bytes longer = base;
    longer.push_back(0x55);
    const EdidParse p = ParseEdid(longer, kTestYear);
    ASSERT_EQ(Findings(p, "truncated-block").size(), 1u);
    EXPECT_EQ(Findings(p, "truncated-block")[0]->block, 1);
    EXPECT_EQ(p.blockCount, 1u);
}

TEST(edidParse, BlockCountAgainstBlocksPresent) {
    // Byte 126 announces 255 extensions, one follows.
    TestEdid e = WithCta();
    e.bytes[126] = 255;
    EdidParse p = e.parse();
    ASSERT_TRUE(Has(p, "extension-count-mismatch"));
    EXPECT_EQ(Findings(p, "extension-count-mismatch")[0]->offset, 126u);
    // A 64 KiB file: 512 blocks, of which an EDID can have 256.
    TestEdid big;
    big.bytes[126] = 255;
    big.bytes.resize(64 * 1024, 0);
    p = big.parse();
    EXPECT_EQ(p.blockCount, 256u);
    EXPECT_EQ(p.bytes.size(), 256u * 128u);
    EXPECT_TRUE(Has(p, "extension-count-mismatch"));
    EXPECT_EQ(Findings(p, "unknown-extension").size(), 255u); // tag 0x00
    // Exactly 256 blocks as announced: no count finding.
    big.bytes.resize(256 * 128);
    EXPECT_FALSE(Has(big.parse(), "extension-count-mismatch"));
}

TEST(edidParse, ChecksumsHeaderAndUnknownExtensions) {
    TestEdid e = WithCta();
    e.fix();
    e.bytes[255] ^= 0x01;
    EdidParse p = ParseEdid(e.bytes, kTestYear);
    ASSERT_EQ(Findings(p, "checksum").size(), 1u);
    EXPECT_EQ(Findings(p, "checksum")[0]->block, 1);
    EXPECT_EQ(Findings(p, "checksum")[0]->offset, 127u);
    e.bytes[255] ^= 0x01;
    e.bytes[1] = 0x00;
    EXPECT_TRUE(Has(ParseEdid(e.bytes, kTestYear), "header-invalid"));
    TestEdid unknown = WithCta();
    unknown.bytes[128] = 0x33;
    EXPECT_TRUE(Has(unknown.parse(), "unknown-extension"));
    unknown.bytes[128] = 0xF0; // a block map is a known kind
    EXPECT_FALSE(Has(unknown.parse(), "unknown-extension"));
}

TEST(edidParse, DateInterfaceAndStandardTimings) {
    TestEdid e;
    e.bytes[17] = static_cast<std::uint8_t>(kTestYear + 1 - 1990);
    EXPECT_FALSE(Has(e.parse(), "year-in-future"));
    e.bytes[17] += 1;
    EXPECT_TRUE(Has(e.parse(), "year-in-future"));

    TestEdid digital;
    digital.bytes[20] = 0xA5; // DisplayPort, the last defined interface
    EXPECT_FALSE(Has(digital.parse(), "digital-interface-reserved"));
    digital.bytes[20] = 0xA6;
    EXPECT_TRUE(Has(digital.parse(), "digital-interface-reserved"));
    digital.bytes[19] = 3; // EDID 1.3: only bit 0 is defined
    digital.bytes[20] = 0x81;
    EXPECT_FALSE(Has(digital.parse(), "digital-interface-reserved"));
    digital.bytes[20] = 0x82;
    EXPECT_TRUE(Has(digital.parse(), "digital-interface-reserved"));

    TestEdid standard;
    standard.put(38, {0x00, 0x00, 0x01, 0x20, 0xD1, 0xC0}); // unused twice, then 1920x1080
    const EdidParse p = standard.parse();
    ASSERT_EQ(Findings(p, "standard-timing-invalid-code").size(), 2u);
    EXPECT_EQ(Findings(p, "standard-timing-invalid-code")[1]->offset, 40u);
}

TEST(edidParse, SrgbIsItsExactCodes) {
    // sRGB: red 0.640/0.330, green 0.300/0.600, blue 0.150/0.060, white 0.3127/0.3290, each
    // times 1024 and rounded: 655 338 307 614 154 61 320 337.
    const Bytes srgb{0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54};
    TestEdid e;
    e.put(25, srgb);
    EXPECT_TRUE(Has(e.parse(), "srgb-chromaticity-mismatch")); // not declared
    e.bytes[24] |= 0x04;
    EXPECT_FALSE(Has(e.parse(), "srgb-chromaticity-mismatch"));
    e.bytes[33] = 0x51; // white x 321
    EXPECT_TRUE(Has(e.parse(), "srgb-chromaticity-mismatch"));
}

TEST(edidParse, ImageSizesAgainstTheDisplaySize) {
    // The display is 60 x 34 cm: an image up to 9 mm larger is rounding, or smaller in one
    // direction only (letterbox); 10 mm more, or 10 mm less both ways, is a mismatch.
    auto sized = [](int w, int h) {
        TestEdid e;
        e.put(54, Dtd1080p(w, h));
        return e.parse();
    };
    EXPECT_FALSE(Has(sized(609, 349), "dtd-size-mismatch"));
    EXPECT_FALSE(Has(sized(609, 349), "dtd-larger-than-display"));
    EXPECT_TRUE(Has(sized(610, 340), "dtd-size-mismatch"));
    EXPECT_TRUE(Has(sized(610, 340), "dtd-larger-than-display"));
    EXPECT_FALSE(Has(sized(591, 300), "dtd-size-mismatch"));
    EXPECT_TRUE(Has(sized(590, 330), "dtd-size-mismatch"));
    EXPECT_FALSE(Has(sized(590, 330), "dtd-larger-than-display"));
    EXPECT_TRUE(Has(sized(0, 0), "dtd-size-mismatch"));
    TestEdid unset;
    unset.put(21, {0, 0});
    EXPECT_TRUE(Has(unset.parse(), "dtd-larger-than-display"));
    EXPECT_FALSE(Has(unset.parse(), "dtd-size-mismatch"));
}

TEST(edidParse, RequiredDescriptorsByVersion) {
    TestEdid e;
    e.put(72, {0, 0, 0, 0x10, 0});
    e.bytes[19] = 3;
    EdidParse p = e.parse();
    EXPECT_TRUE(Has(p, "missing-product-name"));
    EXPECT_TRUE(Has(p, "missing-range-limits"));
    e.bytes[19] = 2;
    p = e.parse();
    EXPECT_FALSE(Has(p, "missing-product-name"));
    EXPECT_FALSE(Has(p, "missing-range-limits"));
    e.bytes[19] = 4;
    EXPECT_FALSE(Has(e.parse(), "missing-range-limits")); // non-continuous
    e.bytes[24] |= 0x01;
    EXPECT_TRUE(Has(e.parse(), "missing-range-limits"));
    // The preferred timing: a descriptor 1 that is no timing, or EDID 1.3 without the flag.
    TestEdid first;
    first.put(54, {0, 0, 0, 0x10});
    EXPECT_TRUE(Has(first.parse(), "missing-preferred-timing"));
    TestEdid flag;
    flag.bytes[19] = 3;
    flag.bytes[24] = 0x00;
    EXPECT_TRUE(Has(flag.parse(), "missing-preferred-timing"));
}

TEST(edidParse, DescriptorContents) {
    auto with = [](std::size_t at, const Bytes& d) { return TestEdid().put(at, d).parse(); };
    EXPECT_TRUE(Has(with(90, Bytes(18, 0)), "empty-descriptor-zeroes"));
    EXPECT_TRUE(Has(with(90, {0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}),
                    "dummy-descriptor-garbage"));
    EXPECT_TRUE(
        Has(with(90, {0, 0, 0, 0xFF, 0, 'A', 'B', ' ', 0x0A}), "text-empty-or-trailing-space"));
    EXPECT_TRUE(Has(with(90, {0, 0, 0, 0xFF, 0, 0x0A}), "text-empty-or-trailing-space"));
    EXPECT_TRUE(Has(with(90, {0, 0, 0, 0xFE, 0, 'A', 0x01, 'B', 0x0A}), "text-non-printable"));
    EXPECT_FALSE(Has(with(90, {0, 0, 0, 0xFE, 0, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J',
                               'K', 'L', 'M'}),
                     "text-empty-or-trailing-space"));
    EXPECT_TRUE(Has(with(90, {0, 0, 0, 0x42}), "descriptor-unknown-type"));
    const EdidParse name = TestEdid().parse();
    ASSERT_TRUE(name.base.productName.has_value());
    EXPECT_EQ(*name.base.productName, "LINKVEX");
}

TEST(edidParse, RangeLimitFeaturesAndGtf) {
    const Bytes limits{0,  0,    0,    0xFD, 0,   50,  75,  30,  70,
                       16, 0x01, 0x0A, ' ',  ' ', ' ', ' ', ' ', ' '};
    TestEdid e;
    e.put(90, limits);
    e.bytes[24] |= 0x01;
    EXPECT_FALSE(Has(e.parse(), "range-limits-feature-needs-1-4"));
    e.bytes[19] = 3; // bare limits are new in 1.4
    EXPECT_TRUE(Has(e.parse(), "range-limits-feature-needs-1-4"));
    e.bytes[19] = 4;
    e.bytes[100] = 0x00; // default GTF
    EXPECT_FALSE(Has(e.parse(), "range-limits-gtf-noncontinuous"));
    e.bytes[24] &= 0xFE;
    EXPECT_TRUE(Has(e.parse(), "range-limits-gtf-noncontinuous"));
}

TEST(edidParse, TimingsAgainstRangeLimits) {
    // Listed: 640x480 at 59.94 Hz (31.469 kHz) and 1920x1080 at 60 Hz (67.5 kHz, 148.5 MHz).
    auto limited = [](std::uint8_t minH, std::uint8_t maxH, int revision) {
        TestEdid e;
        e.bytes[19] = static_cast<std::uint8_t>(revision);
        e.put(90,
              {0, 0, 0, 0xFD, 0, 50, 75, minH, maxH, 16, 0x00, 0x0A, ' ', ' ', ' ', ' ', ' ', ' '});
        return e.parse();
    };
    EXPECT_FALSE(Has(limited(31, 68, 3), "timing-outside-range-limits"));
    // 31.469 kHz rounds to 31, below 32: outside, but within a rounding step.
    // The severity of the one finding of the limits given.
    auto severity = [&](std::uint8_t minH, int revision) {
        const EdidParse p = limited(minH, 68, revision);
        const auto f = Findings(p, "timing-outside-range-limits");
        EXPECT_EQ(f.size(), 1u);
        return f.empty() ? FindingSeverity::Failure : f[0]->severity;
    };
    // 31.469 kHz rounds to 31, below 32: outside, but within a rounding step.
    EXPECT_EQ(severity(32, 3), FindingSeverity::Warning);
    EXPECT_EQ(severity(33, 3), FindingSeverity::Failure);
    EXPECT_EQ(severity(33, 4), FindingSeverity::Warning);
    EXPECT_TRUE(Has(limited(31, 66, 3), "timing-outside-range-limits"));
}

TEST(edidParse, RateLimitOf255AndFormatsOnlyIn420) {
    // VIC 118 (3840x2160 at 120 Hz) runs at 270 kHz.
    auto with118 = [](int revision, std::vector<Bytes> blocks) {
        TestEdid e;
        e.bytes[19] = static_cast<std::uint8_t>(revision);
        e.put(90,
              {0, 0, 0, 0xFD, 0, 50, 120, 30, 255, 150, 0x00, 0x0A, ' ', ' ', ' ', ' ', ' ', ' '});
        blocks.push_back(Vcdb());
        e.cta(blocks);
        return e.parse();
    };
    EXPECT_FALSE(Has(with118(3, {{0x43, 0x10, 0x01, 118}}), "timing-outside-range-limits"));
    EXPECT_TRUE(Has(with118(4, {{0x43, 0x10, 0x01, 118}}), "timing-outside-range-limits"));
    // Listed only for YCbCr 4:2:0, it is not held against the limits.
    EXPECT_FALSE(
        Has(with118(4, {{0x42, 0x10, 0x01}, {0xE2, 0x0E, 118}}), "timing-outside-range-limits"));
}

TEST(edidParse, VideoDataBlocks) {
    // 0x90: VIC 16 with the native flag; 0x00 is no VIC; 225 is outside the table.
    EdidParse p = WithCta({{0x44, 0x90, 0x00, 225, 0x10}}).parse();
    ASSERT_EQ(p.svds.size(), 6u);
    EXPECT_EQ(p.svds[2].vic, 16);
    EXPECT_TRUE(p.svds[2].native);
    EXPECT_EQ(Findings(p, "unknown-vic").size(), 1u);
    ASSERT_EQ(Findings(p, "duplicate-vic").size(), 2u); // 16 came first in the base list
    EXPECT_EQ(Findings(p, "duplicate-vic")[1]->position(), 128u + 14u);
    // VIC 193 carries no native flag.
    p = WithCta({{0x41, 193}}).parse();
    EXPECT_EQ(p.svds.back().vic, 193);
    EXPECT_FALSE(p.svds.back().native);
    // 640x480p60 from neither the established timings nor VIC 1.
    TestEdid none;
    none.bytes[35] = 0;
    none.cta({{0x41, 0x10}, Vcdb()});
    EXPECT_TRUE(Has(none.parse(), "missing-required-timing"));
    none.bytes[35] = 0x20;
    EXPECT_FALSE(Has(none.parse(), "missing-required-timing"));
}

TEST(edidParse, VideoCapabilityAndColorimetry) {
    TestEdid missing;
    missing.cta({{0x42, 0x10, 0x01}});
    EXPECT_TRUE(Has(missing.parse(), "cta-missing-vcdb"));
    TestEdid limited;
    limited.cta({{0x42, 0x10, 0x01}, Vcdb(0x00)});
    EXPECT_TRUE(Has(limited.parse(), "vcdb-rgb-not-selectable"));
    // IT always underscanned (S_IT 2) against the header's underscan bit.
    TestEdid scan;
    scan.cta({{0x42, 0x10, 0x01}, Vcdb(0x48)}, 0x00);
    EXPECT_TRUE(Has(scan.parse(), "vcdb-it-scan-mismatch"));
    TestEdid agree;
    agree.cta({{0x42, 0x10, 0x01}, Vcdb(0x48)}, 0x80);
    EXPECT_FALSE(Has(agree.parse(), "vcdb-it-scan-mismatch"));
    // Colorimetry: MD0-MD3 are reserved, bit 7 (DCI-P3) is not.
    EXPECT_TRUE(Has(WithCta({{0xE3, 0x05, 0xC0, 0x01}}).parse(), "colorimetry-reserved-bits"));
    EXPECT_FALSE(Has(WithCta({{0xE3, 0x05, 0xC0, 0x80}}).parse(), "colorimetry-reserved-bits"));
}

TEST(edidParse, AudioWithoutBasicAudio) {
    // L-PCM 2 ch and a speaker allocation: the header must declare basic audio (bit 6).
    const std::vector<Bytes> audio{{0x23, 0x09, 0x07, 0x07}, {0x83, 0x01, 0x00, 0x00}};
    EXPECT_TRUE(Has(WithCta(audio, 0x00).parse(), "cta-basic-audio-missing"));
    EXPECT_FALSE(Has(WithCta(audio, 0x40).parse(), "cta-basic-audio-missing"));
    EXPECT_FALSE(Has(WithCta({}, 0x00).parse(), "cta-basic-audio-missing"));
    const EdidParse p = WithCta({{0x26, 0x09, 0x07, 0x07, 0x00, 0x07, 0x00}}, 0x40).parse();
    ASSERT_EQ(Findings(p, "audio-format-reserved").size(), 1u);
    EXPECT_EQ(Findings(p, "audio-format-reserved")[0]->impact, FindingImpact::Audio);
}

TEST(edidParse, HdmiBlocks) {
    const Bytes hdmi340{0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 68};
    TestEdid e14 = WithCta({hdmi340});
    EdidParse p = e14.parse();
    EXPECT_TRUE(Has(p, "hdmi-needs-edid-1-3"));
    EXPECT_FALSE(Has(p, "hdmi-tmds-above-340"));
    ASSERT_TRUE(p.hdmi.has_value());
    EXPECT_EQ(p.hdmi->physicalAddress, 0x1000);
    EXPECT_EQ(p.hdmi->maxTmdsMHz, 340);
    Bytes hdmi345 = hdmi340;
    hdmi345[7] = 69;
    EXPECT_TRUE(Has(WithCta({hdmi345}).parse(), "hdmi-tmds-above-340"));
    // HDMI Forum: 0 or 345-600 MHz.
    auto forum = [](std::uint8_t rate) {
        return WithCta({{0x66, 0xD8, 0x5D, 0xC4, 0x01, rate, 0x80}}).parse();
    };
    EXPECT_TRUE(Has(forum(68), "hf-tmds-invalid"));
    EXPECT_FALSE(Has(forum(69), "hf-tmds-invalid"));
    EXPECT_FALSE(Has(forum(120), "hf-tmds-invalid"));
    EXPECT_TRUE(Has(forum(121), "hf-tmds-invalid"));
    EXPECT_FALSE(Has(forum(0), "hf-tmds-invalid"));
    p = forum(120);
    ASSERT_TRUE(p.hdmiForum.has_value());
    EXPECT_EQ(p.hdmiForum->maxTmdsMHz, 600);
    EXPECT_TRUE(p.hdmiForum->scdc);
    // HDMI VIC 1 (3840x2160 at 30 Hz) needs VIC 95 beside it.
    const Bytes withVic{0x6B, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x00, 0x00, 0x20, 0x00, 0x20, 0x01};
    EXPECT_TRUE(Has(WithCta({withVic}).parse(), "hdmi-vic-without-cta-vic"));
    EXPECT_FALSE(Has(WithCta({withVic, {0x41, 95}}).parse(), "hdmi-vic-without-cta-vic"));
}

TEST(edidParse, YCbCr420Blocks) {
    // Two short video descriptors; the map marks the second and a third that is not there.
    EdidParse p = WithCta({{0xE2, 0x0F, 0x06}}).parse();
    EXPECT_EQ(p.y420CapableVics, (std::vector<std::uint8_t>{1}));
    EXPECT_TRUE(Has(p, "y420-map-beyond-svds"));
    p = WithCta({{0xE2, 0x0F, 0x02}}).parse();
    EXPECT_FALSE(Has(p, "y420-map-beyond-svds"));
    // An empty map marks every short video descriptor.
    p = WithCta({{0xE1, 0x0F}}).parse();
    EXPECT_EQ(p.y420CapableVics, (std::vector<std::uint8_t>{16, 1}));
    p = WithCta({{0xE3, 0x0E, 97, 96}}).parse();
    EXPECT_EQ(p.y420Vics, (std::vector<std::uint8_t>{97, 96}));
}

TEST(edidParse, NativeFormatsOfSeveralSizes) {
    // A native VIC 16 (1920x1080) with one native detailed timing: the base block's 1080p.
    EXPECT_FALSE(Has(WithCta({{0x41, 0x90}}, 0x01).parse(), "cta-native-mixed"));
    // A native VIC 4 (1280x720) beside it is mixed; so are two native VICs of two sizes.
    EXPECT_TRUE(Has(WithCta({{0x41, 0x84}}, 0x01).parse(), "cta-native-mixed"));
    EXPECT_TRUE(Has(WithCta({{0x42, 0x84, 0x90}}, 0x00).parse(), "cta-native-mixed"));
    // Interlaced formats do not count: VIC 5 (1920x1080i) native.
    EXPECT_FALSE(Has(WithCta({{0x42, 0x85, 0x90}}, 0x00).parse(), "cta-native-mixed"));
}

TEST(edidParse, CtaLayoutFaults) {
    // A data block whose length runs past the detailed timing offset.
    TestEdid e = WithCta();
    e.bytes[128 + 2] = 6;
    EdidParse p = e.parse();
    EXPECT_TRUE(Has(p, "data-block-overrun"));
    // Padding after the timings.
    TestEdid pad = WithCta();
    pad.bytes[250] = 0x01;
    p = pad.parse();
    ASSERT_TRUE(Has(p, "cta-padding-nonzero"));
    EXPECT_EQ(Findings(p, "cta-padding-nonzero")[0]->position(), 250u);
    // A timing block in the CTA area, then a descriptor: both read, the rest is padding.
    TestEdid timed;
    timed.cta({Vcdb()}, 0x00, {Dtd1080p(), {0, 0, 0, 0xFF, 0, 'S', '1', 0x0A}});
    p = timed.parse();
    EXPECT_EQ(p.detailedTimings.size(), 2u);
    EXPECT_FALSE(Has(p, "cta-padding-nonzero"));
    // A timing with a pixel clock below 10 MHz is no timing.
    TestEdid low;
    low.cta({Vcdb()}, 0x00,
            {{0x49, 0x00, 0x00, 0x00, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}});
    p = low.parse();
    EXPECT_TRUE(Has(p, "dtd-invalid"));
    EXPECT_EQ(p.detailedTimings.size(), 1u);
}

TEST(edidParse, DisplayIdTimings) {
    // DisplayID 1.2, one type I block with a 2560x2880 timing (clock 469.18 MHz, stored minus
    // one in 10 kHz units; sizes minus one).
    TestEdid e;
    e.bytes.resize(256, 0);
    e.bytes[126] = 1;
    const Bytes section{0x70, 0x12, 23,   0x00, 0x00, 0x03, 0x00, 20,   0x45, 0xB7,
                        0x00, 0x00, 0xFF, 0x09, 0x4F, 0x00, 0x07, 0x80, 0x1F, 0x00,
                        0x3F, 0x0B, 0x51, 0x00, 0x00, 0x00, 0x07, 0x00};
    e.put(128, section);
    unsigned sum = 0;
    for (std::size_t i = 129; i < 128 + 5 + 23; ++i) {
        sum += e.bytes[i];
    }
    e.bytes[128 + 5 + 23] = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
    EdidParse p = e.parse();
    ASSERT_EQ(p.detailedTimings.size(), 2u);
    const VideoTiming& t = p.detailedTimings[1].timing;
    EXPECT_TRUE(p.detailedTimings[1].displayId);
    EXPECT_EQ(t.pixelClockKHz, 469180u);
    EXPECT_EQ(t.hActive, 2560);
    EXPECT_EQ(t.vActive, 2880);
    EXPECT_NEAR(t.lineRateHz(), 177720.0, 1.0);
    EXPECT_FALSE(Has(p, "checksum"));
    e.bytes[128 + 5 + 23] ^= 0xFF;
    EXPECT_TRUE(Has(e.parse(), "checksum"));
}

TEST(edidParse, TimingFormulas) {
    // VESA GTF, default curve: 1152x864 at 60 Hz is 81.624 MHz and 53.700 kHz.
    const auto gtf = GtfTiming(1152, 864, 60, false);
    ASSERT_TRUE(gtf.has_value());
    EXPECT_EQ(gtf->pixelClockKHz, 81624u);
    EXPECT_NEAR(gtf->lineRateHz(), 53700.0, 1.0);
    // CVT, standard blanking: 1600x1000 at 60 Hz is 132.25 MHz, 62.148 kHz.
    const auto cvt = CvtTiming(1600, 1000, 60, false, false);
    ASSERT_TRUE(cvt.has_value());
    EXPECT_EQ(cvt->pixelClockKHz, 132250u);
    EXPECT_NEAR(cvt->lineRateHz(), 62148.0, 1.0);
    // CVT reduced blanking: 1920x1200 at 60 Hz is DMT 0x44, 154 MHz.
    EXPECT_EQ(CvtTiming(1920, 1200, 60, false, true)->pixelClockKHz, 154000u);
    EXPECT_FALSE(GtfTiming(0, 480, 60, false).has_value());
    EXPECT_FALSE(CvtTiming(640, 480, 0, false, false).has_value());
}

TEST(edidParse, FindingsOrderFailuresFirst) {
    TestEdid e;
    e.bytes[19] = 3;
    e.put(90, {0, 0, 0, 0xFD, 0, 50, 75, 32, 68, 16, 0x00, 0x0A, ' ', ' ', ' ', ' ', ' ', ' '});
    e.bytes[17] = 100; // 2090
    const EdidParse p = e.parse();
    const auto ordered = OrderedFindings(p);
    ASSERT_GE(ordered.size(), 2u);
    EXPECT_EQ(ordered.front()->severity, FindingSeverity::Failure);
    EXPECT_EQ(ordered.back()->severity, FindingSeverity::Warning);
}

// Every EDID of the corpus: parsed whole (under the sanitizers in the sanitizer build), and
// nothing reported points outside the bytes kept.
TEST(edidParse, EveryCorpusEdidParses) {
    namespace fs = std::filesystem;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(LVX_CORPUS_DIR)) {
        if (entry.path().extension() != ".bin") {
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        const Bytes bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        const EdidParse p = ParseEdid(bytes, kTestYear);
        ++files;
        EXPECT_EQ(p.blockCount, bytes.size() / 128) << entry.path();
        EXPECT_FALSE(p.details.empty());
        for (const EdidDetail& d : p.details) {
            EXPECT_LE(d.offset + d.length, p.bytes.size()) << entry.path() << " " << d.label;
        }
        for (const EdidFinding& f : p.findings) {
            EXPECT_LE(f.position() + f.length, p.bytes.size()) << entry.path() << " " << f.id;
        }
    }
    EXPECT_GE(files, 1000);
}
