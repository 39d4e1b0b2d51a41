// The build: block 0 from the hex table, block 1 generated from the controls and what is
// carried over from the loaded EDID, byte for byte.
#include "creator/CreatorBuild.h"
#include "creator/CreatorControls.h"
#include "creator/CreatorModel.h"
#include "creator/EdidWorkImage.h"
#include "edid/EdidDecoder.h"
#include "edid/EdidValidation.h"
#include "unit/edid/EdidTestImages.h"

#include <gtest/gtest.h>

using namespace lvx;
using namespace lvx::test;

namespace {

// Block 1 of an image up to its data blocks' end and the bytes the test names; the rest must
// be zero up to the checksum, which must make the block sum to 0.
void ExpectBlock1(const EdidImage& image, const Bytes& head) {
    for (std::size_t i = 0; i < head.size(); ++i) {
        EXPECT_EQ(image[128 + i], head[i]) << "offset " << 128 + i;
    }
    for (std::size_t i = 128 + head.size(); i < 255; ++i) {
        EXPECT_EQ(image[i], 0) << "offset " << i;
    }
    unsigned sum = 0;
    for (std::size_t i = 128; i < 256; ++i) {
        sum += image[i];
    }
    EXPECT_EQ(sum % 256, 0u);
}

class CreatorBuild : public ::testing::Test {
protected:
    EdidWorkImage hex;
    CreatorModel model{hex};

    void SetUp() override {
        model.setClock([] { return CalendarDate{2026, 12, 7}; });
    }
    int id(std::string_view name) const { return CreatorModel::idOf(name); }
    void check(std::string_view name, bool on = true) {
        ASSERT_TRUE(model.setChecked(id(name), on));
    }
    void type(std::string_view name, const char* text) {
        ASSERT_TRUE(model.setText(id(name), text));
    }
    EdidImage built() {
        const BuildResult result = model.build();
        EXPECT_TRUE(result.ok) << result.error;
        return result.image;
    }
};

TEST_F(CreatorBuild, TheBrandNewTemplateUnchanged) {
    model.brandNew();
    const EdidImage image = built();
    ExpectBlock1(image, {0x02, 0x03, 0x12, 0x71, 0x41, 0x10, 0x23, 0x09, 0x07, 0x03, 0x67, 0x03,
                         0x0C, 0x00, 0x10, 0x00, 0x80, 0x21});
    EXPECT_EQ(image[255], 0xCA);
    for (int i = 0; i < 128; ++i) {
        EXPECT_EQ(image[static_cast<std::size_t>(i)], hex.byteAt(i)) << i;
    }
    EXPECT_EQ(ValidationError(image), 0);
    // The hex table and the record still hold what was loaded; a second build is the same.
    EXPECT_EQ(hex.byteAt(130), 0x13);
    EXPECT_EQ(model.record().image[130], 0x13);
    EXPECT_EQ(built(), image);
}

TEST_F(CreatorBuild, Vic97AddsTheHdmiForumBlockAt600MHz) {
    model.brandNew();
    check("CheckBox_VideoIdCode_97");
    ExpectBlock1(built(), {0x02, 0x03, 0x1B, 0x71, 0x42, 0x10, 0x61, 0x23, 0x09,
                           0x07, 0x03, 0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80,
                           0x3C, 0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x00});
}

TEST_F(CreatorBuild, The420BoxAloneAddsItsBlockAForumBlockAndHdr) {
    model.brandNew();
    check("CheckBox_YUV420VDB_97");
    ExpectBlock1(built(), {0x02, 0x03, 0x21, 0x71, 0x41, 0x10, 0x23, 0x09, 0x07,
                           0x03, 0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80, 0x3C, // HDMI
                           0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x3C, 0x80, 0x00,       // Forum
                           0xE3, 0x06, 0x03, 0x01, 0xE2, 0x0E, 0x61});           // HDR, 4:2:0
}

TEST_F(CreatorBuild, BuildingTwiceGivesTheSameImage) {
    // The first build makes an HDMI Forum block and with it an HDR block; a second build
    // must not take that Forum block for a loaded one and drop the HDR block.
    model.brandNew();
    check("CheckBox_VideoIdCode_93");
    const EdidImage first = built();
    // Video 3, audio 4, HDMI with HDMI VIC 3 12, Forum 8 bytes from 132: HDR at 159.
    EXPECT_EQ(Bytes(first.begin() + 159, first.begin() + 163), (Bytes{0xE3, 0x06, 0x03, 0x01}));
    EXPECT_EQ(built(), first);
}

TEST_F(CreatorBuild, AudioFormatsAndTheirDefaults) {
    model.brandNew();
    check("CheckBox_AudioFormat_3"); // Dolby Digital, MaxCh 0
    check("CheckBox_AudioFormat_6"); // DTS with its own values
    type("Edit_AudioDTS_MaxCh", "6");
    check("CheckBox_AudioDTS_Freq_5");
    type("Edit_AudioDTS_BitRate", " 1536");
    const EdidImage image = built();
    EXPECT_EQ(Bytes(image.begin() + 134, image.begin() + 144),
              (Bytes{0x29, 0x09, 0x07, 0x03, 0x15, 0x07, 0x50, 0x3D, 0x04, 0xC0}));

    // Unchecked again: their descriptors go, the L-PCM one stays.
    check("CheckBox_AudioFormat_3", false);
    check("CheckBox_AudioFormat_6", false);
    const EdidImage again = built();
    EXPECT_EQ(Bytes(again.begin() + 134, again.begin() + 138), (Bytes{0x23, 0x09, 0x07, 0x03}));
}

TEST_F(CreatorBuild, UncheckingBasicRemovesOnlyTheTwoChannelDescriptor) {
    model.openImage(Cta({{0x26, 0x09, 0x07, 0x07, 0x0F, 0x7F, 0x07}, Hdmi({0x10, 0x00})}));
    ASSERT_TRUE(model.checked("CheckBox_AudioFormat_1"));
    ASSERT_EQ(model.text("Edit_AudioLPCM_MaxCh"), "8");
    check("CheckBox_AudioFormat_1", false);
    const EdidImage image = built();
    EXPECT_EQ(Bytes(image.begin() + 132, image.begin() + 136), (Bytes{0x23, 0x0F, 0x7F, 0x07}));
    // Fewer than three channels: the multi-channel descriptor goes as well.
    type("Edit_AudioLPCM_MaxCh", "2");
    const EdidImage stereo = built();
    EXPECT_EQ(stereo[132] & 0xE0, 0x60); // the HDMI block comes first now
}

TEST_F(CreatorBuild, LuminanceDecidesTheHdrBlockLength) {
    model.brandNew();
    check("CheckBox_HDR_EOTF_1");
    type("Edit_HDR_DCLD_3", "5");
    EdidImage image = built();
    EXPECT_EQ(Bytes(image.begin() + 146, image.begin() + 153),
              (Bytes{0xE6, 0x06, 0x04, 0x00, 0x00, 0x00, 0x05}));
    type("Edit_HDR_DCLD_3", "0");
    type("Edit_HDR_DCLD_1", "7");
    image = built();
    EXPECT_EQ(Bytes(image.begin() + 146, image.begin() + 151),
              (Bytes{0xE4, 0x06, 0x04, 0x00, 0x07}));
    EXPECT_EQ(image[151], 0);
}

TEST_F(CreatorBuild, VicsKeepTheirSlotsAndOneAbove107MakesRoom) {
    model.openImage(Cta({{0x43, 0x90, 0xE1, 0x05}, Hdmi({0x10, 0x00})})); // 16, 225, 5
    check("CheckBox_VideoIdCode_4");
    check("CheckBox_VideoIdCode_16", false);
    check("CheckBox_VideoIdCode_31");
    const EdidImage image = built();
    // In the order of the VIC table: 4 takes 225's slot, 31 the first empty one, and 16's
    // slot is emptied last.
    EXPECT_EQ(Bytes(image.begin() + 132, image.begin() + 136), (Bytes{0x43, 4, 5, 31}));
}

TEST_F(CreatorBuild, DviLeavesBlock1EmptyAndAnnouncesNoExtension) {
    model.brandNew();
    check(names::kDvi);
    const EdidImage image = built();
    ExpectBlock1(image, {});
    EXPECT_EQ(image[126], 0);
    EXPECT_EQ(ValidationError(image), 0);
    EXPECT_EQ(hex.byteAt(126), 1); // the hex table is left as the user edited it
}

TEST_F(CreatorBuild, CecAddressIsReadAsFourHexadecimalDigits) {
    model.openImage(Cta({Hdmi({0xFF, 0xFF, 0x80, 0x21})}));
    ASSERT_EQ(model.text(names::kCec), "FFFF");
    EdidImage image = built();
    EXPECT_EQ(Bytes(image.begin() + 132, image.begin() + 138),
              (Bytes{0x67, 0x03, 0x0C, 0x00, 0xFF, 0xFF}));
    type(names::kCec, "a1b2");
    image = built();
    EXPECT_EQ(Bytes(image.begin() + 136, image.begin() + 138), (Bytes{0xA1, 0xB2}));

    for (const char* bad : {"12G4", "123", "12345", "1 34"}) {
        const EdidImage before = model.record().image;
        type(names::kCec, bad);
        const BuildResult result = model.build();
        EXPECT_FALSE(result.ok) << bad;
        EXPECT_NE(result.error.find("four hexadecimal digits"), std::string::npos) << bad;
        EXPECT_EQ(model.record().image, before) << bad;
    }
}

TEST_F(CreatorBuild, ATextThatIsNoNumberStopsTheBuild) {
    model.brandNew();
    type("Edit_AudioAC3_BitRate", "fast");
    const BuildResult result = model.build();
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, "\"fast\" is not a number.");
}

TEST_F(CreatorBuild, TheChosenBlock1PresetIsTheFirstTimingBuilt) {
    model.brandNew();
    ASSERT_TRUE(model.setIndex(id(names::kBlock1Preset), 4));
    const EdidImage image = built();
    ASSERT_EQ(image[130], 0x12);
    EXPECT_EQ(Bytes(image.begin() + 146, image.begin() + 164),
              (Bytes{0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00, 0, 0,
                     0, 0, 0, 0x1E}));

    // Without a choice, the loaded timing; with a choice the hex table could not show (a DTD
    // offset below 4), still the choice.
    const Bytes timing = {0x01, 0x1D, 0x00, 0x72, 0x51, 0xD0, 0x1E, 0x20, 0x6E,
                          0x28, 0x55, 0x00, 0x10, 0x09, 0x00, 0x00, 0x00, 0x18};
    EdidImage loaded = Cta({Hdmi({0x10, 0x00})});
    Put(loaded, 138, timing); // just after the HDMI block
    FixChecksums(loaded);
    model.openImage(loaded);
    EdidImage rebuilt = built();
    EXPECT_EQ(Bytes(rebuilt.begin() + 128 + rebuilt[130], rebuilt.begin() + 146 + rebuilt[130]),
              timing);
    EdidImage low = loaded;
    low[130] = 2;
    FixChecksums(low);
    model.openImage(low);
    check(names::kHdmi); // the walk stops at 128 + 2: no HDMI block was seen
    ASSERT_TRUE(model.setIndex(id(names::kBlock1Preset), 9));
    EXPECT_EQ(hex.bytes(), low);
    rebuilt = built();
    EXPECT_EQ(Bytes(rebuilt.begin() + 128 + rebuilt[130], rebuilt.begin() + 140 + rebuilt[130]),
              Bytes(timing.begin(), timing.begin() + 12)); // row 9 is 1280x720p, as loaded
}

TEST_F(CreatorBuild, ThreeDAndHdmiVicsShapeTheHdmiBlock) {
    // HDMI video present, 3D present, no HDMI VICs, three 3D bytes.
    const Bytes hdmi = Hdmi({0x10, 0x00, 0x80, 0x21, 0x20, 0x80, 0x03, 0x01, 0x02, 0x03});
    model.openImage(Cta({hdmi}));
    ASSERT_TRUE(model.checked(names::kPresent3d));
    EdidImage image = built();
    EXPECT_EQ(Bytes(image.begin() + 132, image.begin() + 132 + hdmi.size()), hdmi);

    check(names::kPresent3d, false);
    image = built();
    EXPECT_EQ(Bytes(image.begin() + 132, image.begin() + 140),
              (Bytes{0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80, 0x21}));

    check("CheckBox_VideoIdCode_93"); // HDMI VIC 3
    image = built();
    EXPECT_EQ(
        Bytes(image.begin() + 132, image.begin() + 146),
        (Bytes{0x41, 93, 0x6B, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80, 0x3C, 0x20, 0x00, 0x20, 0x03}));

    // Deep colour with 4:4:4: byte 6 takes the depth bits and DC_Y444, the clock 225 MHz.
    model.brandNew();
    check("CheckBox_ColorDepth_2");
    image = built();
    EXPECT_EQ(Bytes(image.begin() + 138, image.begin() + 146),
              (Bytes{0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0xA8, 0x2D}));
}

TEST_F(CreatorBuild, CarriedBytesComeFromTheEdidAsLoaded) {
    // The first EDID has a video capability block and a colorimetry block; the second has
    // neither. What the second builds must not hold the first one's bytes.
    model.openImage(
        Cta({{0x41, 0x10}, {0xE2, 0x00, 0x4A}, {0xE3, 0x05, 0x80, 0x02}, Hdmi({0x10, 0x00})}));
    EdidImage image = built();
    EXPECT_EQ(
        Bytes(image.begin() + 134, image.begin() + 147),
        (Bytes{0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80, 0x21, 0xE3, 0x05, 0x80, 0x03, 0xE2}));
    EXPECT_EQ(image[147], 0x00);
    EXPECT_EQ(image[148], 0x4A);
    model.openImage(Cta({{0x41, 0x10}, Hdmi({0x10, 0x00})}));
    check("CheckBox_Colorimetry_1");
    image = built();
    EXPECT_EQ(
        Bytes(image.begin() + 134, image.begin() + 147),
        (Bytes{0x67, 0x03, 0x0C, 0x00, 0x10, 0x00, 0x80, 0x21, 0xE3, 0x05, 0x80, 0x01, 0x00}));
}

TEST_F(CreatorBuild, TheMemoLinesNameWhatWasLeftOut) {
    model.openImage(Cta({{0x41, 0x10},
                         {0x65, 0xFA, 0x10, 0x00, 0x01, 0x02},
                         {0xE2, 0x0F, 0x01},
                         Hdmi({0x10, 0x00})}));
    const BuildResult result = model.build();
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.leftOut,
              (std::vector<std::string>{
                  "vendor-specific data block, OUI 00-10-FA, 6 bytes",
                  "YCbCr 4:2:0 capability map data block (extended tag 15), 3 bytes"}));
}

// Straight on the codec: blocks that cannot fit stop the build; timings go first.
TEST(CreatorBuildCodec, DataBlocksThatDoNotFitStopTheBuild) {
    auto record = [](bool forum) {
        EdidImage image = Image(1);
        Bytes block = {0x7F, 0xD8, 0x5D, 0xC4};
        block.resize(32, 0x01);
        if (forum) {
            Put(image, 132, block);
        }
        Put(image, 128, {0x02, 0x03, std::uint8_t(forum ? 36 : 4)});
        FixChecksums(image);
        EdidRecord r;
        Decode(r, image);
        r.svd = {1, 2, 7};
        for (auto& sad : r.sad) {
            sad = {0x15, 0x07, 0x50};
        }
        r.audioFlags = kAudioDolbyD;
        r.info3d = {14, 0x80, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
        r.extensionTimings[0].fill(0x11);
        return r;
    };
    BuildControls c;
    c.vic.fill(true);
    c.yuv420.fill(false);
    c.speaker.fill(true);
    c.present3d = true;
    c.colorimetry[0] = true;
    c.eotf[0] = true;
    c.luminance = {1, 2, 3};
    c.audio[1].box = true;
    c.audio[1].maxChannels = 6;
    c.audio[1].bitRate = 640;
    std::array<std::uint8_t, 128> block0{};
    std::copy_n(Image(1).begin(), 128, block0.begin());

    // Video 25, audio 31, speakers 4, HDMI 28, Forum 32, colorimetry 4, HDR 7: 131 + header.
    EdidRecord full = record(true);
    const EdidImage before = full.image;
    BuildResult result = BuildEdid(full, block0, c);
    EXPECT_FALSE(result.ok);
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(std::equal(before.begin() + 128, before.end(), full.image.begin() + 128));

    // Without the loaded Forum block a short one is made (8 bytes); without colorimetry the
    // data blocks take 107 bytes: room for exactly one timing of three, ending at byte 252.
    EdidRecord fits = record(false);
    BuildControls fewer = c;
    fewer.colorimetry[0] = false;
    result = BuildEdid(fits, block0, fewer);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.image[130], 107);
    EXPECT_EQ(result.image[128 + 107], 0x11);
    EXPECT_EQ(result.image[252], 0x11);
    EXPECT_EQ(result.image[253], 0x00);
    EXPECT_EQ(result.image[254], 0x00);
    EXPECT_EQ(ValidationError(result.image), 0);
}

} // namespace
