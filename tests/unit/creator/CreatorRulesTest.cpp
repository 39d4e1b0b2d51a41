// The rules' edits of the image in the hex table: block 0 live, block 1's video and audio
// data blocks as a preview, with the colours that say what changed.
#include "creator/BrandNewTemplate.h"
#include "creator/CreatorControls.h"
#include "creator/CreatorModel.h"
#include "creator/EdidWorkImage.h"
#include "unit/edid/EdidTestImages.h"

#include <gtest/gtest.h>

using namespace lvx;
using namespace lvx::test;

namespace {

class CreatorRules : public ::testing::Test {
protected:
    EdidWorkImage hex;
    CreatorModel model{hex};

    void SetUp() override {
        model.setClock([] { return CalendarDate{2026, 12, 7}; });
    }
    int id(std::string_view name) const { return CreatorModel::idOf(name); }
    CellColour cell(int offset) const { return hex.colourAt(offset); }
    Bytes shown(int offset, int count) const { return hex.readBytes(offset, count); }
    // The checksum block 0 needs, computed here from the bytes shown.
    std::uint8_t needed0() const {
        unsigned sum = 0;
        for (int i = 0; i < 127; ++i) {
            sum += hex.byteAt(i);
        }
        return static_cast<std::uint8_t>((256 - sum % 256) % 256);
    }
};

TEST_F(CreatorRules, ManufacturerLettersArePackedAndTheLoadedNameRestoredWhite) {
    model.brandNew();
    model.setText(id(names::kManufacturer), "ABC");
    EXPECT_EQ(shown(8, 2), (Bytes{0x04, 0x43}));
    EXPECT_EQ(cell(8), kCellYellow);
    EXPECT_EQ(hex.byteAt(127), needed0());
    EXPECT_EQ(cell(127), kCellGreen);
    model.setText(id(names::kManufacturer), "NEW");
    EXPECT_EQ(shown(8, 2), (Bytes{0x38, 0xB7}));
    EXPECT_EQ(cell(8), kCellWhite);
    EXPECT_EQ(cell(127), kCellWhite);
    // A missing letter counts as code 0: "AB" packs A, B and '@'.
    model.setText(id(names::kManufacturer), "AB");
    EXPECT_EQ(shown(8, 2), (Bytes{0x04, 0x40}));
    // Four letters: over the limit, the first three still written, in red.
    model.setText(id(names::kManufacturer), "ABCD");
    EXPECT_EQ(shown(8, 2), (Bytes{0x04, 0x43}));
    EXPECT_EQ(cell(9), kCellRed);
}

TEST_F(CreatorRules, YearWeekProductAndSerial) {
    model.brandNew();
    model.setText(id(names::kYear), "2245");
    EXPECT_EQ(hex.byteAt(17), 0xFF);
    EXPECT_EQ(cell(17), kCellYellow);
    model.setText(id(names::kYear), "1989");
    EXPECT_EQ(model.text(names::kWarningLabel), "1990~2245 Limited!");
    EXPECT_EQ(hex.byteAt(17), 0xFF); // (1989 - 1990) modulo 256
    EXPECT_EQ(cell(17), kCellRed);
    model.setText(id(names::kYear), "199");
    EXPECT_EQ(hex.byteAt(17), 0xFF);
    EXPECT_EQ(cell(17), kCellRed);
    model.setText(id(names::kYear), "2026");
    EXPECT_EQ(hex.byteAt(17), 36);
    EXPECT_EQ(cell(17), kCellWhite);

    model.setText(id(names::kWeek), "7");
    EXPECT_EQ(hex.byteAt(16), 7);
    model.setText(id(names::kWeek), "");
    EXPECT_EQ(hex.byteAt(16), 7); // an empty text writes nothing

    model.setText(id(names::kProduct), "4660");
    EXPECT_EQ(shown(10, 2), (Bytes{0x34, 0x12}));
    model.setText(id(names::kProduct), "70000"); // 70000 - 65536 = 4464 = 0x1170
    EXPECT_EQ(shown(10, 2), (Bytes{0x70, 0x11}));
    EXPECT_EQ(cell(10), kCellRed);

    model.setText(id(names::kSerial), "4294967295");
    EXPECT_EQ(shown(12, 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(cell(12), kCellYellow);
    // A serial number in range leaves the product code of 70000 out of range.
    EXPECT_TRUE(model.fieldError());
    EXPECT_EQ(model.fieldsInError(), std::vector<int>{id(names::kProduct)});
    model.setText(id(names::kSerial), "4294967297"); // 2^32 + 1: over, written modulo 2^32
    EXPECT_TRUE(model.fieldError());
    EXPECT_EQ(shown(12, 4), (Bytes{0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(cell(12), kCellRed);
    model.setText(id(names::kSerial), "0");
    EXPECT_EQ(cell(12), kCellWhite);
    EXPECT_EQ(hex.byteAt(127), needed0());
}

TEST_F(CreatorRules, MonitorNameFillsThirteenBytes) {
    model.brandNew();
    const int at = 0x5A + 5; // descriptor 3's text
    model.setText(id(names::kMonitor), "TV");
    EXPECT_EQ(shown(at, 13),
              (Bytes{'T', 'V', 0x0A, ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '}));
    EXPECT_EQ(cell(at), kCellYellow);
    const std::string thirteen = "ABCDEFGHIJKLM";
    model.setText(id(names::kMonitor), thirteen);
    EXPECT_EQ(shown(at, 13), Bytes(thirteen.begin(), thirteen.end()));
    model.setText(id(names::kMonitor), "BrandNewEdid");
    EXPECT_EQ(shown(at, 13),
              Bytes(BrandNewTemplate().begin() + at, BrandNewTemplate().begin() + at + 13));
    EXPECT_EQ(cell(at + 12), kCellWhite);
    // Without a name descriptor in the loaded EDID the name has no place: nothing changes.
    const EdidImage plain = Image(0);
    model.openImage(plain);
    model.setText(id(names::kMonitor), "TV");
    EXPECT_EQ(hex.bytes(), plain);
}

TEST_F(CreatorRules, EstablishedBitsTurnWhiteWhenBackAsLoaded) {
    model.brandNew(); // byte 35 = 0x21
    model.setChecked(id("CheckBox_EstablishTiming_1"), true);
    EXPECT_EQ(hex.byteAt(35), 0xA1);
    EXPECT_EQ(cell(35), kCellYellow);
    model.setChecked(id("CheckBox_EstablishTiming_1"), false);
    EXPECT_EQ(hex.byteAt(35), 0x21);
    EXPECT_EQ(cell(35), kCellWhite);
    model.setChecked(id("CheckBox_EstablishTiming_17"), true);
    EXPECT_EQ(hex.byteAt(37), 0x80);
    model.setChecked(id("CheckBox_EstablishTiming_9"), true);
    EXPECT_EQ(hex.byteAt(36), 0x80);
}

TEST_F(CreatorRules, StandardTimingSlots) {
    // Slot 2 holds 0xA940 as loaded; the others are unused (0x0101) or hold other codes.
    EdidImage image =
        Image(0, {{38, {1, 1, 1, 1, 0xA9, 0x40, 0x31, 0x40, 1, 1, 1, 1, 1, 1, 1, 1}}});
    model.openImage(image);
    ASSERT_TRUE(model.checked("CheckBox_StandardTiming_3"));
    model.setChecked(id("CheckBox_StandardTiming_3"), false); // at its loaded slot, yellow
    EXPECT_EQ(shown(42, 2), (Bytes{0x01, 0x01}));
    EXPECT_EQ(cell(42), kCellYellow);
    model.setChecked(id("CheckBox_StandardTiming_3"), true); // back, white
    EXPECT_EQ(shown(42, 2), (Bytes{0xA9, 0x40}));
    EXPECT_EQ(cell(42), kCellWhite);
    model.setChecked(id("CheckBox_StandardTiming_1"), true); // the first free slot
    EXPECT_EQ(shown(38, 2), (Bytes{0x81, 0x80}));
    EXPECT_EQ(cell(38), kCellYellow);
    model.setChecked(id("CheckBox_StandardTiming_1"), false); // not loaded: white
    EXPECT_EQ(shown(38, 2), (Bytes{0x01, 0x01}));
    EXPECT_EQ(cell(38), kCellWhite);

    // All eight slots in use: checking "75Hz" of 1600 x 1200 changes nothing.
    Bytes full;
    for (int i = 0; i < 8; ++i) {
        full.push_back(0x31);
        full.push_back(static_cast<std::uint8_t>(0x40 + i));
    }
    image = Image(0, {{38, full}});
    model.openImage(image);
    model.setChecked(id("CheckBox_StandardTiming_5"), true);
    EXPECT_EQ(hex.bytes(), image);
}

TEST_F(CreatorRules, VicGoesBackToItsLoadedIndexOrToTheEnd) {
    const EdidImage image = Cta({{0x44, 0x90, 0x04, 0x1F, 0x05}}); // 16 native, 4, 31, 5
    model.openImage(image);
    model.setChecked(id("CheckBox_VideoIdCode_31"), false);
    EXPECT_EQ(shown(132, 4), (Bytes{0x43, 0x90, 0x04, 0x05}));
    EXPECT_EQ(hex.byteAt(130), 8);
    EXPECT_EQ(cell(132), kCellYellow);
    EXPECT_EQ(cell(254), kCellGrey); // the freed cell at the end

    model.setChecked(id("CheckBox_VideoIdCode_31"), true); // loaded at index 2
    EXPECT_EQ(shown(132, 5), (Bytes{0x44, 0x90, 0x04, 0x1F, 0x05}));
    EXPECT_EQ(cell(135), kCellOrange);
    EXPECT_EQ(cell(134), kCellYellow);
    EXPECT_EQ(hex.byteAt(130), 9);

    model.setChecked(id("CheckBox_VideoIdCode_19"), true); // not loaded: at the end
    EXPECT_EQ(shown(132, 6), (Bytes{0x45, 0x90, 0x04, 0x1F, 0x05, 19}));
    EXPECT_EQ(cell(137), kCellOrange);
    EXPECT_EQ(hex.byteAt(130), 10);
    unsigned sum = 0;
    for (int i = 128; i < 255; ++i) {
        sum += hex.byteAt(i);
    }
    EXPECT_EQ(hex.byteAt(255), (256 - sum % 256) % 256);

    // The native VIC 16 is found by its number.
    model.setChecked(id("CheckBox_VideoIdCode_16"), false);
    EXPECT_EQ(shown(132, 5), (Bytes{0x44, 0x04, 0x1F, 0x05, 19}));
}

TEST_F(CreatorRules, AFullVideoBlockTakesNoMoreVics) {
    Bytes block = {0x5F};
    for (int i = 0; i < 31; ++i) {
        block.push_back(static_cast<std::uint8_t>(110 + i)); // VICs the creator has no box for
    }
    const EdidImage image = Cta({block});
    model.openImage(image);
    model.setChecked(id("CheckBox_VideoIdCode_16"), true);
    EXPECT_EQ(hex.bytes(), image);
}

TEST_F(CreatorRules, HdrDepthWithout4kEditsNoImage) {
    const EdidImage image = Cta({{0x42, 0x5D, 0x10}}); // VIC 93 and 16
    model.openImage(image);
    model.setChecked(id("CheckBox_HDR_2"), true);
    EXPECT_FALSE(model.fieldError());
    model.setChecked(id("CheckBox_VideoIdCode_93"), false); // the last 4K box
    EXPECT_TRUE(model.fieldError());
    EXPECT_EQ(hex.bytes(), image);
    // Checked again: the block still holds 93, so it is not put in a second time.
    model.setChecked(id("CheckBox_VideoIdCode_93"), true);
    EXPECT_FALSE(model.fieldError());
    EXPECT_EQ(hex.bytes(), image);
}

TEST_F(CreatorRules, BasicBoxInsertsAndRemovesTheTwoChannelDescriptor) {
    const EdidImage image = Cta({{0x26, 0x0F, 0x07, 0x07, 0x09, 0x06, 0x05}});
    model.openImage(image);
    ASSERT_TRUE(model.checked("CheckBox_AudioFormat_1"));
    // Unchecking removes the descriptor whose first byte is 0x09, not the last one.
    model.setChecked(id("CheckBox_AudioFormat_1"), false);
    EXPECT_EQ(shown(132, 4), (Bytes{0x23, 0x0F, 0x07, 0x07}));
    EXPECT_EQ(hex.byteAt(130), 8);
    EXPECT_EQ(cell(132), kCellYellow);
    // Checking puts it first, from the L-PCM frequency and sample-size boxes.
    model.setChecked(id("CheckBox_AudioLPCM_Freq_1"), false);
    model.setChecked(id("CheckBox_AudioLPCM_SamBit_1"), false);
    model.setChecked(id("CheckBox_AudioFormat_1"), true);
    // The boxes show the later (two-channel) descriptor: 48 and 44.1 kHz, 24 and 16 bit.
    EXPECT_EQ(shown(132, 7), (Bytes{0x26, 0x09, 0x06, 0x01, 0x0F, 0x07, 0x07}));
    EXPECT_EQ(hex.byteAt(130), 11);
    // The last descriptor gone: the header turns red.
    model.openImage(Cta({{0x23, 0x09, 0x07, 0x07}}));
    model.setChecked(id("CheckBox_AudioFormat_1"), false);
    EXPECT_EQ(hex.byteAt(132), 0x20);
    EXPECT_EQ(cell(132), kCellRed);
}

TEST_F(CreatorRules, NothingIsEditedBeforeALoadOrWithoutTheBlock) {
    model.setChecked(id("CheckBox_VideoIdCode_16"), true);
    model.setText(id(names::kManufacturer), "ABC");
    EXPECT_FALSE(hex.holdsByte(0));
    const EdidImage image = Cta({{0x23, 0x09, 0x07, 0x07}}); // no video block
    model.openImage(image);
    model.setChecked(id("CheckBox_VideoIdCode_16"), true);
    EXPECT_EQ(hex.bytes(), image);
    // The CEC address and the 4:2:0 boxes never touch the image.
    model.setText(id(names::kCec), "ABCD");
    model.setChecked(id("CheckBox_YUV420VDB_96"), true);
    EXPECT_EQ(hex.bytes(), image);
}

} // namespace
