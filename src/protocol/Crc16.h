#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace lvx {

// CRC-16/MCRF4XX: polynomial 0x1021 bit-reversed (0x8408), reflected, no final XOR.
// The protocol always starts from 0xFFFF, over hexadecimal text on the serial link and
// over raw bytes in datagrams.
constexpr std::uint16_t kCrcInit = 0xFFFF;

std::uint16_t Crc16(std::uint16_t init, const std::uint8_t* data, std::size_t count);
std::uint16_t Crc16(std::uint16_t init, std::string_view text);

// The 256-entry table, exposed for tests.
const std::uint16_t* Crc16Table();

} // namespace lvx
