#pragma once

#include "protocol/Crc16.h"

#include <cstdint>
#include <vector>

namespace lvx::test {

using Bytes = std::vector<std::uint8_t>;

// A type 2 or 3 datagram around this payload: type, L, payload, CRC low byte first.
inline Bytes Framed(std::uint8_t type, const Bytes& payload) {
    Bytes out{type, static_cast<std::uint8_t>(payload.size())};
    out.insert(out.end(), payload.begin(), payload.end());
    const std::uint16_t crc = Crc16(kCrcInit, payload.data(), payload.size());
    out.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    out.push_back(static_cast<std::uint8_t>(crc >> 8));
    return out;
}

inline Bytes Concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The MAC entry of 00:11:22:33:44:55 with its last byte replaced.
inline Bytes MacEntryBytes(std::uint8_t last = 0x55) {
    return {0x02, 0x06, 0x00, 0x11, 0x22, 0x33, 0x44, last};
}

// A command reply as a device sends it: 05, four bytes, group, item, data.
inline Bytes CommandReplyBytes(std::uint8_t group, std::uint8_t item, const Bytes& data) {
    Bytes out{0x05, 0, 0, 0, 0, group, item};
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

} // namespace lvx::test
