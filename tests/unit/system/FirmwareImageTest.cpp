// The firmware file's header and the arithmetic of the transfer, on byte vectors.
#include "system/FirmwareImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

using namespace lvx;

namespace {

using Bytes = std::vector<std::uint8_t>;

// A file of `size` bytes of 0x11 with the header written at 512 (as much of it as fits).
Bytes FileWithHeader(std::size_t size, const std::string& header) {
    Bytes file(size, 0x11);
    for (std::size_t i = 0; i < header.size() && 512 + i < size; ++i) {
        file[512 + i] = static_cast<std::uint8_t>(header[i]);
    }
    return file;
}

// "FW VER:", the byte not examined, 8 version bytes, vendor and product ID.
std::string Header(const std::string& version8, const std::string& vendor,
                   const std::string& product) {
    return std::string("FW VER:") + "?" + version8 + vendor + product;
}

} // namespace

TEST(FirmwareHeader, ReadsTheTargetAndShowsIt) {
    const Bytes file = FileWithHeader(4096, Header(std::string("1.23\0\0\0\0", 8), "AB12", "2037"));
    const std::optional<FirmwareHeader> header = ParseFirmwareHeader(file.data(), file.size());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->version, "1.23");
    EXPECT_EQ(header->vendorId, "AB12");
    EXPECT_EQ(header->productId, "2037");
    EXPECT_EQ(FirmwareTargetLabel(*header), "Target :   VID-AB12     PID-2037     Version-1.23");
}

TEST(FirmwareHeader, VersionWithoutZeroStopsAtItsEightBytes) {
    const Bytes file = FileWithHeader(600, Header("V1.2.345", "VEND", "PROD"));
    const std::optional<FirmwareHeader> header = ParseFirmwareHeader(file.data(), file.size());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->version, "V1.2.345");
    EXPECT_EQ(header->vendorId, "VEND");
}

TEST(FirmwareHeader, MissingOrCutShortIsRefused) {
    // 518 bytes cannot hold the seven characters at 512.
    const Bytes short518 = FileWithHeader(518, Header("1.0", "", ""));
    EXPECT_FALSE(ParseFirmwareHeader(short518.data(), short518.size()));
    // 519 bytes hold the mark; the fields past the end read as nothing.
    const Bytes cut519 = FileWithHeader(519, "FW VER:");
    const std::optional<FirmwareHeader> header = ParseFirmwareHeader(cut519.data(), cut519.size());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->version, "");
    EXPECT_EQ(header->productId, "");
    // A vendor ID cut by the end of the file keeps what is there.
    const Bytes cut530 = FileWithHeader(530, Header(std::string(8, '\0'), "AB12", ""));
    EXPECT_EQ(ParseFirmwareHeader(cut530.data(), cut530.size())->vendorId, "AB");

    const Bytes wrongMark = FileWithHeader(4096, "FW ver:?1.0");
    EXPECT_FALSE(ParseFirmwareHeader(wrongMark.data(), wrongMark.size()));
    const Bytes moved = FileWithHeader(4096, " FW VER:");
    EXPECT_FALSE(ParseFirmwareHeader(moved.data(), moved.size()));
    EXPECT_FALSE(ParseFirmwareHeader(nullptr, 0));
}

TEST(FirmwareImage, BlocksPastTheEndAreErasedBytes) {
    Bytes file(100);
    std::iota(file.begin(), file.end(), 0);
    const FirmwareImage image(file);
    const Bytes second = image.block(64, 64);
    ASSERT_EQ(second.size(), 64u);
    for (std::size_t i = 0; i < 36; ++i) {
        EXPECT_EQ(second[i], 64 + i);
    }
    EXPECT_EQ(Bytes(second.begin() + 36, second.end()), Bytes(28, 0xFF));
    EXPECT_EQ(image.block(4096, 4), Bytes(4, 0xFF));
    EXPECT_EQ(image.at(99), 99);
    EXPECT_EQ(image.at(100), 0xFF);
}

TEST(FirmwareTransferCodec, AddressBytesOfBothLoaders) {
    EXPECT_EQ(FirmwareAddressBytes(1, 0x1240), (Bytes{0x12, 0x40}));
    EXPECT_EQ(FirmwareAddressBytes(2, 2048), (Bytes{0x00, 0x00, 0x08, 0x00}));
    EXPECT_EQ(FirmwareAddressBytes(2, 0x01020304), (Bytes{0x01, 0x02, 0x03, 0x04}));
    EXPECT_EQ(LoaderBlockSize(1), 64u);
    EXPECT_EQ(LoaderBlockSize(2), 128u);
}

TEST(FirmwareTransferCodec, KindOneTakesNoMoreThanSixtyFourKiB) {
    // The last block of a 65536-byte image starts at 0xFFC0; one more byte would wrap.
    EXPECT_TRUE(FirmwareFitsLoader(1, 65536));
    EXPECT_FALSE(FirmwareFitsLoader(1, 65537));
    EXPECT_TRUE(FirmwareFitsLoader(2, 1u << 20));
}

TEST(FirmwareTransferCodec, PageSumIsSixteenBitsAndWrittenWithFiveDigits) {
    EXPECT_EQ(PageSumText(1234), "01234");
    EXPECT_EQ(PageSumText(0), "00000");
    EXPECT_EQ(PageSumText(65535), "65535");
    EXPECT_EQ(AddToPageSum(0xFFFF, Bytes{2}), 1);
    // A whole page of 0xFF: 2048 x 255 = 522240, modulo 65536 = 63488.
    std::uint16_t sum = 0;
    for (int block = 0; block < 16; ++block) {
        sum = AddToPageSum(sum, Bytes(128, 0xFF));
    }
    EXPECT_EQ(sum, 522240 % 65536);
    EXPECT_EQ(ProgressPercent(64, 100), 64);
    EXPECT_EQ(ProgressPercent(1920, 2100), 91);
}

TEST(FirmwareTransferCodec, PageCheckAnswerFromTheReceiveBuffer) {
    EXPECT_EQ(ReadPageCheckAnswer("").state, PageCheckAnswer::State::None);
    EXPECT_EQ(ReadPageCheckAnswer("OK\r\n$CH").state, PageCheckAnswer::State::None);
    EXPECT_EQ(ReadPageCheckAnswer("$CHK012").state, PageCheckAnswer::State::Partial);

    const PageCheckAnswer whole = ReadPageCheckAnswer("$CHK01234\r\n");
    EXPECT_EQ(whole.state, PageCheckAnswer::State::Complete);
    EXPECT_EQ(whole.sum, "01234");
    EXPECT_EQ(whole.text, "01234");
    // Something before the answer does not move the sum.
    EXPECT_EQ(ReadPageCheckAnswer("OK\r\n$CHK65535\r\n").sum, "65535");
    // A line that ends before five characters is complete, and cannot match a sum.
    const PageCheckAnswer shortLine = ReadPageCheckAnswer("$CHK12\r\n");
    EXPECT_EQ(shortLine.state, PageCheckAnswer::State::Complete);
    EXPECT_NE(shortLine.sum, "00012");
}

TEST(FirmwareTransferCodec, WarningLineNamesThePageEndAndTheDeviceSum) {
    EXPECT_EQ(PageWarningLine(0x800, "01235"), "Warnning: Add:800, Check:01235");
    EXPECT_EQ(PageWarningLine(0x1f000, "12"), "Warnning: Add:1f000, Check:  12");
}
