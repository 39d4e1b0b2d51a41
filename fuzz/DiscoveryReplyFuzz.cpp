// Discovery replies as the receive handler takes them: a sequence of datagrams into one
// device table, so that duplicates, a full table and stale records of an earlier Search are
// in play. Each datagram is
//   flags  length(2 bytes, high first)  bytes[length]
// flags: 0x01 type 2 and a right CRC (the payload length is cut to what the datagram holds),
//        0x02 a new Search begins before it (the device count goes back to 0),
//        0x04 a serial device takes the next slot before it (as when a COM port answers in
//             the middle of a Search); its slot keeps the network record of an earlier one.

#include "FuzzDatagrams.h"
#include "FuzzSupport.h"

#include "links/Discovery.h"
#include "links/TlvDatagram.h"

using namespace lvx;
using lvx::fuzz::ByteReader;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    DeviceTable devices;
    static NetworkTable records; // static for its size only: emptied for every input
    records.fill(NetworkRecord{});

    while (!in.empty()) {
        const std::uint8_t flags = in.byte();
        std::vector<std::uint8_t> datagram = in.bytes(in.u16() % 1200);
        if (flags & 0x01) {
            if (!datagram.empty()) {
                datagram[0] = kDiscoveryReplyType;
            }
            fuzz::FixTlvCrc(datagram);
        }
        if (flags & 0x02) {
            devices.count = 0;
            devices.selected = 0;
        }
        if ((flags & 0x04) && !devices.full()) {
            DeviceRecord& serial = devices.records[static_cast<std::size_t>(devices.count++)];
            serial = DeviceRecord{};
            serial.linkKind = LinkKind::Serial;
        }

        const int before = devices.count;
        // A reply is a duplicate of the network devices of this Search only.
        std::vector<MacAddress> listed;
        for (int i = 0; i < before && i < kDeviceTableSize; ++i) {
            if (!devices.records[static_cast<std::size_t>(i)].isSerial()) {
                listed.push_back(records[static_cast<std::size_t>(i)].mac);
            }
        }
        const DiscoveryResult parsed =
            ParseDiscoveryReply(datagram.data(), datagram.size(), listed.data(), listed.size());
        const DiscoveryStatus status =
            AcceptDiscoveryReply(datagram.data(), datagram.size(), devices, records);
        LVX_FUZZ_CHECK(devices.count <= kDeviceTableSize);
        if (before >= kDeviceTableSize) {
            LVX_FUZZ_CHECK(status == DiscoveryStatus::TableFull);
            LVX_FUZZ_CHECK(devices.count == before);
            continue;
        }
        LVX_FUZZ_CHECK(status == parsed.status);
        if (status != DiscoveryStatus::Accepted) {
            LVX_FUZZ_CHECK(devices.count == before);
            continue;
        }
        LVX_FUZZ_CHECK(devices.count == before + 1);
        const NetworkRecord& added = records[static_cast<std::size_t>(before)];
        LVX_FUZZ_CHECK(added.productName == parsed.record.productName);
        LVX_FUZZ_CHECK(added.description == parsed.record.description);
        LVX_FUZZ_CHECK(added.mac == parsed.record.mac);
        if (!added.macText.empty()) {
            LVX_FUZZ_CHECK(added.macText.size() == 17);
            for (const MacAddress& mac : listed) {
                LVX_FUZZ_CHECK(mac != added.mac);
            }
        }
        LVX_FUZZ_CHECK(added.ipMode >= 0 && added.ipMode <= 255);
        LVX_FUZZ_CHECK(added.webPort >= 0 && added.webPort <= 0xFFFF);
        const DeviceRecord& device = devices.records[static_cast<std::size_t>(before)];
        LVX_FUZZ_CHECK(device.linkKind == LinkKind::Network);
        LVX_FUZZ_CHECK(device.inputNodes[0].edidMode() == 255);
        const std::array<std::string, 6> row = NetworkDeviceRow(before, added);
        LVX_FUZZ_CHECK(row[0] == std::to_string(before + 1));
        LVX_FUZZ_CHECK(row[5] == added.macText);
    }
    return 0;
}
