#pragma once

#include "devsim/net/SimNetDevice.h"

#include <QJsonObject>
#include <QString>

#include <vector>

namespace lvx {

// The network part of the simulator.
struct NetSimConfig {
    // Loopback keeps every datagram on this machine: the group is joined and sent to on
    // interface 127.0.0.1. Otherwise the real addresses on the default interface, which only
    // tests inside a network namespace of their own use.
    bool loopback = true;
    std::vector<SimNetDeviceSettings> devices;
};

// Device number `index` (0-based) as it is when nothing is configured: MAC
// 02:4C:56:58:00:<index + 1>, 192.168.1.<101 + index>/24, gateway 192.168.1.1, DNS
// 192.168.1.1, static, web port 80, telnet 23, product ID 2037, "LVX-NET" "Network EDID
// Manager", vendor 1A2B, product 2037, version 1.00, 2 inputs, 2 outputs, 4 user slots, 8
// internal EDIDs, default EDIDs, no faults.
SimNetDeviceSettings DefaultSimNetDevice(int index);

// Reads the "network" section of the simulator's configuration file:
//   {"loopback": true,
//    "devices": [{"mac": "00:11:22:33:44:55", "ip": "192.168.1.10", "subnetMask": "...",
//                 "gateway": "...", "dns": "...", "ipMode": "static" | "dhcp",
//                 "webPort": 80, "telnetPort": 23, "productId": "2037",
//                 "productName": "...", "description": "...", "serialNumber": "...",
//                 "spare1": "...", "spare2": "...", "vid": "...", "pid": "...",
//                 "version": "...", "inputs": 2, "outputs": 2, "users": 4, "internals": 8,
//                 "edids": {"input1": "file.bin", "output2": "...", "user1": "...",
//                           "internal3": "..."},
//                 "faults": {"badCrc": false, "truncated": false, "answerTwice": false,
//                            "unknownTag": false}}]}
// Every key may be left out (see DefaultSimNetDevice); without "devices" there is one
// device. EDID file names are relative to baseDir; each file holds 256 bytes. Unknown keys
// and values out of range are errors.
bool NetSimConfigFromJson(const QJsonObject& network, const QString& baseDir, NetSimConfig& config,
                          QString& error);

} // namespace lvx
