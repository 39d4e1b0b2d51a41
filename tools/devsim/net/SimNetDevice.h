#pragma once

#include "common/EdidImage.h"
#include "links/NetworkRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace lvx {

// Ways a simulated device misbehaves in its discovery reply.
struct SimNetFaults {
    bool badCrc = false;      // the CRC is wrong
    bool truncated = false;   // the reply is cut before its CRC
    bool answerTwice = false; // every probe is answered twice
    bool unknownTag = false;  // an entry with a tag no program knows sits among the others
};

using Ipv4Bytes = std::array<std::uint8_t, 4>;

// Node selector of node `index` (0-based) of a kind: 0 input, 1 output, 2 user, 3 internal.
constexpr std::uint16_t SimNodeSelector(int kind, int index) {
    return static_cast<std::uint16_t>(kind << 12 | (index & 0xFFF));
}

// Everything a simulated network device knows about itself.
struct SimNetDeviceSettings {
    MacAddress mac{};
    Ipv4Bytes ipAddress{};
    Ipv4Bytes subnetMask{};
    Ipv4Bytes gateway{};
    Ipv4Bytes dns{};
    std::uint8_t ipMode = 0; // 0 static, 1 DHCP
    std::uint16_t webPort = 80;
    std::uint16_t telnetPort = 23;
    std::vector<std::uint8_t> productIdBytes; // as sent; shown last byte first
    std::string productName;
    std::string description; // also the product string, which the program may rewrite
    std::string serialNumber;
    std::string spareText1;
    std::string spareText2;
    std::string vid;
    std::string pid;
    std::string version;
    std::uint8_t inputs = 0;
    std::uint8_t outputs = 0;
    std::uint8_t users = 0;
    std::uint8_t internals = 0;
    // By node selector; a node without an entry has DefaultSimEdid(selector).
    std::map<std::uint16_t, EdidImage> edids;
    SimNetFaults faults;
};

// A valid 256-byte EDID (base block and a CTA-861 extension) whose serial number is the
// selector and whose monitor name tells the node, e.g. "SIM OUT 2".
EdidImage DefaultSimEdid(std::uint16_t selector);

// The behaviour of one device: datagrams in, replies out. Replies go to the group.
class SimNetDevice {
public:
    explicit SimNetDevice(SimNetDeviceSettings settings);

    struct Outcome {
        std::vector<std::vector<std::uint8_t>> replies;
        std::string note; // what happened, for the log; empty when the datagram was not for us
    };
    Outcome handle(const std::uint8_t* data, std::size_t size);

    // The discovery reply as the device would send it without faults.
    std::vector<std::uint8_t> discoveryReply() const;
    const SimNetDeviceSettings& settings() const { return settings_; }
    EdidImage edid(std::uint16_t selector) const;

    // Largest product string the device keeps.
    static constexpr std::size_t kMaxProductString = 63;

private:
    Outcome answerProbe() const;
    Outcome answerCommand(const std::uint8_t* data, std::size_t size);
    Outcome applyIpConfig(const std::uint8_t* data, std::size_t size);
    int nodeCount(int kind) const;

    SimNetDeviceSettings settings_;
};

} // namespace lvx
