#pragma once

// Making fuzzed datagrams pass their integrity checks, so that a target reaches the code
// behind them. Each helper is written from the datagram layouts, apart from the code that
// parses them.

#include "protocol/Crc16.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace lvx::fuzz {

// Types 1 to 3: type, payload length L, L payload bytes, CRC low byte first. L is cut to
// what the datagram holds; bytes after the CRC stay.
inline void FixTlvCrc(std::vector<std::uint8_t>& datagram) {
    if (datagram.size() < 4) {
        return;
    }
    const std::size_t payload = std::min<std::size_t>(datagram[1], datagram.size() - 4);
    datagram[1] = static_cast<std::uint8_t>(payload);
    const std::uint16_t crc = Crc16(kCrcInit, datagram.data() + 2, payload);
    datagram[payload + 2] = static_cast<std::uint8_t>(crc & 0xFF);
    datagram[payload + 3] = static_cast<std::uint8_t>(crc >> 8);
}

// Type 5 requests: the fixed header 05 08 02 06, N = size - 2 high byte first at 10, and the
// CRC over bytes 2 to the end with bytes 10 to 13 zero, high byte first at 12.
inline void FixCommandHeader(std::vector<std::uint8_t>& datagram) {
    if (datagram.size() < 16) {
        return;
    }
    datagram[0] = 0x05;
    datagram[1] = 0x08;
    datagram[2] = 0x02;
    datagram[3] = 0x06;
    const std::size_t n = datagram.size() - 2;
    std::vector<std::uint8_t> zeroed = datagram;
    std::fill(zeroed.begin() + 10, zeroed.begin() + 14, 0);
    const std::uint16_t crc = Crc16(kCrcInit, zeroed.data() + 2, zeroed.size() - 2);
    datagram[10] = static_cast<std::uint8_t>(n >> 8);
    datagram[11] = static_cast<std::uint8_t>(n & 0xFF);
    datagram[12] = static_cast<std::uint8_t>(crc >> 8);
    datagram[13] = static_cast<std::uint8_t>(crc & 0xFF);
}

} // namespace lvx::fuzz
