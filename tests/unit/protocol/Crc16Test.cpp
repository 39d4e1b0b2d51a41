#include "protocol/Crc16.h"
#include "protocol/Hex.h"

#include <gtest/gtest.h>

#include <array>

using namespace lvx;

TEST(Crc16, CheckValuesAndTable) {
    EXPECT_EQ(Crc16(kCrcInit, "123456789"), 0x6F91);
    EXPECT_EQ(Crc16(kCrcInit, ""), 0xFFFF);
    EXPECT_EQ(Crc16(kCrcInit, "0001"), 0x5FD5);
    EXPECT_EQ(Crc16(kCrcInit, "55"), 0x5E8C);
    EXPECT_EQ(Crc16(kCrcInit, "0002"), 0x6D4E);
    EXPECT_EQ(Crc16(kCrcInit, "ABC"), 0x60D0);
    EXPECT_EQ(Crc16Table()[0], 0x0000);
    EXPECT_EQ(Crc16Table()[1], 0x1189);
    EXPECT_EQ(Crc16Table()[128], 0x8408);
    EXPECT_EQ(Crc16Table()[255], 0x0F78);
}

TEST(Crc16, RunsOverRawBytesInPieces) {
    const std::array<std::uint8_t, 4> bytes{0x00, 0x11, 0x22, 0x33};
    const std::uint16_t whole = Crc16(kCrcInit, bytes.data(), bytes.size());
    const std::uint16_t half = Crc16(kCrcInit, bytes.data(), 2);
    EXPECT_EQ(Crc16(half, bytes.data() + 2, 2), whole);
}

TEST(Hex, ByteToHexIsUppercaseHighNibbleFirst) {
    EXPECT_EQ(ByteToHex(0x00), "00");
    EXPECT_EQ(ByteToHex(0xAB), "AB");
    EXPECT_EQ(ByteToHex(0x0F), "0F");
    EXPECT_EQ(Hex4(0x6F91), "6F91");
}

TEST(Hex, HexToBytesAcceptsBothCasesAndKeepsOddRules) {
    std::array<std::uint8_t, 4> out{};
    HexToBytes("0a1B", out.data(), out.size());
    EXPECT_EQ(out[0], 0x0A);
    EXPECT_EQ(out[1], 0x1B);

    // A bad first character keeps the previous byte and only adds the low nibble.
    out = {0x50, 0, 0, 0};
    HexToBytes("G3", out.data(), out.size());
    EXPECT_EQ(out[0], 0x53);

    // A bad second character adds nothing.
    HexToBytes("7Z", out.data(), out.size());
    EXPECT_EQ(out[0], 0x70);

    // An odd trailing character yields only its high nibble.
    out = {};
    HexToBytes("123", out.data(), out.size());
    EXPECT_EQ(out[0], 0x12);
    EXPECT_EQ(out[1], 0x30);

    // Never writes beyond the output.
    std::array<std::uint8_t, 2> small{};
    HexToBytes("11223344", small.data(), 1);
    EXPECT_EQ(small[0], 0x11);
    EXPECT_EQ(small[1], 0x00);
}
