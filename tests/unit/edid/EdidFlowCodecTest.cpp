#include "edid/EdidBlocks.h"
#include "edid/InputModes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace lvx;

TEST(edidBlockAnswer, OneBlockIsExactlySixtyFourBytesOfHexadecimalText) {
    EdidImage image{};
    image.fill(0xEE);
    std::string block;
    for (int i = 0; i < 64; ++i) {
        block += "A5";
    }
    EXPECT_TRUE(DecodeEdidBlockAnswer(block + "1234\n", EdidBlockBase(10), image));
    EXPECT_EQ(image[127], 0xEE);
    EXPECT_EQ(image[128], 0xA5);
    EXPECT_EQ(image[191], 0xA5);
    EXPECT_EQ(image[192], 0xEE);
    EXPECT_EQ(EdidBlockBase(9), 64u);
    EXPECT_EQ(EdidBlockBase(3), 0u);

    // Well formed answers of another shape are no block: the image keeps every byte.
    const EdidImage before = image;
    std::string lower = block;
    lower[10] = 'a';
    const std::vector<std::string> others = {"OK1234\n",
                                             "0011223344556677889900112233445566778899"
                                             "1234\n",
                                             "1\f0\f0\fT\fT\fF\fT\fF\f1234\n",
                                             block + "00" + "1234\n",
                                             block.substr(2) + "1234\n",
                                             lower + "1234\n",
                                             block + "1234",
                                             block};
    for (const std::string& answer : others) {
        EXPECT_FALSE(IsEdidBlockAnswer(answer)) << answer;
        EXPECT_FALSE(DecodeEdidBlockAnswer(answer, EdidBlockBase(8), image)) << answer;
        EXPECT_EQ(image, before) << answer;
    }
    EXPECT_TRUE(IsEdidBlockAnswer(block + "1234\n"));
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
