#pragma once

#include "protocol/DeviceRecord.h"

#include <string>
#include <vector>

namespace lvx {

// One row of the device list: "#", "Interface", "Product", "Description", "IP Address",
// "MAC Address".
struct DeviceRow {
    std::string number;
    std::string interface;
    std::string product;
    std::string description;
    std::string ip;
    std::string mac;
    bool isp = false; // a device in its firmware-loader mode
    // What the device did not say while it was being connected ("its description (no answer
    // to SYS_DSCPT)"); empty when it said everything.
    std::string missing;

    std::string column(int c) const;
};

constexpr int kDeviceColumns = 6;
const std::vector<std::string>& DeviceColumnHeaders();

// Known models: the model is replaced by its type text, and the device's stock description
// by the type text too.
struct ModelEntry {
    const char* model;
    const char* typeText;
    const char* description;
    const char* replacement;
};
const std::vector<ModelEntry>& ModelTable();
void ApplyModelTable(DeviceRecord& record);

// The text a device in loader mode puts after its marker, up to the end of that line.
std::string IspModelText(std::string_view buffer, std::string_view marker);

} // namespace lvx
