#pragma once

#include "common/EdidImage.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lvx {

// The displays connected to this PC, as the kernel's DRM connectors report them: every
// directory "cardN-NAME" under class/drm of the sysfs tree whose "edid" attribute holds the
// display's EDID (empty when nothing is connected).

// The largest EDID a connector can report: 256 blocks of 128 bytes. A reader never takes
// more than one byte beyond it.
constexpr std::size_t kMaxConnectorEdidBytes = 256 * kEdidBlockSize;

struct ConnectorName {
    int card = 0;
    std::string connector; // "HDMI-A-1", "DP-2", "eDP-1"
};

// "card0-HDMI-A-1" -> card 0, "HDMI-A-1". None for "card0", "renderD128", "version", ...
std::optional<ConnectorName> ParseConnectorDirectory(std::string_view directory);

struct PcMonitor {
    std::string directory; // "card0-HDMI-A-1"
    ConnectorName name;
    bool ok = false;                 // a whole EDID is there
    std::string problem;             // when not ok: "empty", "truncated, 100 bytes", ...
    std::size_t size = 0;            // bytes in the attribute
    int blocks = 0;                  // 128-byte blocks the EDID has (base block and extensions)
    EdidImage image{};               // its first two blocks as the program holds an EDID
    std::vector<std::uint8_t> bytes; // the whole EDID, every block, when ok

    // "ok" or "no EDID".
    const char* status() const { return ok ? "ok" : "no EDID"; }
};

// What a connector's "edid" attribute holds: none when it could not be read. A whole EDID is
// at least its base block and the extensions the base block announces; what is shorter is
// truncated, what is longer than kMaxConnectorEdidBytes is no EDID. The image takes the first
// 256 bytes (a base block alone gets 0xFF behind it, as a short .bin file does).
PcMonitor ClassifyConnector(std::string_view directory,
                            const std::optional<std::vector<std::uint8_t>>& edid);

// Connectors in card order, then by name.
void SortMonitors(std::vector<PcMonitor>& monitors);

// The monitor a user's name means: the connector's name ("HDMI-A-1") or its directory
// ("card1-HDMI-A-1"). A connector name that two cards share is ambiguous: none, with
// `ambiguous` set.
const PcMonitor* FindMonitor(const std::vector<PcMonitor>& monitors, std::string_view name,
                             bool* ambiguous = nullptr);

} // namespace lvx
