#include "protocol/Hex.h"

namespace lvx {

namespace {
constexpr char kDigits[] = "0123456789ABCDEF";
}

std::string ByteToHex(std::uint8_t value) {
    return std::string{kDigits[value >> 4], kDigits[value & 0x0F]};
}

std::string Hex4(std::uint16_t value) {
    return ByteToHex(static_cast<std::uint8_t>(value >> 8)) +
           ByteToHex(static_cast<std::uint8_t>(value & 0xFF));
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

void HexToBytes(std::string_view text, std::uint8_t* out, std::size_t outSize) {
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const std::size_t index = i / 2;
        if (index >= outSize) {
            return;
        }
        const int high = HexDigitValue(text[i]);
        if (high >= 0) {
            out[index] = static_cast<std::uint8_t>(high << 4);
        }
        if (i + 1 < text.size()) {
            const int low = HexDigitValue(text[i + 1]);
            if (low >= 0) {
                out[index] = static_cast<std::uint8_t>(out[index] + low);
            }
        }
    }
}

} // namespace lvx
