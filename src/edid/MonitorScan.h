#pragma once

#include "edid/AnalyzerReport.h"
#include "edid/PcMonitors.h"

#include <QString>

#include <vector>

namespace lvx {

// The root of the kernel's sysfs tree: $LINKVEX_SYSFS_ROOT when it is set and not empty,
// else "/sys". Tests and demos point it at a tree of their own.
QString SysfsRoot();

// The DRM connectors under ROOT/class/drm that have an "edid" attribute, each read (at most
// one byte more than the largest EDID, and only from a regular file) and classified, in card
// and name order. A missing directory gives an empty list.
std::vector<PcMonitor> ScanPcMonitors(const QString& sysfsRoot);

// A monitor with the analyzer's report of its EDID (an empty report for "no EDID").
struct ScannedMonitor {
    PcMonitor monitor;
    AnalyzerReport report;

    // What the lists show: the analyzer's manufacturer and monitor name; empty for no EDID.
    std::string manufacturer() const;
    std::string monitorName() const;
};
std::vector<ScannedMonitor> ScanAndAnalyze(const QString& sysfsRoot);

// The bytes a saved .bin file of the monitor holds: its whole EDID, 128 x (1 + extensions).
QByteArray EdidFileBytes(const PcMonitor& monitor);

} // namespace lvx
