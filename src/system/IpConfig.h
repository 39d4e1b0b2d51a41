#pragma once

#include "links/NetworkRecord.h"
#include "links/TlvDatagram.h"

#include <string>
#include <string_view>
#include <vector>

namespace lvx {

// The IP Configure tab's editable values as the user typed them.
struct IpEdits {
    int mode = 0; // item index of the mode list: 0 STATIC, 1 DHCP
    std::string ipAddress;
    std::string subnetMask;
    std::string gateway;
    std::string dns;
    std::string webPort;
    std::string telnetPort;
};

// What the tab shows for a device: its stored settings, ports in decimal.
IpEdits IpEditsOf(const NetworkRecord& record);

// The type-3 datagram's entries for the edits, and the record as it stands once they are
// sent. The MAC entry comes first; then the mode when it changed (going to DHCP stores
// "0.0.0.0" for address, mask and gateway); then, in STATIC mode only, address, mask and
// gateway, each when its text differs from the stored one; then the DNS server likewise in
// either mode; then the web and telnet ports when their values differ. An address is sent
// as four decimal pieces (empty pieces between dots are dropped); a text that does not
// give four pieces is left out and named in `skipped`, and its stored text stays.
//
// Nothing is sent at all (refused, with `error` saying why) when a piece or port that would
// be used is not a decimal number, a piece is above 255 or a port above 65535: such a value
// cannot go out as it was typed.
struct IpConfigPlan {
    bool refused = false;
    std::string error;
    std::vector<TlvEntry> entries;
    NetworkRecord stored;
    std::vector<std::string> skipped; // one line per address text left out
};
IpConfigPlan PlanIpConfiguration(const NetworkRecord& stored, const IpEdits& edits);

// The device's web page: "Http://" + IP address + (":" + port unless it is 80) + "/"; empty
// when the web port is 0.
std::string DeviceWebAddress(const NetworkRecord& record);

} // namespace lvx
