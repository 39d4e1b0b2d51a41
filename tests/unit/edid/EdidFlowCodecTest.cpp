#include "edid/EdidBlocks.h"
#include "edid/InputModes.h"

#include <gtest/gtest.h>

using namespace lvx;

TEST(edidBlockAnswer, DigitsConvertOneByOneAndLowerCaseGivesZero) {
    EdidImage image{};
    image.fill(0xEE);
    std::string answer;
    for (int i = 0; i < 64; ++i) {
        answer += "A5";
    }
    DecodeEdidBlockAnswer(answer + "1234\n", EdidBlockBase(10), image);
    EXPECT_EQ(image[127], 0xEE);
    EXPECT_EQ(image[128], 0xA5);
    EXPECT_EQ(image[191], 0xA5);
    EXPECT_EQ(image[192], 0xEE);

    DecodeEdidBlockAnswer("ab0F", EdidBlockBase(8), image);
    EXPECT_EQ(image[0], 0x00); // "a" and "b" count as zero
    EXPECT_EQ(image[1], 0x0F);
    // A short answer changes only the bytes it carries.
    EXPECT_EQ(image[2], 0xEE);

    DecodeEdidBlockAnswer("7", EdidBlockBase(11), image);
    EXPECT_EQ(image[192], 0x70);
    EXPECT_EQ(image[193], 0xEE);
    EXPECT_EQ(EdidBlockBase(9), 64u);
    EXPECT_EQ(EdidBlockBase(3), 0u);
}

TEST(edidInputModes, ButtonsAndModeIndexes) {
    const ModeCounts counts{8, 1, 4};
    EXPECT_EQ(ModeIndexOf({ModeColumn::External, 1}, counts), 8);
    EXPECT_EQ(ModeIndexOf({ModeColumn::User, 2}, counts), 10);
    EXPECT_EQ(ModeIndexOf({ModeColumn::Internal, 6}, counts), 5);
    for (int mode = 0; mode < counts.total(); ++mode) {
        const std::optional<ModeButton> button = ButtonOfMode(mode, counts);
        ASSERT_TRUE(button) << mode;
        EXPECT_EQ(ModeIndexOf(*button, counts), mode);
    }
    EXPECT_FALSE(ButtonOfMode(13, counts));
    EXPECT_FALSE(ButtonOfMode(-1, counts));
    EXPECT_FALSE(ButtonOfMode(254, counts));
    // More sources than buttons: the ones beyond eight have no button.
    EXPECT_FALSE(ButtonOfMode(9, ModeCounts{10, 0, 0}));
}

TEST(edidInputModes, AnswerNeedsExactlyTwoDecimalCharactersBeforeTheFormFeed) {
    EXPECT_EQ(ParseModeAnswer("05\x0C"
                              "ABCD\n"),
              5);
    EXPECT_EQ(ParseModeAnswer("12\x0C"), 12);
    EXPECT_FALSE(ParseModeAnswer("5\x0C"));
    EXPECT_FALSE(ParseModeAnswer("123\x0C"));
    EXPECT_FALSE(ParseModeAnswer("0x\x0C"));
    EXPECT_FALSE(ParseModeAnswer("05"));
    EXPECT_FALSE(ParseModeAnswer(""));
}
