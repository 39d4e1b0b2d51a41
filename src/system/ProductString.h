#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lvx {

// A device keeps at most 63 characters of product string.
constexpr std::size_t kProductStringLimit = 63;

// "63 Letters Limited!" shows while the edit holds 64 characters or more; typing goes on.
inline bool ProductStringTooLong(const std::string& text) {
    return text.size() > kProductStringLimit;
}

// The text that is stored and sent: the first 63 characters.
inline std::string ProductStringStored(const std::string& text) {
    return text.substr(0, kProductStringLimit);
}

// What goes out for a text: its first 63 characters, or one space for an empty text (the
// device is never sent an empty name). SYS_STR carries these bytes; the network command
// carries them and a zero byte.
inline std::vector<std::uint8_t> ProductStringBytes(const std::string& text) {
    if (text.empty()) {
        return {0x20};
    }
    const std::string stored = ProductStringStored(text);
    return {stored.begin(), stored.end()};
}

} // namespace lvx
