#include "devsim/net/SimNetDevice.h"

#include "links/NetCommand.h"
#include "links/TlvDatagram.h"
#include "protocol/Crc16.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace lvx {
namespace {

constexpr std::uint8_t kUnknownTag = 0x2A;

std::vector<std::uint8_t> TextBytes(const std::string& text) {
    return {text.begin(), text.end()};
}

std::vector<std::uint8_t> ZeroEnded(const std::string& text) {
    std::vector<std::uint8_t> bytes = TextBytes(text);
    bytes.push_back(0);
    return bytes;
}

// 05, N (length - 2) and a CRC-16 over group, item and data, both high byte first (the
// program does not look at them), then group, item, data.
std::vector<std::uint8_t> CommandReply(NetCommandId id, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> out{kCommandType, 0, 0, 0, 0, id.group, id.item};
    out.insert(out.end(), data.begin(), data.end());
    const std::size_t n = out.size() - 2;
    const std::uint16_t crc = Crc16(kCrcInit, out.data() + 5, out.size() - 5);
    out[1] = static_cast<std::uint8_t>(n >> 8);
    out[2] = static_cast<std::uint8_t>(n & 0xFF);
    out[3] = static_cast<std::uint8_t>(crc >> 8);
    out[4] = static_cast<std::uint8_t>(crc & 0xFF);
    return out;
}

std::string CommandName(NetCommandId id) {
    return std::to_string(id.group) + "," + std::to_string(id.item);
}

void SetDescriptor(EdidImage& image, std::size_t offset, std::uint8_t tag, const char* text) {
    image[offset + 3] = tag;
    std::size_t i = 0;
    for (; text[i] != '\0' && i < 13; ++i) {
        image[offset + 5 + i] = static_cast<std::uint8_t>(text[i]);
    }
    if (i < 13) {
        image[offset + 5 + i++] = 0x0A;
    }
    for (; i < 13; ++i) {
        image[offset + 5 + i] = 0x20;
    }
}

void SetChecksum(EdidImage& image, std::size_t block) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < kEdidBlockSize - 1; ++i) {
        sum += image[block * kEdidBlockSize + i];
    }
    image[block * kEdidBlockSize + kEdidBlockSize - 1] = static_cast<std::uint8_t>(-sum & 0xFF);
}

} // namespace

EdidImage DefaultSimEdid(std::uint16_t selector) {
    static const std::uint8_t kBase[] = {
        0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, // header
        0x32, 0xD8, 0x01, 0x00,                         // "LVX", product 1
        0x00, 0x00, 0x00, 0x00,                         // serial number, set below
        0x01, 0x22, 0x01, 0x03,                         // week 1 of 2024, EDID 1.3
        0x80, 0x3C, 0x22, 0x78, 0x0A,                   // digital, 60 x 34 cm, gamma 2.2
        0xEE, 0x91, 0xA3, 0x54, 0x4C, 0x99, 0x26, 0x0F, 0x50, 0x54, // chromaticity
        0x21, 0x08, 0x00,                                           // established timings
        0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01,             // no standard timings
        0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01,
        // 1920x1080 at 60 Hz
        0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58, 0x2C, 0x45, 0x00, 0x56, 0x50, 0x21,
        0x00, 0x00, 0x1E,
        // range limits 56-75 Hz, 30-83 kHz, 170 MHz
        0x00, 0x00, 0x00, 0xFD, 0x00, 0x38, 0x4B, 0x1E, 0x53, 0x11, 0x00, 0x0A, 0x20, 0x20, 0x20,
        0x20, 0x20, 0x20};
    EdidImage image{};
    std::memcpy(image.data(), kBase, sizeof(kBase));
    image[12] = static_cast<std::uint8_t>(selector & 0xFF);
    image[13] = static_cast<std::uint8_t>(selector >> 8);
    static const char* const kKinds[] = {"IN", "OUT", "USER", "INT"};
    const std::string name = std::string("SIM ") + kKinds[(selector >> 12) & 3] + " " +
                             std::to_string((selector & 0xFFF) + 1);
    SetDescriptor(image, 90, 0xFC, name.c_str());
    image[108 + 3] = 0x10; // dummy descriptor
    image[126] = 1;        // one extension
    SetChecksum(image, 0);
    // CTA-861 extension: a video data block with VIC 16 (native), no detailed timings.
    const std::uint8_t extension[] = {0x02, 0x03, 0x06, 0x00, 0x41, 0x90};
    std::memcpy(image.data() + kEdidBlockSize, extension, sizeof(extension));
    SetChecksum(image, 1);
    return image;
}

SimNetDevice::SimNetDevice(SimNetDeviceSettings settings) : settings_(std::move(settings)) {}

EdidImage SimNetDevice::edid(std::uint16_t selector) const {
    const auto found = settings_.edids.find(selector);
    return found != settings_.edids.end() ? found->second : DefaultSimEdid(selector);
}

int SimNetDevice::nodeCount(int kind) const {
    switch (kind) {
    case 0:
        return settings_.inputs;
    case 1:
        return settings_.outputs;
    case 2:
        return settings_.users;
    default:
        return settings_.internals;
    }
}

std::vector<std::uint8_t> SimNetDevice::discoveryReply() const {
    const SimNetDeviceSettings& s = settings_;
    std::vector<TlvEntry> entries{
        {kTagProductId, s.productIdBytes},
        MacEntry(s.mac),
        {kTagIpAddress, {s.ipAddress.begin(), s.ipAddress.end()}},
        {kTagSubnetMask, {s.subnetMask.begin(), s.subnetMask.end()}},
        {kTagGateway, {s.gateway.begin(), s.gateway.end()}},
        {kTagDns, {s.dns.begin(), s.dns.end()}},
        {kTagIpMode, {s.ipMode}},
        PortEntry(kTagWebPort, s.webPort),
        PortEntry(kTagTelnetPort, s.telnetPort),
        {kTagSerialNumber, TextBytes(s.serialNumber)},
        {kTagSpareText1, TextBytes(s.spareText1)},
        {kTagSpareText2, TextBytes(s.spareText2)},
        {kTagProductName, TextBytes(s.productName)},
        {kTagDescription, TextBytes(s.description)},
    };
    if (s.faults.unknownTag) {
        entries.insert(entries.begin() + 3, TlvEntry{kUnknownTag, {0xDE, 0xAD, 0x00}});
    }
    return BuildTlvDatagram(kDiscoveryReplyType, entries);
}

SimNetDevice::Outcome SimNetDevice::handle(const std::uint8_t* data, std::size_t size) {
    size = std::min(size, kDatagramBufferSize);
    if (size == 0) {
        return {};
    }
    switch (data[0]) {
    case kProbeType: {
        std::vector<TlvField> fields;
        if (ReadTlvDatagram(data, size, kProbeType, fields) != TlvStatus::Ok) {
            return {{}, "bad probe ignored"};
        }
        return answerProbe();
    }
    case kCommandType:
        return answerCommand(data, size);
    case kIpConfigType:
        return applyIpConfig(data, size);
    default:
        return {};
    }
}

SimNetDevice::Outcome SimNetDevice::answerProbe() const {
    std::vector<std::uint8_t> reply = discoveryReply();
    if (reply.empty()) {
        return {{}, "discovery reply too long, not sent"};
    }
    std::string note = "probe answered";
    if (settings_.faults.badCrc) {
        reply.back() ^= 0x5A;
        note += " with a bad CRC";
    }
    if (settings_.faults.truncated) {
        reply.resize(reply.size() - 3);
        note += ", truncated";
    }
    Outcome outcome{{reply}, note};
    if (settings_.faults.answerTwice) {
        outcome.replies.push_back(reply);
        outcome.note += ", twice";
    }
    return outcome;
}

SimNetDevice::Outcome SimNetDevice::answerCommand(const std::uint8_t* data, std::size_t size) {
    const std::optional<NetCommandRequest> request = ParseCommandDatagram(data, size);
    if (!request) {
        return {{}, "malformed command datagram ignored"};
    }
    if (request->mac != settings_.mac) {
        return {};
    }
    const NetCommandId id = request->id;
    const std::vector<std::uint8_t>& in = request->data;
    const std::string name = "command " + CommandName(id);
    auto reply = [&](const std::vector<std::uint8_t>& bytes) {
        return Outcome{{CommandReply(id, bytes)}, name + " answered"};
    };

    static const std::pair<NetCommandId, std::string SimNetDeviceSettings::*> kTexts[] = {
        {netcmd::kVersion, &SimNetDeviceSettings::version},
        {netcmd::kVendorId, &SimNetDeviceSettings::vid},
        {netcmd::kProductId, &SimNetDeviceSettings::pid},
        {netcmd::kSerialNumber, &SimNetDeviceSettings::serialNumber}};
    static const std::pair<NetCommandId, std::uint8_t SimNetDeviceSettings::*> kCounts[] = {
        {netcmd::kInputCount, &SimNetDeviceSettings::inputs},
        {netcmd::kOutputCount, &SimNetDeviceSettings::outputs},
        {netcmd::kUserCount, &SimNetDeviceSettings::users}};
    for (const auto& [textId, text] : kTexts) {
        if (id == textId) {
            return reply(ZeroEnded(settings_.*text));
        }
    }
    for (const auto& [countId, count] : kCounts) {
        if (id == countId) {
            return reply({settings_.*count});
        }
    }
    if (id == netcmd::kProductString) {
        const auto end = std::find(in.begin(), in.end(), 0);
        std::string text(in.begin(), end);
        text.resize(std::min(text.size(), kMaxProductString));
        settings_.description = text;
        return {{}, name + ": product string \"" + text + "\""};
    }
    const int readKind = id == netcmd::kInputEdidRead      ? 0
                         : id == netcmd::kOutputEdidRead   ? 1
                         : id == netcmd::kUserEdidRead     ? 2
                         : id == netcmd::kInternalEdidRead ? 3
                                                           : -1;
    if (readKind >= 0) {
        if (in.empty() || in[0] >= nodeCount(readKind)) {
            return {{}, name + ": no such node"};
        }
        const EdidImage image = edid(SimNodeSelector(readKind, in[0]));
        return reply({image.begin(), image.end()});
    }
    const int writeKind = id == netcmd::kInputEdidWrite ? 0 : id == netcmd::kUserEdidWrite ? 2 : -1;
    if (writeKind >= 0) {
        if (in.size() < 1 + kEdidSize || in[0] >= nodeCount(writeKind)) {
            return {{}, name + ": bad EDID write ignored"};
        }
        EdidImage image{};
        std::copy(in.begin() + 1, in.begin() + 1 + kEdidSize, image.begin());
        settings_.edids[SimNodeSelector(writeKind, in[0])] = image;
        return {{}, name + ": EDID stored"};
    }
    return {{}, name + ": unknown, ignored"};
}

SimNetDevice::Outcome SimNetDevice::applyIpConfig(const std::uint8_t* data, std::size_t size) {
    std::vector<TlvField> fields;
    if (ReadTlvDatagram(data, size, kIpConfigType, fields) != TlvStatus::Ok) {
        return {{}, "bad IP configuration ignored"};
    }
    const auto mac = std::find_if(fields.begin(), fields.end(),
                                  [](const TlvField& f) { return f.tag == kTagMac; });
    if (mac == fields.end() || mac->size != 6 ||
        !std::equal(mac->value, mac->value + 6, settings_.mac.begin())) {
        return {};
    }
    SimNetDeviceSettings& s = settings_;
    for (const TlvField& f : fields) {
        auto address = [&f](Ipv4Bytes& target) {
            if (f.size == 4) {
                std::copy(f.value, f.value + 4, target.begin());
            }
        };
        auto port = [&f](std::uint16_t& target) {
            if (f.size == 2) {
                target = static_cast<std::uint16_t>(f.value[0] | f.value[1] << 8);
            }
        };
        switch (f.tag) {
        case kTagIpAddress:
            address(s.ipAddress);
            break;
        case kTagSubnetMask:
            address(s.subnetMask);
            break;
        case kTagGateway:
            address(s.gateway);
            break;
        case kTagDns:
            address(s.dns);
            break;
        case kTagIpMode:
            if (f.size == 1 && f.value[0] <= 1) {
                s.ipMode = f.value[0];
            }
            break;
        case kTagWebPort:
            port(s.webPort);
            break;
        case kTagTelnetPort:
            port(s.telnetPort);
            break;
        default:
            break;
        }
    }
    return {{}, "IP configuration applied for " + MacText(s.mac)};
}

} // namespace lvx
