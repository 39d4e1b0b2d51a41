#pragma once

#include "links/NetworkRecord.h"
#include "protocol/DeviceRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lvx {

// The 4-byte discovery probe: type 1, empty payload, CRC low byte first (01 00 FF FF).
std::vector<std::uint8_t> DiscoveryProbe();

enum class DiscoveryStatus {
    Accepted,
    WrongType,
    TooShort, // fewer than L + 4 bytes
    BadCrc,
    Malformed, // an entry runs past the payload
    Duplicate, // a MAC entry names a device that is already listed
    TableFull, // the device table holds its 20 devices
};

struct DiscoveryResult {
    DiscoveryStatus status = DiscoveryStatus::WrongType;
    NetworkRecord record; // filled when accepted
};

// Parses a discovery reply into a fresh record. Every MAC entry is compared with the MACs
// known[0] to known[knownCount - 1]. Fixed-size entries (MAC, addresses, IP mode, ports)
// whose length is not their size are skipped. A reply without a MAC entry keeps six zero
// bytes and an empty MAC text. At most kDatagramBufferSize bytes are looked at.
DiscoveryResult ParseDiscoveryReply(const std::uint8_t* data, std::size_t size,
                                    const MacAddress* known, std::size_t knownCount);

// Parses a reply and, when it is accepted, stores it as network record number devices.count,
// starts device record number devices.count afresh as a network device (EDID mode unknown)
// and counts it. A full device table ignores the reply. The duplicate test looks only at the
// network devices of the current Search: a slot a serial device took over still holds the
// network record of an earlier Search.
DiscoveryStatus AcceptDiscoveryReply(const std::uint8_t* data, std::size_t size,
                                     DeviceTable& devices, NetworkTable& records);

// The device-list row of the network device at table index `index`: number (index + 1),
// "ETHERNET", product name, description, IP address, MAC text.
std::array<std::string, 6> NetworkDeviceRow(int index, const NetworkRecord& record);

} // namespace lvx
