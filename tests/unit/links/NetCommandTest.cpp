#include "DatagramBytes.h"

#include "links/NetCommand.h"

#include <gtest/gtest.h>

using namespace lvx;
using namespace lvx::test;

namespace {

const MacAddress kMac{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};

struct Target {
    DeviceRecord device;
    EdidImage edid{};
    CommandReplyResult apply(const Bytes& datagram) {
        return ApplyCommandReply(datagram.data(), datagram.size(), device, edid);
    }
};

} // namespace

TEST(CommandDatagram, VendorIdQuery) {
    EXPECT_EQ(BuildCommandDatagram(kMac, netcmd::kVendorId),
              (Bytes{0x05, 0x08, 0x02, 0x06, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x00, 0x0E, 0xE0,
                     0xC9, 0x0C, 0x00}));
}

TEST(CommandDatagram, DataFollowsTheItemAndCountsInN) {
    const Bytes read = BuildCommandDatagram(kMac, netcmd::kOutputEdidRead, {0x01});
    ASSERT_EQ(read.size(), 17u);
    EXPECT_EQ(read[10], 0x00);
    EXPECT_EQ(read[11], 15);
    EXPECT_EQ(Bytes(read.begin() + 14, read.end()), (Bytes{0x03, 0x04, 0x01}));

    EdidImage image{};
    image[0] = 0xAB;
    image[255] = 0xCD;
    const Bytes upload =
        BuildCommandDatagram(kMac, netcmd::kUserEdidWrite, EdidUploadData(0x2003, image));
    ASSERT_EQ(upload.size(), 16u + 257u);
    EXPECT_EQ(upload[10] << 8 | upload[11], 14 + 257);
    EXPECT_EQ(upload[16], 0x03); // low byte of the node selector
    EXPECT_EQ(upload[17], 0xAB);
    EXPECT_EQ(upload.back(), 0xCD);

    const Bytes text = BuildCommandDatagram(kMac, netcmd::kProductString, ProductStringData("Hi"));
    EXPECT_EQ(Bytes(text.begin() + 16, text.end()), (Bytes{'H', 'i', 0}));
}

TEST(CommandDatagram, CommandsWithoutRequestDataSendNone) {
    EXPECT_EQ(BuildCommandDatagram(kMac, netcmd::kVendorId, {1, 2, 3}),
              BuildCommandDatagram(kMac, netcmd::kVendorId));
    EXPECT_EQ(BuildCommandDatagram(kMac, {0x40, 0x41}, {1, 2, 3}).size(), 16u);
    EXPECT_TRUE(BuildCommandDatagram(kMac, netcmd::kProductString, Bytes(kMaxCommandData + 1, 'x'))
                    .empty());
}

TEST(CommandDatagram, DeviceSideDecodeChecksLengthAndCrc) {
    const Bytes datagram = BuildCommandDatagram(kMac, netcmd::kInputEdidRead, {0x02});
    const auto request = ParseCommandDatagram(datagram.data(), datagram.size());
    ASSERT_TRUE(request.has_value());
    EXPECT_EQ(request->mac, kMac);
    EXPECT_EQ(request->id, netcmd::kInputEdidRead);
    EXPECT_EQ(request->data, Bytes{0x02});
    for (std::size_t i = 1; i < datagram.size(); ++i) {
        Bytes changed = datagram;
        changed[i] ^= 0x01;
        EXPECT_FALSE(ParseCommandDatagram(changed.data(), changed.size())) << "byte " << i;
    }
    EXPECT_FALSE(ParseCommandDatagram(datagram.data(), datagram.size() - 1));
}

TEST(CommandReply, IdentityTextsArePaddedOnTheLeft) {
    Target t;
    EXPECT_EQ(t.apply(CommandReplyBytes(12, 0, {'1', '2', 0})).effect, ReplyEffect::Applied);
    EXPECT_EQ(t.device.vid, "  12");
    t.apply(CommandReplyBytes(12, 1, {'2', '0', '3', '7', '9'}));
    EXPECT_EQ(t.device.pid, "20379");
    t.apply(CommandReplyBytes(12, 3, {'S', 'N', '1', 0, 'x', 'y'}));
    EXPECT_EQ(t.device.serialNumber, "         SN1");
    t.apply(CommandReplyBytes(1, 2, {'1', '.', '0', 0}));
    EXPECT_EQ(t.device.version, "v 1.0");
    t.apply(CommandReplyBytes(1, 2, {}));
    EXPECT_EQ(t.device.version, "v    ");
    EXPECT_EQ(PadLeft("abcd", 4), "abcd");
}

TEST(CommandReply, CountsComeFromTheFirstDataByte) {
    Target t;
    t.apply(CommandReplyBytes(2, 0, {4, 9}));
    t.apply(CommandReplyBytes(3, 0, {2}));
    t.apply(CommandReplyBytes(9, 0, {3}));
    EXPECT_EQ(t.device.inputCount, 4);
    EXPECT_EQ(t.device.outputCount, 2);
    EXPECT_EQ(t.device.userEdidCount, 3);
    EXPECT_EQ(t.apply(CommandReplyBytes(2, 0, {})).effect, ReplyEffect::Ignored);
    EXPECT_EQ(t.device.inputCount, 4);
}

TEST(CommandReply, OnlyWholeEdidReadsReachTheImage) {
    for (const NetCommandId id : {netcmd::kInputEdidRead, netcmd::kOutputEdidRead,
                                  netcmd::kUserEdidRead, netcmd::kInternalEdidRead}) {
        Target t;
        Bytes full(300);
        for (std::size_t i = 0; i < full.size(); ++i) {
            full[i] = static_cast<std::uint8_t>(i * 7 + id.group);
        }
        ASSERT_EQ(t.apply(CommandReplyBytes(id.group, id.item, full)).effect, ReplyEffect::Applied);
        EXPECT_TRUE(std::equal(t.edid.begin(), t.edid.end(), full.begin()));

        // A short reply (three bytes, or one byte short) would mix old and new bytes.
        t.edid.fill(0x11);
        EXPECT_EQ(t.apply(CommandReplyBytes(id.group, id.item, {0xA0, 0xA1, 0xA2})).effect,
                  ReplyEffect::Ignored);
        EXPECT_EQ(t.apply(CommandReplyBytes(id.group, id.item, Bytes(255, 0xA0))).effect,
                  ReplyEffect::Ignored);
        EXPECT_EQ(std::count(t.edid.begin(), t.edid.end(), 0x11), 256);
    }
}

TEST(CommandReply, OtherRepliesChangeNothing) {
    Target t;
    t.device.vid = "keep";
    t.edid.fill(0x22);
    const DeviceRecord before = t.device;
    for (const Bytes& datagram :
         {CommandReplyBytes(7, 7, {1, 2, 3}), CommandReplyBytes(2, 6, {1, 2, 3}),
          CommandReplyBytes(1, 3, {'x', 0}), Bytes{0x05, 0, 0, 0, 0, 12}, Bytes{0x05}}) {
        EXPECT_EQ(t.apply(datagram).effect, ReplyEffect::Ignored);
    }
    EXPECT_EQ(t.apply({0x02, 0x00, 0xFF, 0xFF}).effect, ReplyEffect::NotCommand);
    EXPECT_EQ(t.apply({}).effect, ReplyEffect::NotCommand);
    EXPECT_EQ(t.device.vid, before.vid);
    EXPECT_EQ(t.device.inputCount, before.inputCount);
    EdidImage unchanged{};
    unchanged.fill(0x22);
    EXPECT_EQ(t.edid, unchanged);
}
