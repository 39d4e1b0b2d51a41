#pragma once

// The codes of CTA-861 data blocks that several readers need, each rule in one place.

#include <cstdint>

namespace lvx {

// A short video descriptor's byte: codes 129-192 carry the native flag in bit 7 on VICs
// 1-64; 0 and 128 name no VIC; every other code is its VIC.
constexpr bool SvdNative(std::uint8_t raw) {
    return raw >= 129 && raw <= 192;
}
constexpr std::uint8_t SvdVic(std::uint8_t raw) {
    return SvdNative(raw) ? static_cast<std::uint8_t>(raw & 0x7F) : raw;
}
constexpr bool SvdReserved(std::uint8_t raw) {
    return raw == 0 || raw == 128;
}

// The IEEE OUIs of the vendor-specific data blocks read by their fields: HDMI 1.x (HDMI
// Licensing) and HDMI 2.x (HDMI Forum). They follow the tag byte, least significant first.
constexpr std::uint32_t kOuiHdmi = 0x000C03;
constexpr std::uint32_t kOuiHdmiForum = 0xC45DD8;
constexpr std::uint32_t OuiOf(std::uint8_t first, std::uint8_t second, std::uint8_t third) {
    return first | (second << 8) | (static_cast<std::uint32_t>(third) << 16);
}

} // namespace lvx
