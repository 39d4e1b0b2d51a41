#include "protocol/Frame.h"
#include "protocol/CommandTable.h"
#include "protocol/Crc16.h"
#include "protocol/Hex.h"

#include <gtest/gtest.h>

#include <vector>

using namespace lvx;

TEST(Frame, FramesOfTheCommandTable) {
    EXPECT_EQ(BuildFrame(ModeGet, CmdSysDscpt), "$GET SYS_DSCPT FFFF\r\n");
    EXPECT_EQ(BuildFrame(ModeSet, CmdFwEnd), "$SET FW_END FFFF\r\n");
    EXPECT_EQ(BuildFrame(ModeGet, CmdEntrance), "$ENTRANCE FFFF\r\n");
    const std::uint8_t def = 0x55;
    EXPECT_EQ(BuildFrame(ModeSet, CmdSysDef, &def, 1), "$SET SYS_DEF 555E8C\r\n");
    const std::uint8_t node[2] = {0x00, 0x02};
    EXPECT_EQ(BuildFrame(ModeSet, CmdNdSel, node, 2), "$SET ND_SEL 00026D4E\r\n");
    // A GET carries no payload whatever the caller passes.
    EXPECT_EQ(BuildFrame(ModeGet, CmdNdEd0A, node, 2), "$GET ND_ED0A FFFF\r\n");
    EXPECT_EQ(BuildFrame(ModeSet, CmdSysStm, node, 0), "$SET SYS_STM FFFF\r\n");
}

TEST(Frame, SixtyFourBytePayloadIsUppercaseHexUnderItsOwnCrc) {
    std::vector<std::uint8_t> payload(64);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<std::uint8_t>(0xA0 + i);
    }
    const std::string frame = BuildFrame(ModeSet, CmdNdEd0A, payload.data(), payload.size());
    const std::string prefix = "$SET ND_ED0A ";
    ASSERT_EQ(frame.substr(0, prefix.size()), prefix);
    const std::string hex = frame.substr(prefix.size(), 128);
    for (char c : hex) {
        EXPECT_TRUE((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) << c;
    }
    EXPECT_EQ(frame.substr(prefix.size() + 128), Hex4(Crc16(kCrcInit, hex)) + "\r\n");
}

TEST(Frame, PiecesAreHeaderPairsAndTrailer) {
    const std::uint8_t bytes[3] = {0x01, 0xAB, 0xFF};
    const std::vector<std::string> pieces = BuildFramePieces(ModeSet, CmdComConfig, bytes, 3);
    ASSERT_EQ(pieces.size(), 5u);
    EXPECT_EQ(pieces[0], "$SET COM_CONFIG ");
    EXPECT_EQ(pieces[1], "01");
    EXPECT_EQ(pieces[2], "AB");
    EXPECT_EQ(pieces[3], "FF");
    EXPECT_EQ(pieces[4], Hex4(Crc16(kCrcInit, "01ABFF")) + "\r\n");
}

TEST(Frame, CommandNamesRoundTrip) {
    for (int i = 0; i < kCommandCount; ++i) {
        EXPECT_EQ(CommandByName(CommandName(static_cast<std::uint16_t>(i))), i);
    }
    EXPECT_TRUE(CommandName(CmdWakeUp).empty());
    EXPECT_EQ(CommandByName("NOPE"), -1);
}

TEST(Answer, CrcCoversTheBodyAndIsCaseSensitive) {
    EXPECT_EQ(CheckAnswer("ABC60D0\n"), AnswerCheck::Valid);
    EXPECT_EQ(CheckAnswer("ABC60d0\n"), AnswerCheck::BadCrc);
    EXPECT_EQ(CheckAnswer("ABD60D0\n"), AnswerCheck::BadCrc);
    EXPECT_EQ(CheckAnswer("\r\n"), AnswerCheck::TooShort);
    EXPECT_EQ(CheckAnswer("FFFF\n"), AnswerCheck::TooShort);
    // The shortest answer: an empty body would need 5 characters, so six is the minimum.
    EXPECT_EQ(CheckAnswer("A" + Hex4(Crc16(kCrcInit, "A")) + "\n"), AnswerCheck::Valid);
    EXPECT_EQ(CheckAnswer("xFFFF\n"), AnswerCheck::BadCrc);
}
