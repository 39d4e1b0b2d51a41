#include "links/Discovery.h"

#include "links/TlvDatagram.h"
#include "protocol/Hex.h"

#include <algorithm>

namespace lvx {
namespace {

std::string DottedText(const std::uint8_t* bytes, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text += '.';
        }
        text += std::to_string(bytes[i]);
    }
    return text;
}

// Fixed-size tags and their sizes; 0 for tags of any length.
std::size_t FixedSize(std::uint8_t tag) {
    switch (tag) {
    case kTagMac:
        return 6;
    case kTagIpAddress:
    case kTagSubnetMask:
    case kTagGateway:
    case kTagDns:
        return 4;
    case kTagIpMode:
        return 1;
    case kTagWebPort:
    case kTagTelnetPort:
        return 2;
    default:
        return 0;
    }
}

void AppendText(std::string& text, const TlvField& field) {
    text.append(reinterpret_cast<const char*>(field.value), field.size);
}

void ApplyField(NetworkRecord& record, const TlvField& field) {
    const std::size_t fixed = FixedSize(field.tag);
    if (fixed != 0 && field.size != fixed) {
        return;
    }
    const std::uint8_t* v = field.value;
    switch (field.tag) {
    case kTagProductId:
        for (std::size_t i = 0; i < field.size; ++i) {
            record.productId = ByteToHex(v[i]) + record.productId;
        }
        break;
    case kTagMac:
        std::copy(v, v + 6, record.mac.begin());
        record.macText = MacText(record.mac);
        break;
    case kTagIpAddress:
        record.ipAddress = DottedText(v, 4);
        break;
    case kTagSubnetMask:
        record.subnetMask = DottedText(v, 4);
        break;
    case kTagGateway:
        record.gateway = DottedText(v, 4);
        break;
    case kTagDns:
        record.dns = DottedText(v, 4);
        break;
    case kTagIpMode:
        record.ipMode = v[0];
        break;
    case kTagWebPort:
        record.webPort = v[0] | (v[1] << 8);
        break;
    case kTagTelnetPort:
        record.telnetPort = v[0] | (v[1] << 8);
        break;
    case kTagSerialNumber:
        AppendText(record.serialNumber, field);
        break;
    case kTagSpareText1:
        AppendText(record.spareText1, field);
        break;
    case kTagSpareText2:
        AppendText(record.spareText2, field);
        break;
    case kTagProductName:
        AppendText(record.productName, field);
        break;
    case kTagDescription:
        AppendText(record.description, field);
        break;
    default: // tag 0 and tags above 14
        break;
    }
}

bool IsKnownMac(const MacAddress& mac, const MacAddress* known, std::size_t knownCount) {
    return known != nullptr && std::find(known, known + knownCount, mac) != known + knownCount;
}

} // namespace

std::vector<std::uint8_t> DiscoveryProbe() {
    return BuildTlvDatagram(kProbeType, {});
}

DiscoveryResult ParseDiscoveryReply(const std::uint8_t* data, std::size_t size,
                                    const MacAddress* known, std::size_t knownCount) {
    DiscoveryResult result;
    std::vector<TlvField> fields;
    switch (
        ReadTlvDatagram(data, std::min(size, kDatagramBufferSize), kDiscoveryReplyType, fields)) {
    case TlvStatus::Ok:
        break;
    case TlvStatus::WrongType:
        return result;
    case TlvStatus::TooShort:
        result.status = DiscoveryStatus::TooShort;
        return result;
    case TlvStatus::BadCrc:
        result.status = DiscoveryStatus::BadCrc;
        return result;
    case TlvStatus::Malformed:
        result.status = DiscoveryStatus::Malformed;
        return result;
    }
    for (const TlvField& field : fields) {
        ApplyField(result.record, field);
        if (field.tag == kTagMac && field.size == 6 &&
            IsKnownMac(result.record.mac, known, knownCount)) {
            result.status = DiscoveryStatus::Duplicate;
            result.record = NetworkRecord{};
            return result;
        }
    }
    result.status = DiscoveryStatus::Accepted;
    return result;
}

DiscoveryStatus AcceptDiscoveryReply(const std::uint8_t* data, std::size_t size,
                                     DeviceTable& devices, NetworkTable& records) {
    if (devices.full()) {
        return DiscoveryStatus::TableFull;
    }
    const int count = std::max(devices.count, 0);
    std::array<MacAddress, kDeviceTableSize> known{};
    std::size_t knownCount = 0;
    for (int i = 0; i < count && i < kDeviceTableSize; ++i) {
        if (devices.records[static_cast<std::size_t>(i)].linkKind == LinkKind::Network) {
            known[knownCount++] = records[static_cast<std::size_t>(i)].mac;
        }
    }
    DiscoveryResult result = ParseDiscoveryReply(data, size, known.data(), knownCount);
    if (result.status != DiscoveryStatus::Accepted) {
        return result.status;
    }
    records[static_cast<std::size_t>(count)] = std::move(result.record);
    // Nothing of an earlier Search's device at this index survives into the new one.
    DeviceRecord& device = devices.records[static_cast<std::size_t>(count)];
    device = DeviceRecord{};
    device.linkKind = LinkKind::Network;
    device.inputNodes[0].edidMode() = 255;
    devices.count = count + 1;
    return DiscoveryStatus::Accepted;
}

std::array<std::string, 6> NetworkDeviceRow(int index, const NetworkRecord& record) {
    return {std::to_string(index + 1), "ETHERNET",       record.productName,
            record.description,        record.ipAddress, record.macText};
}

} // namespace lvx
