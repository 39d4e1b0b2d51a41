#include "protocol/Crc16.h"

#include <array>

namespace lvx {
namespace {

constexpr std::array<std::uint16_t, 256> makeTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t value = static_cast<std::uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            value = (value & 1) ? static_cast<std::uint16_t>((value >> 1) ^ 0x8408)
                                : static_cast<std::uint16_t>(value >> 1);
        }
        table[i] = value;
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kTable = makeTable();

} // namespace

const std::uint16_t* Crc16Table() {
    return kTable.data();
}

std::uint16_t Crc16(std::uint16_t init, const std::uint8_t* data, std::size_t count) {
    std::uint16_t crc = init;
    for (std::size_t i = 0; i < count; ++i) {
        crc = static_cast<std::uint16_t>(kTable[(crc ^ data[i]) & 0xFF] ^ (crc >> 8));
    }
    return crc;
}

std::uint16_t Crc16(std::uint16_t init, std::string_view text) {
    return Crc16(init, reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

} // namespace lvx
