#include "links/TlvDatagram.h"

#include "protocol/Crc16.h"

namespace lvx {

TlvEntry MacEntry(const MacAddress& mac) {
    return {kTagMac, {mac.begin(), mac.end()}};
}

TlvEntry PortEntry(std::uint8_t tag, std::uint16_t port) {
    return {tag, {static_cast<std::uint8_t>(port & 0xFF), static_cast<std::uint8_t>(port >> 8)}};
}

std::vector<std::uint8_t> BuildTlvDatagram(std::uint8_t type,
                                           const std::vector<TlvEntry>& entries) {
    std::vector<std::uint8_t> out{type, 0};
    for (const TlvEntry& entry : entries) {
        if (entry.value.size() > 0xFF || out.size() + 2 + entry.value.size() > 2 + 0xFF) {
            return {};
        }
        out.push_back(entry.tag);
        out.push_back(static_cast<std::uint8_t>(entry.value.size()));
        out.insert(out.end(), entry.value.begin(), entry.value.end());
    }
    const std::size_t payload = out.size() - 2;
    out[1] = static_cast<std::uint8_t>(payload);
    const std::uint16_t crc = Crc16(kCrcInit, out.data() + 2, payload);
    out.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    out.push_back(static_cast<std::uint8_t>(crc >> 8));
    return out;
}

std::vector<std::uint8_t> BuildIpConfigDatagram(const std::vector<TlvEntry>& entries) {
    return BuildTlvDatagram(kIpConfigType, entries);
}

TlvStatus ReadTlvDatagram(const std::uint8_t* data, std::size_t size, std::uint8_t type,
                          std::vector<TlvField>& fields) {
    fields.clear();
    if (size == 0 || data[0] != type) {
        return TlvStatus::WrongType;
    }
    if (size < 2) {
        return TlvStatus::TooShort;
    }
    const std::size_t payload = data[1];
    if (size < payload + 4) {
        return TlvStatus::TooShort;
    }
    const std::uint16_t crc = Crc16(kCrcInit, data + 2, payload);
    if (data[payload + 2] != (crc & 0xFF) || data[payload + 3] != (crc >> 8)) {
        return TlvStatus::BadCrc;
    }
    const std::size_t end = payload + 2; // one past the last payload byte
    std::size_t p = 2;
    while (p <= payload) {
        const std::uint8_t tag = data[p];
        const std::size_t n = data[p + 1];
        p += 2;
        if (p + n > end) {
            fields.clear();
            return TlvStatus::Malformed;
        }
        fields.push_back({tag, data + p, n});
        p += n;
    }
    return TlvStatus::Ok;
}

} // namespace lvx
