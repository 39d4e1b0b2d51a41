#pragma once

#include "edid/NodeList.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lvx {

// A site file says what a whole installation should be: its devices, the EDID of each input
// and user slot it names, and the source of each input's EDID. It is YAML:
//
//   edids: edids            # folder of the EDID files, relative to the site file (optional)
//   devices:
//     - name: rack-1        # free text, for the report and the backup folder
//       port: /dev/ttyUSB0  # or mac: 00:11:22:33:44:55, or product: "Hall B EDID"
//       nodes:
//         input1: projector.bin
//       modes:
//         input1: user2     # internalK, externalK or userK
//
// Reading checks everything the file alone can tell; what needs the device (its counts, its
// link) is checked by CheckSiteDevice once the device is found. Every error names its line.

// Line numbers count from 1; 0 stands for the whole file.
struct SiteError {
    int line = 0;
    std::string message;

    friend bool operator<(const SiteError& a, const SiteError& b) { return a.line < b.line; }
};

// How a device is found: by the serial port it is on, by its MAC on the network, or by the
// product string it reports over either link.
enum class SiteLocator : std::uint8_t { Port, Mac, Product };

struct SiteNode {
    NodeRef node;     // an input or a user slot
    std::string file; // as written: a name in the EDID folder, or a path
    int line = 0;
};

struct SiteMode {
    int input = 0;      // 0-based
    std::string source; // "internal3", "external1", "user2" (lower case)
    int line = 0;
};

struct SiteDevice {
    std::string name;
    SiteLocator locator = SiteLocator::Port;
    std::string where; // the port path, the MAC (upper case, colons) or the product string
    std::vector<SiteNode> nodes;
    std::vector<SiteMode> modes;
    // Where each part stands in the file (0 when it is not there).
    int line = 0; // the entry's first line
    int nameLine = 0;
    int whereLine = 0;
    int nodesLine = 0;
    int modesLine = 0;
};

struct SiteFile {
    std::optional<std::string> edids; // the EDID folder as written
    int edidsLine = 0;
    int devicesLine = 0;
    std::vector<SiteDevice> devices;
};

// Largest site file read: thousands of devices fit in far less.
inline constexpr std::size_t kSiteFileMaxBytes = 1 << 20;

// Reads a site file. Errors (all that are found, in line order) for YAML that does not
// parse, a key that is not known at its place, a value of the wrong shape, a node that is
// not an input or a user slot, a source that is not internalK / externalK / userK (K from 1
// to 8), a node or an input named twice, two entries for one device, and modes for a device
// found by MAC (the network has no mode command). True when there were none.
bool ParseSiteFile(std::string_view text, SiteFile& site, std::vector<SiteError>& errors);

// What the device's counts and link say about its entry: a node or an input it does not have,
// a source it does not have, modes on a network device.
std::vector<SiteError> CheckSiteDevice(const SiteDevice& device, const NodeCounts& counts,
                                       bool serial);

// "site.yaml:7: input9 ..." or "site.yaml: ..." for the whole file.
std::string FormatSiteError(std::string_view fileName, const SiteError& error);

// A MAC as "00:11:22:33:44:55" in upper case; "-" separators are taken too. None for
// anything else.
std::optional<std::string> NormalizeMac(std::string_view text);

// The mode index of a source name ("user2") on a device with these counts; none when it has
// no such source.
std::optional<int> SiteModeIndex(const std::string& source, const NodeCounts& counts);

// A name for a file or folder made from free text: letters, digits, ".", "_" and "-" kept,
// every other run of characters one "_", at most 48 characters, never starting with "." or
// "-"; "device" when nothing is left.
std::string SafeFileStem(std::string_view text);

} // namespace lvx
