#include "common/PrintableText.h"

#include <gtest/gtest.h>

using namespace lvx;

TEST(PrintableText, ControlCharactersAreShownAsTheirCodes) {
    EXPECT_EQ(EscapeControls("Meeting Room"), "Meeting Room");
    EXPECT_EQ(EscapeControls("\x1b[31mRED\x07"), "\\x1B[31mRED\\x07");
    EXPECT_EQ(EscapeControls(std::string("a\0b", 3)), "a\\x00b");
    EXPECT_EQ(EscapeControls("tab\there\r\n\x7f"), "tab\\x09here\\x0D\\x0A\\x7F");
    // Latin-1: the C1 controls (0x9B is a one-byte CSI) go, the letters stay.
    EXPECT_EQ(EscapeControls("\x9b"
                             "2J caf\xe9 \xa0"),
              "\\x9B2J caf\xe9 \xa0");
}

TEST(PrintableText, Utf8KeepsItsCharactersWhole) {
    // "é" is C3 A9: its second byte is no control. U+009B is C2 9B.
    EXPECT_EQ(EscapeControls("caf\xc3\xa9 \xc2\x9b"
                             "2J",
                             TextBytes::Utf8),
              "caf\xc3\xa9 \\x9B2J");
    EXPECT_EQ(EscapeControls("\xc2\xa0\x1b", TextBytes::Utf8), "\xc2\xa0\\x1B");
}

TEST(PrintableText, ATraceKeepsItsLineBreaks) {
    EXPECT_EQ(EscapeControls("\r\nCRC Err!\t\x1b[2J", TextBytes::Latin1, true),
              "\r\nCRC Err!\t\\x1B[2J");
}
