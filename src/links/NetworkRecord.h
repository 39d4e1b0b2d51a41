#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace lvx {

using MacAddress = std::array<std::uint8_t, 6>;

// What a device on the network says about itself in its discovery reply. Texts hold one
// character per received byte (zero bytes included); integers are 0 until a reply sets them.
struct NetworkRecord {
    std::string productId;    // tag 1: hex pairs, last received byte first
    std::string productName;  // tag 13
    std::string macText;      // tag 2: "00:1A:2B:3C:4D:5E"; empty when the reply had no MAC
    MacAddress mac{};         // tag 2: the device's address in every datagram sent to it
    std::string ipAddress;    // tag 3
    std::string subnetMask;   // tag 4
    std::string gateway;      // tag 5
    std::string dns;          // tag 6
    int ipMode = 0;           // tag 7: 0 static, 1 DHCP
    int webPort = 0;          // tag 8
    int telnetPort = 0;       // tag 9
    std::string serialNumber; // tag 10
    std::string spareText1;   // tag 11
    std::string spareText2;   // tag 12
    std::string description;  // tag 14; becomes the device record's productString on opening
};

// One network record per entry of the device table, same index, same shared count.
constexpr int kNetworkTableSize = 255;
using NetworkTable = std::array<NetworkRecord, kNetworkTableSize>;

// Six upper-case hexadecimal pairs joined by ":".
std::string MacText(const MacAddress& mac);

} // namespace lvx
