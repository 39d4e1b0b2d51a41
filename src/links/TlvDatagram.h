#pragma once

#include "links/NetworkRecord.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lvx {

// Every datagram is copied into a receive buffer of this size; longer ones are cut.
constexpr std::size_t kDatagramBufferSize = 1024;

// Byte 0 of every datagram.
enum DatagramType : std::uint8_t {
    kProbeType = 1,
    kDiscoveryReplyType = 2,
    kIpConfigType = 3,
    kCommandType = 5,
};

// Entry tags of discovery replies and IP configuration datagrams.
enum NetTag : std::uint8_t {
    kTagProductId = 1,
    kTagMac = 2,
    kTagIpAddress = 3,
    kTagSubnetMask = 4,
    kTagGateway = 5,
    kTagDns = 6,
    kTagIpMode = 7,
    kTagWebPort = 8,
    kTagTelnetPort = 9,
    kTagSerialNumber = 10,
    kTagSpareText1 = 11,
    kTagSpareText2 = 12,
    kTagProductName = 13,
    kTagDescription = 14,
};

// One entry to be sent: tag, then the value's length and bytes.
struct TlvEntry {
    std::uint8_t tag = 0;
    std::vector<std::uint8_t> value;
};

TlvEntry MacEntry(const MacAddress& mac);
// A 16-bit value, low byte first (tags 8 and 9).
TlvEntry PortEntry(std::uint8_t tag, std::uint16_t port);

// Type, payload length L, the entries, CRC-16 over the entries low byte first: L + 4 bytes.
// Empty when the entries do not fit in a one-byte payload length.
std::vector<std::uint8_t> BuildTlvDatagram(std::uint8_t type, const std::vector<TlvEntry>& entries);
// The type-3 datagram that writes a device's network settings; its first entry is
// normally the device's MAC.
std::vector<std::uint8_t> BuildIpConfigDatagram(const std::vector<TlvEntry>& entries);

// One received entry; value points into the datagram.
struct TlvField {
    std::uint8_t tag = 0;
    const std::uint8_t* value = nullptr;
    std::size_t size = 0;
};

enum class TlvStatus {
    Ok,
    WrongType, // empty, or byte 0 is not the expected type
    TooShort,  // fewer than L + 4 bytes received
    BadCrc,
    Malformed, // an entry's value runs past the payload
};

// Checks type, size and CRC of a type 1, 2 or 3 datagram and lists its entries in order.
// Entries start at offset 2 and are read while their offset is at most L; a single byte left
// at the end of the payload is not an entry. Bytes after the CRC are ignored.
TlvStatus ReadTlvDatagram(const std::uint8_t* data, std::size_t size, std::uint8_t type,
                          std::vector<TlvField>& fields);

} // namespace lvx
