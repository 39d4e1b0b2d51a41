// The creator model's entry points and load procedure: what every control shows after an
// image comes in, the brand-new date, the preset combo boxes, and the rules' checks.
#include "creator/BrandNewTemplate.h"
#include "creator/CreatorControls.h"
#include "creator/CreatorModel.h"
#include "creator/EdidWorkImage.h"
#include "unit/edid/EdidTestImages.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

using namespace lvx;
using namespace lvx::test;

namespace {

const Bytes k1080pHead = {0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00};
const Bytes k720pHead = {0x01, 0x1D, 0x00, 0x72, 0x51, 0xD0, 0x1E, 0x20, 0x6E, 0x28, 0x55, 0x00};
const Bytes k1600Head = {0x48, 0x3F, 0x40, 0x30, 0x62, 0xB0, 0x32, 0x40, 0x40, 0xC0, 0x13, 0x00};

Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class CreatorLoad : public ::testing::Test {
protected:
    EdidWorkImage hex;
    CreatorModel model{hex};

    void SetUp() override {
        model.setClock([] { return CalendarDate{2026, 12, 7}; });
    }

    int id(std::string_view name) const { return CreatorModel::idOf(name); }
    bool on(std::string_view name) const { return model.checked(name); }
    std::string text(std::string_view name) const { return model.text(name); }
    std::string warning() const { return text(names::kWarningLabel); }
    TextColour colour(std::string_view name) const { return model.state(name).colour; }
    CellColour cell(int offset) const { return hex.colourAt(offset); }
    Bytes shown(int offset, int count) const { return hex.readBytes(offset, count); }
};

// --- Entry points ------------------------------------------------------------------------

TEST_F(CreatorLoad, BrandNewOn7December2026StampsWeek50OfYear2026) {
    model.brandNew();
    EXPECT_EQ(text(names::kYear), "2026");
    EXPECT_EQ(text(names::kWeek), "50");
    EdidImage expected = BrandNewTemplate();
    expected[16] = 50;
    expected[17] = 0x24;
    unsigned sum = 0;
    for (int i = 0; i < 127; ++i) {
        sum += expected[static_cast<std::size_t>(i)];
    }
    expected[127] = static_cast<std::uint8_t>(256 - sum % 256);
    EXPECT_EQ(hex.bytes(), expected);
    EXPECT_EQ(hex.byteAt(255), 0xC8);
    EXPECT_EQ(model.record().status,
              kStatusBrandNew | kStatusContentPresent | kStatusCreatorLoaded);
    // The stamped image is the hex table's reference: every cell white.
    EXPECT_EQ(cell(16), kCellWhite);
    EXPECT_EQ(cell(127), kCellWhite);
}

TEST_F(CreatorLoad, BrandNewTakesTheCalendarYearWithTheIsoWeek) {
    // 1 January 2027 is a Friday: ISO week 53 of 2026, but the year edit shows 2027.
    model.setClock([] { return CalendarDate{2027, 1, 1}; });
    model.brandNew();
    EXPECT_EQ(text(names::kYear), "2027");
    EXPECT_EQ(text(names::kWeek), "53");
    EXPECT_EQ(hex.byteAt(17), 2027 - 1990);
    EXPECT_EQ(hex.byteAt(16), 53);
    // Opening a file afterwards clears the brand-new flag; the file's own date shows.
    model.openImage(Image(0, {{16, {12, 30}}}));
    EXPECT_EQ(model.record().status & kStatusBrandNew, 0);
    EXPECT_EQ(text(names::kYear), "2020");
    EXPECT_EQ(text(names::kWeek), "12");
}

TEST_F(CreatorLoad, CopyRefusesAnAnalysedRecordWithAValidationError) {
    EdidRecord analysed;
    analysed.image = Image(0);
    analysed.status = kStatusChecksum0Error;
    EXPECT_FALSE(model.copyFrom(analysed));
    EXPECT_EQ(model.record().status, 0);
    EXPECT_FALSE(hex.holdsByte(0));

    analysed.status = 0;
    model.brandNew();
    EXPECT_TRUE(model.copyFrom(analysed));
    EXPECT_EQ(model.record().status & (kStatusBrandNew | kStatusContentPresent),
              kStatusContentPresent);
    EXPECT_EQ(text(names::kManufacturer), "AAA");
    EXPECT_EQ(hex.bytes(), analysed.image);
}

// --- The load, control by control --------------------------------------------------------

TEST_F(CreatorLoad, DescriptorEditsShowIdentificationAsDecimal) {
    model.openImage(Image(
        0,
        {{8, {0x10, 0x42}}, {10, {0x34, 0x12}}, {12, {0xFF, 0xFF, 0xFF, 0xFF}}, {16, {53, 255}}}));
    EXPECT_EQ(text(names::kManufacturer), "DBB");
    EXPECT_EQ(text(names::kProduct), "4660");
    EXPECT_EQ(text(names::kSerial), "4294967295");
    EXPECT_EQ(colour(names::kSerial), TextColour::Black);
    EXPECT_EQ(text(names::kYear), "2245");
    EXPECT_EQ(text(names::kWeek), "53");
    EXPECT_EQ(text(names::kMonitor), "UNDEFINE.");
    // What the load shows is checked by the rules, but no byte of the image changes.
    for (int offset = 0; offset < 256; ++offset) {
        EXPECT_EQ(cell(offset), kCellWhite) << offset;
    }
}

TEST_F(CreatorLoad, MonitorNameIsFoundAnywhereInBlock0) {
    // In the fourth descriptor slot.
    model.openImage(Image(0, {{108, {0, 0, 0, 0xFC, 0, 'T', 'V', 0x0A}}}));
    EXPECT_EQ(text(names::kMonitor), "TV");
    // Outside the slots, thirteen characters without a line feed.
    model.openImage(Image(0, {{60, Concat({0, 0, 0, 0xFC, 0}, Bytes(13, 'Q'))}}));
    EXPECT_EQ(text(names::kMonitor), std::string(13, 'Q'));
    // An empty name.
    model.openImage(Image(0, {{72, {0, 0, 0, 0xFC, 0, 0x0A}}}));
    EXPECT_EQ(text(names::kMonitor), "-");
}

TEST_F(CreatorLoad, TimingBoxesFollowTheirBits) {
    // Established: 720x400@70 (byte 35 bit 7), 1024x768@75 (byte 36 bit 1), 1152x870 (byte 37
    // bit 7). Standard: 0xA94F in the last slot, 0x8180 in the first.
    model.openImage(Image(0, {{35, {0x80, 0x02, 0x80}},
                              {38, {0x81, 0x80, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0xA9, 0x4F}}}));
    for (int n = 1; n <= 17; ++n) {
        EXPECT_EQ(on(FamilyName("CheckBox_EstablishTiming_", n)), n == 1 || n == 15 || n == 17)
            << n;
    }
    for (int n = 1; n <= 5; ++n) {
        EXPECT_EQ(on(FamilyName("CheckBox_StandardTiming_", n)), n == 1 || n == 5) << n;
    }
}

TEST_F(CreatorLoad, VideoBoxesTakeTheVicsTheHdmiVicsAndThe420List) {
    model.openImage(Cta({{0x44, 0x90, 0x04, 0x80, 0xE1}, // VIC 16 native, 4, a skipped 128, 225
                         Hdmi({0x10, 0x00, 0x80, 0x21, 0x20, 0x00, 0x20, 0x04}), // HDMI VIC 4
                         {0xE2, 0x0E, 0x61}}));                                  // 4:2:0 VIC 97
    EXPECT_TRUE(on("CheckBox_VideoIdCode_16"));
    EXPECT_TRUE(on("CheckBox_VideoIdCode_4"));
    EXPECT_TRUE(on("CheckBox_VideoIdCode_93")); // HDMI VIC 4: 4K at 24 Hz
    EXPECT_FALSE(on("CheckBox_VideoIdCode_97"));
    EXPECT_TRUE(on("CheckBox_YUV420VDB_97"));
    EXPECT_FALSE(on("CheckBox_YUV420VDB_96"));
    EXPECT_TRUE(on("CheckBox_ColorSpace_3"));
    EXPECT_TRUE(on(names::kHdmi));
    EXPECT_FALSE(on(names::kDvi));
    EXPECT_EQ(text(names::kCec), "1000");
}

TEST_F(CreatorLoad, LpcmBasicBoxFollowsTheTwoChannelDescriptor) {
    model.openImage(Cta({{0x23, 0x09, 0x07, 0x07}}));
    EXPECT_TRUE(on("CheckBox_AudioFormat_1"));
    EXPECT_EQ(text("Edit_AudioLPCM_MaxCh"), "2");
    model.openImage(Cta({{0x23, 0x0F, 0x07, 0x07}}));
    EXPECT_FALSE(on("CheckBox_AudioFormat_1"));
    EXPECT_EQ(text("Edit_AudioLPCM_MaxCh"), "8");
    // Two-channel then eight-channel: "Basic" stays checked, MaxCh shows the later one.
    model.openImage(Cta({{0x26, 0x09, 0x07, 0x07, 0x0F, 0x07, 0x07}}));
    EXPECT_TRUE(on("CheckBox_AudioFormat_1"));
    EXPECT_EQ(text("Edit_AudioLPCM_MaxCh"), "8");
}

TEST_F(CreatorLoad, ASecondLoadClearsWhatTheFirstSet) {
    model.openImage(
        Cta({{0x23, 0x0F, 0x7F, 0x07}, {0x83, 0x01, 0x00, 0x00}, Hdmi({0x12, 0x34, 0x70})}));
    EXPECT_EQ(text("Edit_AudioLPCM_MaxCh"), "8");
    EXPECT_TRUE(on("CheckBox_AudioLPCM_Freq_1"));
    EXPECT_TRUE(on("CheckBox_AudioLPCM_SamBit_3"));
    EXPECT_TRUE(on("CheckBox_SpeakerPosition_8"));
    EXPECT_TRUE(on("CheckBox_SpeakerPosition_8r"));
    EXPECT_TRUE(on("CheckBox_ColorDepth_1"));
    EXPECT_EQ(text(names::kCec), "1234");

    model.openImage(Cta({{0x23, 0x15, 0x20, 0x50}}));
    EXPECT_EQ(text("Edit_AudioLPCM_MaxCh"), "0");
    for (int n = 1; n <= 7; ++n) {
        EXPECT_FALSE(on(FamilyName("CheckBox_AudioLPCM_Freq_", n))) << n;
    }
    for (int n = 1; n <= 3; ++n) {
        EXPECT_FALSE(on(FamilyName("CheckBox_AudioLPCM_SamBit_", n))) << n;
    }
    EXPECT_FALSE(on("CheckBox_AudioFormat_1"));
    EXPECT_FALSE(on("CheckBox_SpeakerPosition_8r"));
    EXPECT_FALSE(on("CheckBox_ColorDepth_1"));
    EXPECT_TRUE(on("CheckBox_AudioFormat_3"));
    EXPECT_EQ(text("Edit_AudioAC3_MaxCh"), "6");
    EXPECT_EQ(text("Edit_AudioAC3_BitRate"), "  640");
    EXPECT_TRUE(on("CheckBox_AudioAC3_Freq_2"));
    EXPECT_EQ(text(names::kCec), "0000");
    EXPECT_TRUE(on(names::kDvi));

    // Without an extension every CTA control is cleared.
    model.openImage(Image(0));
    EXPECT_FALSE(on("CheckBox_AudioFormat_3"));
    EXPECT_EQ(text("Edit_AudioAC3_BitRate"), "     0");
    EXPECT_TRUE(on(names::kDvi));
}

TEST_F(CreatorLoad, ALaterDescriptorOfAFormatOverridesAnEarlierOne) {
    // Two DTS descriptors: 7 channels at 192 kHz and 1536 kbit/s, then 2 channels at 32 kHz.
    model.openImage(Cta({{0x26, 0x3E, 0x40, 192, 0x39, 0x01, 10}}));
    EXPECT_EQ(text("Edit_AudioDTS_MaxCh"), "2");
    EXPECT_EQ(text("Edit_AudioDTS_BitRate"), "  80");
    EXPECT_FALSE(on("CheckBox_AudioDTS_Freq_1"));
    EXPECT_TRUE(on("CheckBox_AudioDTS_Freq_7"));
    model.openImage(Cta({{0x23, 0x3E, 0x40, 192}}));
    EXPECT_EQ(text("Edit_AudioDTS_BitRate"), " 1536");
}

TEST_F(CreatorLoad, HdrControlsAndTheirPaddedLuminance) {
    model.openImage(Cta({{0x42, 0x61, 0x10},
                         {0x67, 0xD8, 0x5D, 0xC4, 0x01, 0x78, 0x80, 0x05},
                         {0xE6, 0x06, 0x05, 0x01, 5, 50, 200}}));
    EXPECT_TRUE(on("CheckBox_HDR_1"));
    EXPECT_FALSE(on("CheckBox_HDR_2"));
    EXPECT_TRUE(on("CheckBox_HDR_3"));
    EXPECT_TRUE(on("CheckBox_HDR_EOTF_1"));
    EXPECT_FALSE(on("CheckBox_HDR_EOTF_2"));
    EXPECT_TRUE(on("CheckBox_HDR_EOTF_3"));
    EXPECT_TRUE(on(names::kHdrDescriptor));
    EXPECT_EQ(text("Edit_HDR_DCLD_1"), "    5");
    EXPECT_EQ(text("Edit_HDR_DCLD_2"), "   50");
    EXPECT_EQ(text("Edit_HDR_DCLD_3"), "  200");
    EXPECT_EQ(colour("CheckBox_HDR_1"), TextColour::Black); // VIC 97 is there
}

TEST_F(CreatorLoad, AnInvalidImageShowsTheErrorStateAndKeepsCombosAndFormat) {
    model.brandNew();
    model.setIndex(id(names::kBlock1Preset), 9);
    model.setChecked(id(names::kDvi), true);
    const EdidRecord reference = model.reference();

    EdidImage broken = BrandNewTemplate();
    broken[127] ^= 1;
    model.openImage(broken);
    EXPECT_EQ(model.record().status & kStatusValidationMask, kStatusChecksum0Error);
    EXPECT_TRUE(model.loaded());
    EXPECT_EQ(text(names::kManufacturer), "Error.");
    EXPECT_EQ(text(names::kMonitor), "Error.");
    for (std::string_view name : {names::kProduct, names::kSerial, names::kYear, names::kWeek}) {
        EXPECT_EQ(text(name), "0") << name;
    }
    EXPECT_EQ(text(names::kCec), "0000");
    EXPECT_FALSE(on("CheckBox_VideoIdCode_16"));
    EXPECT_FALSE(on("CheckBox_AudioFormat_1"));
    EXPECT_FALSE(on("CheckBox_EstablishTiming_3"));
    EXPECT_EQ(text("Edit_AudioLPCM_MaxCh"), "0");
    EXPECT_EQ(text("Edit_AudioAAC_BitRate"), "     0");
    EXPECT_EQ(text("Edit_HDR_DCLD_2"), "    0");
    EXPECT_EQ(model.index(names::kBlock0Preset), 4);
    EXPECT_EQ(model.index(names::kBlock1Preset), 9);
    EXPECT_TRUE(on(names::kDvi));
    // The hex table shows the bytes; the reference stays the last valid image.
    EXPECT_EQ(hex.bytes(), broken);
    EXPECT_EQ(model.reference().image, reference.image);
}

// One loaded EDID: after an invalid Open the work image shows exactly the creator record's
// bytes, and the reference its colours are judged against is the creator's reference, the
// last image that loaded valid, down to the two checksum bytes; after the next valid Open all
// of them are that image again.
TEST_F(CreatorLoad, AfterAnInvalidOpenTheRecordAndTheTableAgree) {
    const EdidImage first = Cta({{0x42, 0x10, 0x04}});
    model.openImage(first);
    EdidImage broken = first;
    broken[0] = 0x01; // header
    broken[130] = 0x20;
    model.openImage(broken);
    EXPECT_EQ(model.record().status & kStatusValidationMask, kStatusHeaderError);
    EXPECT_EQ(model.record().image, broken);
    EXPECT_EQ(hex.bytes(), broken);
    EXPECT_EQ(model.reference().image, first);
    EXPECT_EQ(hex.referenceChecksum(0), first[127]);
    EXPECT_EQ(hex.referenceChecksum(1), first[255]);
    // An edit is an edit of what the table shows, and "as loaded" is the reference's value:
    // product 5 is written yellow, the reference's 0 goes back white; the checksum cell is
    // green while block 0 (its header) differs from the reference.
    model.setText(id(names::kProduct), "5");
    EXPECT_EQ(shown(10, 2), Bytes({0x05, 0x00}));
    EXPECT_EQ(cell(10), kCellYellow);
    model.setText(id(names::kProduct), "0");
    EXPECT_EQ(shown(10, 2), Bytes({first[10], first[11]}));
    EXPECT_EQ(cell(10), kCellWhite);
    EXPECT_EQ(cell(127), kCellGreen);
    EXPECT_EQ(shown(0, 1), Bytes({0x01}));

    EdidImage next = Image(0, {{10, {0x34, 0x12}}});
    model.openImage(next);
    EXPECT_EQ(model.record().image, next);
    EXPECT_EQ(hex.bytes(), next);
    EXPECT_EQ(model.reference().image, next);
    EXPECT_EQ(hex.referenceChecksum(0), next[127]);
    EXPECT_EQ(text(names::kProduct), "4660"); // 0x1234
    for (int offset = 0; offset < 256; ++offset) {
        ASSERT_EQ(cell(offset), kCellWhite) << offset;
    }
}

// --- Presets ---------------------------------------------------------------------------------

TEST_F(CreatorLoad, PresetRecognisedDespiteImageSizeAndRestoredWhite) {
    const Bytes loaded = Concat(Concat(k1080pHead, {0x51, 0x2D, 0x31, 0x02, 0x03}), {0x1E});
    const EdidImage image = Image(0, {{24, {0x02}}, {54, loaded}});
    model.openImage(image);
    EXPECT_EQ(model.index(names::kBlock0Preset), 4);

    model.setIndex(id(names::kBlock0Preset), 9);
    EXPECT_EQ(shown(54, 18), Concat(Concat(k720pHead, {0x51, 0x2D, 0x31, 0x02, 0x03}), {0x1E}));
    EXPECT_EQ(cell(54), kCellYellow);
    EXPECT_EQ(cell(127), kCellGreen);

    model.setIndex(id(names::kBlock0Preset), 4);
    EXPECT_EQ(shown(54, 18), loaded);
    EXPECT_EQ(hex.bytes(), image);
    for (int offset = 54; offset < 72; ++offset) {
        EXPECT_EQ(cell(offset), kCellWhite) << offset;
    }
    EXPECT_EQ(cell(127), kCellWhite);

    // "Undefined" keeps the reference's size and borders.
    model.setIndex(id(names::kBlock0Preset), 0);
    EXPECT_EQ(shown(54, 18), Concat(Bytes(12, 0), {0x51, 0x2D, 0x31, 0x02, 0x03, 0x00}));
}

TEST_F(CreatorLoad, ComboShowsUndefinedWhereRecognitionDidNotRun) {
    model.openImage(Image(0, {{24, {0x02}}, {54, Concat(k720pHead, {0, 0, 0, 0, 0, 0x1E})}}));
    EXPECT_EQ(model.index(names::kBlock0Preset), 9);
    // The same timing without the preferred-timing bit: not recognised, not the last one.
    model.openImage(Image(0, {{54, Concat(k720pHead, {0, 0, 0, 0, 0, 0x1E})}}));
    EXPECT_EQ(model.index(names::kBlock0Preset), 0);
    // The template has no timing in block 1.
    model.brandNew();
    EXPECT_EQ(model.index(names::kBlock1Preset), 0);
}

TEST_F(CreatorLoad, The594MHzPresetRaisesTheRangeLimitAndTheLoadedOneWritesItBack) {
    model.brandNew();
    const int range = 0x6C + 9; // descriptor 4's maximum pixel clock byte
    ASSERT_EQ(hex.byteAt(range), 0x11);
    model.setIndex(id(names::kBlock0Preset), 1);
    EXPECT_EQ(hex.byteAt(range), 60);
    EXPECT_EQ(cell(range), kCellYellow);
    // A preset that asks for no raise leaves 60 where it is.
    model.setIndex(id(names::kBlock0Preset), 6);
    EXPECT_EQ(shown(54, 12), k1600Head);
    EXPECT_EQ(hex.byteAt(range), 60);
    // The loaded preset again: 0x11, unchanged.
    model.setIndex(id(names::kBlock0Preset), 4);
    EXPECT_EQ(hex.byteAt(range), 0x11);
    EXPECT_EQ(cell(range), kCellWhite);
    EXPECT_EQ(cell(127), kCellWhite);
}

TEST_F(CreatorLoad, RangeLimitIsComparedWithTheReferenceValue) {
    EdidImage image = BrandNewTemplate();
    image[0x6C + 9] = 45;
    image[127] = BlockChecksum(image, 0);
    model.openImage(image);
    model.setIndex(id(names::kBlock0Preset), 2); // 297 MHz needs 30: 45 is enough
    EXPECT_EQ(hex.byteAt(0x6C + 9), 45);
    model.setIndex(id(names::kBlock0Preset), 1); // 594 MHz needs 60
    EXPECT_EQ(hex.byteAt(0x6C + 9), 60);
    model.setIndex(id(names::kBlock0Preset), 3); // compared with 45, not with 60: no write
    EXPECT_EQ(hex.byteAt(0x6C + 9), 60);
}

TEST_F(CreatorLoad, Block1PresetIsWrittenOnlyWhereItFits) {
    auto withOffset = [](std::uint8_t d) {
        EdidImage image = Image(1);
        Put(image, 128, {0x02, 0x03, d});
        FixChecksums(image);
        return image;
    };
    for (std::uint8_t d : {0, 3, 110, 127, 255}) {
        const EdidImage image = withOffset(d);
        model.openImage(image);
        model.setIndex(id(names::kBlock1Preset), 4);
        EXPECT_EQ(hex.bytes(), image) << int(d);
    }
    // d = 109: bytes 237 to 254, the checksum recomputed behind them.
    model.openImage(withOffset(109));
    model.setIndex(id(names::kBlock1Preset), 4);
    EXPECT_EQ(shown(237, 18), Concat(Concat(k1080pHead, Bytes(5, 0)), {0x1E}));
    EXPECT_EQ(cell(237), kCellYellow);
    EdidImage expected = hex.bytes();
    EXPECT_EQ(hex.byteAt(255), BlockChecksum(expected, 1));
}

TEST_F(CreatorLoad, PresetsChangeNothingBeforeTheFirstLoad) {
    EXPECT_TRUE(model.setIndex(id(names::kBlock0Preset), 4));
    EXPECT_TRUE(model.setIndex(id(names::kBlock1Preset), 4));
    EXPECT_FALSE(hex.holdsByte(0));
    EXPECT_FALSE(hex.holdsByte(255));
    EXPECT_FALSE(model.setIndex(id(names::kBlock0Preset), 11));
    EXPECT_FALSE(model.setIndex(id(names::kBlock0Preset), -1));
}

// --- The rules' checks --------------------------------------------------------------------

TEST_F(CreatorLoad, DescriptorChecksSetAndClearTheFieldError) {
    model.brandNew();
    struct Case {
        std::string_view edit;
        const char* bad;
        const char* message;
        const char* good;
    };
    const Case cases[] = {
        {names::kManufacturer, "ABCD", "3 Letters Limited!", "ABC"},
        {names::kMonitor, "ABCDEFGHIJKLMN", "13 Letters Limited!", "ABCDEFGHIJKLM"},
        {names::kProduct, "65536", "65535 Limited!", "65535"},
        {names::kSerial, "4294967296", "4 Billion Limited!", "4294967295"},
        {names::kSerial, "00000000001", "4 Billion Limited!", "0000000001"},
        {names::kYear, "1989", "1990~2245 Limited!", "1990"},
        {names::kYear, "2246", "1990~2245 Limited!", "2245"},
        {names::kWeek, "54", "53 Limited!", "53"},
        {"Edit_AudioDTS_MaxCh", "9", "8 MaxCH Limited!", "8"},
        {"Edit_AudioDTS_MaxCh", "10", "8 MaxCH Limited!", "0"},
        {"Edit_HDR_DCLD_3", " 256 ", "255 Limited!", "  255"},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(model.setText(id(c.edit), c.bad));
        EXPECT_EQ(warning(), c.message) << c.edit << " " << c.bad;
        EXPECT_TRUE(model.fieldError()) << c.edit << " " << c.bad;
        EXPECT_EQ(colour(c.edit), TextColour::Red) << c.edit;
        ASSERT_TRUE(model.setText(id(c.edit), c.good));
        EXPECT_EQ(warning(), "") << c.edit << " " << c.good;
        EXPECT_FALSE(model.fieldError()) << c.edit << " " << c.good;
        EXPECT_EQ(colour(c.edit), TextColour::Black) << c.edit;
    }
    // A year of fewer than four characters is not looked at yet.
    model.setText(id(names::kWeek), "99");
    model.setText(id(names::kYear), "199");
    EXPECT_EQ(warning(), "53 Limited!");
    EXPECT_TRUE(model.fieldError());
}

TEST_F(CreatorLoad, ATextThatIsNoNumberStopsTheRuleWithAMessage) {
    model.brandNew();
    QSignalSpy spy(&model, &CreatorModel::conversionError);
    model.setText(id(names::kWeek), "60");
    ASSERT_TRUE(model.fieldError());
    for (const auto& [edit, value] :
         {std::pair{names::kProduct, "12a"}, std::pair{names::kYear, "20x6"},
          std::pair{std::string_view("Edit_AudioLPCM_MaxCh"), ""},
          std::pair{std::string_view("Edit_HDR_DCLD_1"), "   "}}) {
        model.setText(id(edit), value);
        EXPECT_EQ(warning(), "53 Limited!") << edit;
        EXPECT_TRUE(model.fieldError()) << edit;
        EXPECT_EQ(model.lastConversionError(), "\"" + std::string(value) + "\" is not a number.");
    }
    EXPECT_EQ(spy.count(), 4);
}

TEST_F(CreatorLoad, TheCecAddressRaisesNoWarning) {
    model.brandNew();
    model.setText(id(names::kCec), "ffff");
    EXPECT_EQ(text(names::kCec), "FFFF");
    EXPECT_EQ(warning(), "");
    EXPECT_FALSE(model.fieldError());
    model.setText(id(names::kWeek), "77");
    model.setText(id(names::kCec), "12345");
    EXPECT_EQ(warning(), "53 Limited!");
}

TEST_F(CreatorLoad, HdrDepthNeedsA4kBoxAndThe420BoxCounts) {
    model.brandNew();
    model.setChecked(id("CheckBox_HDR_1"), true);
    EXPECT_EQ(warning(), "HDR Must Base On 4K!");
    EXPECT_TRUE(model.fieldError());
    EXPECT_EQ(colour("CheckBox_HDR_1"), TextColour::Red);

    model.setChecked(id("CheckBox_YUV420VDB_97"), true);
    EXPECT_EQ(warning(), "");
    EXPECT_FALSE(model.fieldError());
    EXPECT_EQ(colour("CheckBox_HDR_1"), TextColour::Black);

    model.setChecked(id("CheckBox_HDR_2"), true);
    model.setChecked(id("CheckBox_YUV420VDB_97"), false);
    EXPECT_EQ(warning(), "HDR Must Base On 4K!");
    EXPECT_TRUE(model.fieldError());
    EXPECT_EQ(colour("CheckBox_HDR_2"), TextColour::Red);
    EXPECT_EQ(colour("CheckBox_HDR_3"), TextColour::Black); // unchecked: not marked

    // Both checked boxes went red; unchecking one leaves the other red and the flag set.
    model.setChecked(id("CheckBox_HDR_1"), false);
    EXPECT_EQ(colour("CheckBox_HDR_1"), TextColour::Black);
    EXPECT_EQ(colour("CheckBox_HDR_2"), TextColour::Red);
    EXPECT_TRUE(model.fieldError());
    EXPECT_EQ(model.fieldsInError(), std::vector<int>{id("CheckBox_HDR_2")});
    model.setChecked(id("CheckBox_HDR_2"), false);
    EXPECT_FALSE(model.fieldError());
}

// The flag stands for every field still shown red, not for the rule that ran last.
TEST_F(CreatorLoad, AFieldStaysInErrorWhileAnotherIsEditedInRange) {
    model.brandNew();
    model.setText(id(names::kYear), "1989");
    model.setText(id(names::kWeek), "10"); // in range: its rule clears the warning label
    EXPECT_EQ(warning(), "");
    EXPECT_EQ(colour(names::kYear), TextColour::Red);
    EXPECT_TRUE(model.fieldError());
    EXPECT_EQ(model.fieldsInError(), std::vector<int>{id(names::kYear)});
    EXPECT_EQ(model.fieldErrorText(), "Year (1990~2245 Limited!)");

    // Two fields out, named in the order of the pages; the HDR box by its panel and caption.
    model.setChecked(id("CheckBox_HDR_1"), true);
    model.setText(id("Edit_AudioDTS_MaxCh"), "9");
    EXPECT_EQ(model.fieldErrorText(), "Year (1990~2245 Limited!), DTS MaxCh (8 MaxCH Limited!), "
                                      "HDR 4:2:0 16Bit (HDR Must Base On 4K!)");
    model.setText(id(names::kYear), "1990");
    model.setText(id("Edit_AudioDTS_MaxCh"), "8");
    EXPECT_TRUE(model.fieldError()); // the HDR box is still out
    model.setChecked(id("CheckBox_VideoIdCode_97"), true);
    EXPECT_FALSE(model.fieldError());
    EXPECT_EQ(model.fieldErrorText(), "");
}

// A new EDID starts with no field in error and no status from the EDID before.
TEST_F(CreatorLoad, ANewLoadClearsTheErrorsAndLabel3) {
    model.brandNew();
    model.setText(id(names::kYear), "1989");
    model.setText(id(names::kProduct), "65536");
    model.showStatus("Illegal Edid Header.", TextColour::Red);
    model.brandNew();
    EXPECT_FALSE(model.fieldError());
    EXPECT_TRUE(model.fieldsInError().empty());
    EXPECT_EQ(colour(names::kYear), TextColour::Black);
    EXPECT_EQ(text(names::kStatusLabel), "");

    model.setText(id(names::kWeek), "54");
    model.showStatus("Edid Write Fail.", TextColour::Red);
    model.openImage(BrandNewTemplate());
    EXPECT_FALSE(model.fieldError());
    EXPECT_EQ(text(names::kStatusLabel), "");

    model.showStatus("Create Error!", TextColour::Red);
    EdidRecord analysed;
    analysed.image = BrandNewTemplate();
    ASSERT_TRUE(model.copyFrom(analysed));
    EXPECT_EQ(text(names::kStatusLabel), "");
}

TEST_F(CreatorLoad, CouplingsAndWhatTheModelReports) {
    model.brandNew();
    QSignalSpy spy(&model, &CreatorModel::controlsChanged);
    model.setChecked(id("CheckBox_SpeakerPosition_11r"), true);
    ASSERT_EQ(spy.count(), 1);
    auto reported = spy.takeFirst().at(0).value<QList<int>>();
    std::sort(reported.begin(), reported.end());
    QList<int> expected = {id("CheckBox_SpeakerPosition_11"), id("CheckBox_SpeakerPosition_11r")};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(reported, expected);
    EXPECT_TRUE(on("CheckBox_SpeakerPosition_11"));

    model.setChecked(id("CheckBox_AudioFormat_7"), true);
    model.setChecked(id("CheckBox_AudDetial_DTSHD"), true);
    EXPECT_EQ(model.state("Panel_Audio_DTSHD").height, 110);
    model.setChecked(id("CheckBox_AudioFormat_7"), false);
    EXPECT_FALSE(on("CheckBox_AudDetial_DTSHD"));
    EXPECT_EQ(model.state("Panel_Audio_DTSHD").height, 23);
    model.setChecked(id(names::kHdrDetail), true);
    EXPECT_EQ(model.state(names::kHdrPanel).height, 156);

    // Radio buttons: one of the two; they cannot be unchecked by themselves.
    EXPECT_TRUE(model.setChecked(id(names::kDvi), true));
    EXPECT_FALSE(on(names::kHdmi));
    EXPECT_FALSE(model.setChecked(id(names::kDvi), false));
    EXPECT_TRUE(on(names::kDvi));

    spy.clear();
    EXPECT_FALSE(model.setChecked(id("CheckBox_AudioFormat_2"), true)); // hidden
    EXPECT_FALSE(model.setChecked(-1, true));
    EXPECT_FALSE(model.setText(id("CheckBox_AudioFormat_3"), "x"));
    EXPECT_FALSE(model.setChecked(id(names::kWeek), true));
    EXPECT_TRUE(model.setChecked(id("CheckBox_VideoIdCode_16"), true)); // already checked
    EXPECT_EQ(spy.count(), 0);
}

} // namespace
