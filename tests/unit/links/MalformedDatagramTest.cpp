// Datagrams no device would send: whatever arrives must not crash, must not read outside
// the datagram (the sanitizer build watches) and must not list a device.

#include "DatagramBytes.h"

#include "links/Discovery.h"
#include "links/NetCommand.h"

#include <gtest/gtest.h>

#include <random>

using namespace lvx;
using namespace lvx::test;

namespace {

struct Receiver {
    DeviceTable devices;
    NetworkTable records{};
    EdidImage edid{};

    // What the receive handler does with one datagram.
    void receive(const Bytes& datagram) {
        if (datagram.empty()) {
            return;
        }
        // An exact-size heap copy, so that a read past the end is caught.
        const std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[datagram.size()]);
        std::copy(datagram.begin(), datagram.end(), copy.get());
        if (copy[0] == kCommandType) {
            ApplyCommandReply(copy.get(), datagram.size(), devices.current(), edid);
        } else {
            AcceptDiscoveryReply(copy.get(), datagram.size(), devices, records);
        }
    }
};

Bytes Random(std::mt19937& random, std::size_t size) {
    std::uniform_int_distribution<int> byte(0, 255);
    Bytes out(size);
    for (std::uint8_t& b : out) {
        b = static_cast<std::uint8_t>(byte(random));
    }
    return out;
}

} // namespace

TEST(MalformedDatagram, RandomContentOfEveryLengthListsNothing) {
    std::mt19937 random(20240611);
    Receiver r;
    for (std::size_t size = 0; size <= 1100; ++size) {
        Bytes datagram = Random(random, size);
        r.receive(datagram);
        if (size > 0) {
            // The same bytes as a discovery reply and as a command reply.
            datagram[0] = kDiscoveryReplyType;
            r.receive(datagram);
            datagram[0] = kCommandType;
            r.receive(datagram);
            ParseCommandDatagram(datagram.data(), datagram.size());
        }
    }
    EXPECT_EQ(r.devices.count, 0);
}

TEST(MalformedDatagram, RandomEntriesWithAGoodCrcStayInsideThePayload) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> length(0, 255);
    int listed = 0;
    for (int round = 0; round < 3000; ++round) {
        const Bytes payload = Random(random, static_cast<std::size_t>(length(random)));
        const Bytes datagram = Framed(kDiscoveryReplyType, payload);
        const std::unique_ptr<std::uint8_t[]> copy(new std::uint8_t[datagram.size()]);
        std::copy(datagram.begin(), datagram.end(), copy.get());
        const DiscoveryResult result = ParseDiscoveryReply(copy.get(), datagram.size(), nullptr, 0);
        ASSERT_TRUE(result.status == DiscoveryStatus::Accepted ||
                    result.status == DiscoveryStatus::Malformed);
        if (result.status == DiscoveryStatus::Accepted) {
            ++listed;
            const NetworkRecord& rec = result.record;
            EXPECT_LE(rec.productName.size() + rec.description.size() + rec.serialNumber.size() +
                          rec.spareText1.size() + rec.spareText2.size() + rec.productId.size() / 2,
                      payload.size());
        }
    }
    EXPECT_GT(listed, 0); // some random walks fit exactly, so the accepting path ran too
}

TEST(MalformedDatagram, EntryRunningPastThePayloadDropsTheReply) {
    Receiver r;
    // The last entry claims 5 value bytes where 2 are left; then one that claims 200.
    r.receive(Framed(2, Concat(MacEntryBytes(), {0x0D, 0x05, 'A', 'B'})));
    r.receive(Framed(2, {0x0E, 0xC8, 'x'}));
    // An entry whose length byte is the last payload byte and points past it.
    r.receive(Framed(2, {0x0D, 0x01}));
    EXPECT_EQ(r.devices.count, 0);
    // A lone tag byte at the end of the payload is no entry: the reply is good.
    r.receive(Framed(2, Concat(MacEntryBytes(), {0x0D})));
    ASSERT_EQ(r.devices.count, 1);
    EXPECT_EQ(r.records[0].productName, "");
}

TEST(MalformedDatagram, LengthLargerThanTheDatagramIsRejected) {
    Receiver r;
    const Bytes good = Framed(2, Concat(MacEntryBytes(), {0x0D, 0x02, 'O', 'K'}));
    for (std::size_t size = 1; size < good.size(); ++size) {
        r.receive(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size)));
    }
    Bytes claimsMore = good;
    claimsMore[1] = 0xFF;
    r.receive(claimsMore);
    EXPECT_EQ(r.devices.count, 0);
    r.receive(good);
    EXPECT_EQ(r.devices.count, 1);
}

TEST(MalformedDatagram, OversizedCommandReplyIsCutToTheReceiveBuffer) {
    Receiver r;
    Bytes huge = CommandReplyBytes(10, 1, Bytes(2000, 0x5A));
    r.receive(huge);
    EXPECT_EQ(r.edid[255], 0x5A);
    // A version text with no zero byte ends where the receive buffer ends.
    r.receive(CommandReplyBytes(1, 2, Bytes(3000, 'v')));
    EXPECT_EQ(r.devices.current().version.size(), 1 + kDatagramBufferSize - 7);
}
