#pragma once

// Where the displays of a combination come from: EDID files and this PC's monitors, read as
// whole EDIDs (the base block and the extensions it announces).

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace lvx {

// The bytes of the base block and the extensions its byte 126 announces, as far as `bytes`
// holds them; whole blocks only.
std::vector<std::uint8_t> AnnouncedBlocks(const std::vector<std::uint8_t>& bytes);

// An EDID file of any number of blocks (a regular file, at most 256 blocks read). None, with
// the reason in `error`, when it cannot be read or holds no whole base block.
std::optional<std::vector<std::uint8_t>> ReadEdidBytes(const QString& path, QString* error);

// The EDID of this PC's display NAME ("HDMI-A-1", "card1-DP-2") under the sysfs root. None,
// with the reason, when there is no such display or it sends no EDID.
std::optional<std::vector<std::uint8_t>> MonitorEdid(const QString& sysfsRoot, const QString& name,
                                                     QString* error);

} // namespace lvx
