#include "DatagramBytes.h"

#include "links/Discovery.h"
#include "links/TlvDatagram.h"

#include <gtest/gtest.h>

using namespace lvx;
using namespace lvx::test;

namespace {

const Bytes kReply{0x02, 0x0E, 0x02, 0x06, 0x00, 0x11, 0x22, 0x33, 0x44,
                   0x55, 0x03, 0x04, 0xC0, 0xA8, 0x01, 0x0A, 0x4A, 0x2C};

struct Tables {
    DeviceTable devices;
    NetworkTable records{};
    DiscoveryStatus accept(const Bytes& datagram) {
        return AcceptDiscoveryReply(datagram.data(), datagram.size(), devices, records);
    }
};

NetworkRecord Parsed(const Bytes& datagram) {
    const DiscoveryResult result =
        ParseDiscoveryReply(datagram.data(), datagram.size(), nullptr, 0);
    EXPECT_EQ(result.status, DiscoveryStatus::Accepted);
    return result.record;
}

} // namespace

TEST(Discovery, ProbeIsTypeOneWithTheCrcOfNothing) {
    EXPECT_EQ(DiscoveryProbe(), (Bytes{0x01, 0x00, 0xFF, 0xFF}));
}

TEST(Discovery, ReplyListsMacAndAddress) {
    Tables t;
    t.devices.records[0].linkKind = LinkKind::Serial;
    t.devices.records[0].vid = "OLD";
    t.devices.records[0].inputCount = 4;
    ASSERT_EQ(t.accept(kReply), DiscoveryStatus::Accepted);
    EXPECT_EQ(t.devices.count, 1);
    const NetworkRecord& r = t.records[0];
    EXPECT_EQ(r.macText, "00:11:22:33:44:55");
    EXPECT_EQ(r.mac, (MacAddress{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}));
    EXPECT_EQ(r.ipAddress, "192.168.1.10");
    EXPECT_EQ(r.productName, "");
    EXPECT_EQ(r.webPort, 0);
    // The device record at that index starts afresh as a network device.
    const DeviceRecord& d = t.devices.records[0];
    EXPECT_EQ(d.linkKind, LinkKind::Network);
    EXPECT_EQ(d.vid, "");
    EXPECT_EQ(d.inputCount, 0);
    EXPECT_EQ(d.inputNodes[0].edidMode(), 255);
    EXPECT_EQ(
        NetworkDeviceRow(0, r),
        (std::array<std::string, 6>{"1", "ETHERNET", "", "", "192.168.1.10", "00:11:22:33:44:55"}));
}

TEST(Discovery, AnySingleByteChangeOfTheEntriesOrCrcFailsTheCrc) {
    for (std::size_t i = 2; i < kReply.size(); ++i) {
        for (int delta = 1; delta < 256; ++delta) {
            Bytes changed = kReply;
            changed[i] = static_cast<std::uint8_t>(changed[i] + delta);
            ASSERT_EQ(ParseDiscoveryReply(changed.data(), changed.size(), nullptr, 0).status,
                      DiscoveryStatus::BadCrc)
                << "byte " << i << " changed by " << delta;
        }
    }
}

TEST(Discovery, TypeAndSizeAreChecked) {
    Bytes wrongType = kReply;
    wrongType[0] = 0x03;
    EXPECT_EQ(ParseDiscoveryReply(wrongType.data(), wrongType.size(), nullptr, 0).status,
              DiscoveryStatus::WrongType);
    // One byte short of L + 4 is rejected; bytes after the CRC do not matter.
    EXPECT_EQ(ParseDiscoveryReply(kReply.data(), kReply.size() - 1, nullptr, 0).status,
              DiscoveryStatus::TooShort);
    const Bytes longer = Concat(kReply, Bytes(600, 0xEE));
    EXPECT_EQ(Parsed(longer).ipAddress, "192.168.1.10");
}

TEST(Discovery, EmptyPayloadListsADeviceWithEmptyTexts) {
    Tables t;
    ASSERT_EQ(t.accept({0x02, 0x00, 0xFF, 0xFF}), DiscoveryStatus::Accepted);
    EXPECT_EQ(t.records[0].mac, MacAddress{});
    EXPECT_EQ(t.records[0].macText, "");
    EXPECT_EQ(NetworkDeviceRow(0, t.records[0]),
              (std::array<std::string, 6>{"1", "ETHERNET", "", "", "", ""}));
    // Without a MAC there is nothing to compare: a second such reply is a second device.
    EXPECT_EQ(t.accept({0x02, 0x00, 0xFF, 0xFF}), DiscoveryStatus::Accepted);
    EXPECT_EQ(t.devices.count, 2);
}

TEST(Discovery, EveryTagIsRendered) {
    const Bytes payload{
        0x01, 0x02, 0x01, 0x02,                  // product ID
        0x04, 0x04, 0xFF, 0xFF, 0xFF, 0x00,      // mask
        0x05, 0x04, 0xC0, 0xA8, 0x01, 0x01,      // gateway
        0x06, 0x04, 0x08, 0x08, 0x04, 0x04,      // DNS
        0x07, 0x01, 0x01,                        // DHCP
        0x08, 0x02, 0x50, 0x00,                  // web port 80
        0x09, 0x02, 0x17, 0x01,                  // telnet port 279
        0x0A, 0x03, 'S',  0x00, 'N',             // a zero byte stays in the text
        0x0B, 0x01, 'x',  0x0C, 0x01, 'y',       // spare texts
        0x0D, 0x04, 'Q',  'E',  'M',  '2',       // product name
        0x0E, 0x05, 'E',  'D',  'I',  'D',  '!', // description
    };
    const NetworkRecord r = Parsed(Framed(2, payload));
    EXPECT_EQ(r.productId, "0201");
    EXPECT_EQ(r.subnetMask, "255.255.255.0");
    EXPECT_EQ(r.gateway, "192.168.1.1");
    EXPECT_EQ(r.dns, "8.8.4.4");
    EXPECT_EQ(r.ipMode, 1);
    EXPECT_EQ(r.webPort, 80);
    EXPECT_EQ(r.telnetPort, 279);
    EXPECT_EQ(r.serialNumber, std::string("S\0N", 3));
    EXPECT_EQ(r.spareText1, "x");
    EXPECT_EQ(r.spareText2, "y");
    EXPECT_EQ(r.productName, "QEM2");
    EXPECT_EQ(r.description, "EDID!");
    EXPECT_EQ(NetworkDeviceRow(6, r)[0], "7");
    EXPECT_EQ(NetworkDeviceRow(6, r)[2], "QEM2");
    EXPECT_EQ(NetworkDeviceRow(6, r)[3], "EDID!");
}

TEST(Discovery, UnknownTagsAreSkippedByTheirLength) {
    const Bytes payload = Concat(Concat({0x00, 0x02, 0x03, 0x04,             // tag 0
                                         0x0F, 0x04, 0x03, 0x04, 0x0A, 0x0A, // tag 15
                                         0xFF, 0x00},                        // tag 255, empty
                                        MacEntryBytes()),
                                 {0x0D, 0x02, 'O', 'K'});
    const NetworkRecord r = Parsed(Framed(2, payload));
    EXPECT_EQ(r.macText, "00:11:22:33:44:55");
    EXPECT_EQ(r.productName, "OK");
    EXPECT_EQ(r.ipAddress, "");
}

TEST(Discovery, FixedSizeEntriesOfAnotherSizeAreSkipped) {
    const Bytes payload{0x02, 0x05, 1,    2,    3, 4, 5, // MAC one byte short
                        0x03, 0x03, 10,   0,    1,       // address one byte short
                        0x08, 0x01, 0x50,                // port one byte short
                        0x07, 0x02, 0x01, 0x00,          // mode one byte long
                        0x0D, 0x01, 'N'};
    const NetworkRecord r = Parsed(Framed(2, payload));
    EXPECT_EQ(r.mac, MacAddress{});
    EXPECT_EQ(r.macText, "");
    EXPECT_EQ(r.ipAddress, "");
    EXPECT_EQ(r.webPort, 0);
    EXPECT_EQ(r.ipMode, 0);
    EXPECT_EQ(r.productName, "N");
}

TEST(Discovery, KnownMacIsDroppedUntilTheNextSearch) {
    Tables t;
    ASSERT_EQ(t.accept(kReply), DiscoveryStatus::Accepted);
    EXPECT_EQ(t.accept(kReply), DiscoveryStatus::Duplicate);
    EXPECT_EQ(t.devices.count, 1);
    const Bytes other = Framed(2, MacEntryBytes(0x56));
    EXPECT_EQ(t.accept(other), DiscoveryStatus::Accepted);
    EXPECT_EQ(t.accept(other), DiscoveryStatus::Duplicate);
    EXPECT_EQ(t.devices.count, 2);
    EXPECT_EQ(t.records[1].macText, "00:11:22:33:44:56");
    // A second MAC entry naming a listed device drops the reply too.
    EXPECT_EQ(t.accept(Framed(2, Concat(MacEntryBytes(0x57), MacEntryBytes(0x55)))),
              DiscoveryStatus::Duplicate);
    // A new Search starts the count at 0: the same device is listed again.
    t.devices.count = 0;
    EXPECT_EQ(t.accept(kReply), DiscoveryStatus::Accepted);
    EXPECT_EQ(t.devices.count, 1);
}

TEST(Discovery, FullDeviceTableIgnoresFurtherReplies) {
    Tables t;
    for (int i = 0; i < kDeviceTableSize; ++i) {
        ASSERT_EQ(t.accept(Framed(2, MacEntryBytes(static_cast<std::uint8_t>(i)))),
                  DiscoveryStatus::Accepted);
    }
    EXPECT_EQ(t.accept(Framed(2, MacEntryBytes(0xF0))), DiscoveryStatus::TableFull);
    EXPECT_EQ(t.devices.count, kDeviceTableSize);
    EXPECT_EQ(t.records[kDeviceTableSize].macText, "");
}

TEST(IpConfigDatagram, ModeChangeToDhcp) {
    const MacAddress mac{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    EXPECT_EQ(BuildIpConfigDatagram({MacEntry(mac), {kTagIpMode, {1}}}),
              (Bytes{0x03, 0x0B, 0x02, 0x06, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x07, 0x01, 0x01,
                     0xAE, 0x25}));
    const Bytes withAddress =
        BuildIpConfigDatagram({MacEntry(mac), {kTagIpAddress, {192, 168, 1, 20}}});
    EXPECT_EQ(Bytes(withAddress.begin() + 10, withAddress.end() - 2),
              (Bytes{0x03, 0x04, 0xC0, 0xA8, 0x01, 0x14}));
    const Bytes port = BuildIpConfigDatagram({PortEntry(kTagWebPort, 8080)});
    EXPECT_EQ(Bytes(port.begin() + 2, port.end() - 2), (Bytes{0x08, 0x02, 0x90, 0x1F}));
    EXPECT_EQ(BuildIpConfigDatagram({}), (Bytes{0x03, 0x00, 0xFF, 0xFF}));
}

TEST(IpConfigDatagram, PayloadLongerThan255BytesIsNotBuilt) {
    EXPECT_EQ(BuildIpConfigDatagram({{kTagSpareText1, Bytes(253, 'a')}}).size(), 259u);
    EXPECT_TRUE(BuildIpConfigDatagram({{kTagSpareText1, Bytes(254, 'a')}}).empty());
    EXPECT_TRUE(
        BuildIpConfigDatagram({{kTagSpareText1, Bytes(200, 'a')}, {kTagSpareText2, Bytes(60, 'b')}})
            .empty());
}
