#pragma once

#include "protocol/DeviceRecord.h"

#include <string>

namespace lvx {

// The device a selection opened, as the device reported it: how it is reached, whether it
// answered the Search as a loader, its counts and its texts. What a window makes of it (tabs,
// captions, heights) is the window's business; the command line prints the facts.
struct SelectedDevice {
    int row = 0; // 1-based row of the device list; 0 while nothing is selected
    LinkKind link = LinkKind::Network;
    bool loader = false;
    int loaderKind = 0; // 1: "$ISP029" (64-byte blocks), 2: "$ISP091" (128-byte blocks)
    int inputs = 0;
    int outputs = 0;
    int userSlots = 0;
    int internalEdids = 0;
    int channels = 0; // serial channels (Multi-COM)
    std::string vid;
    std::string pid;
    std::string version;
    std::string productString;
    std::string serialNumber;

    bool serial() const { return link == LinkKind::Serial; }
};

inline SelectedDevice SelectedDeviceOf(const DeviceRecord& record, int row) {
    SelectedDevice d;
    d.row = row;
    d.link = record.linkKind;
    d.loader = record.ispKind != 0;
    d.loaderKind = record.ispKind;
    d.inputs = record.inputCount;
    d.outputs = record.outputCount;
    d.userSlots = record.userEdidCount;
    d.internalEdids = record.internalEdidCount;
    d.channels = record.comChannelCount;
    d.vid = record.vid;
    d.pid = record.pid;
    d.version = record.version;
    d.productString = record.productString;
    d.serialNumber = record.serialNumber;
    return d;
}

// The source counts of the device the Search accepted, when it lets the user choose its
// input EDID modes; all 0 otherwise and after Disconnect.
struct ModeSelectCounts {
    int internal = 0;
    int external = 0;
    int user = 0;

    bool any() const { return internal > 0 || external > 0 || user > 0; }
};

} // namespace lvx
