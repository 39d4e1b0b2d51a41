#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace lvx {

// One input or output of a device as its node descriptor describes it.
struct NodeEntry {
    std::array<std::uint8_t, 9> bytes{};

    std::uint8_t value(int field) const { return bytes[static_cast<std::size_t>(field - 1)]; }
    // Byte 4 of input node 0: the device's current EDID mode index, 255 when unknown.
    std::uint8_t& edidMode() { return bytes[4]; }
    std::uint8_t edidMode() const { return bytes[4]; }
    bool flag4() const { return bytes[3] == 1; }
    // Byte 5 of input node 0: the mode radio buttons may be pressed.
    bool modeSelectFlag() const { return bytes[5] == 1; }
    bool flag6() const { return bytes[6] == 1; }
    // Byte 7 of input node 0: the input mode is polled every 2.5 s.
    bool modePollFlag() const { return bytes[7] == 1; }
    bool flag8() const { return bytes[8] == 1; }
};

constexpr int kNodeCount = 10;
constexpr int kDeviceTableSize = 20;
constexpr std::size_t kProductStringMax = 63;

// How a device is reached. The numbers are those the device table always used (the CLI's
// JSON prints them).
enum class LinkKind : std::uint8_t { Network = 0, Serial = 1 };

struct DeviceRecord {
    std::string vid;
    std::string pid;
    std::string model;
    std::string productString; // at most kProductStringMax characters
    std::string serialNumber;
    std::string version;
    std::uint8_t descriptorFlag7 = 0;
    std::uint8_t fwFileReady = 0;
    LinkKind linkKind = LinkKind::Network;
    std::uint8_t inputCount = 0;
    std::uint8_t outputCount = 0;
    std::uint8_t userEdidCount = 0;
    std::uint8_t internalEdidCount = 0;
    std::uint32_t nodeSelector = 0;
    std::int32_t comChannelCount = 0;
    std::array<NodeEntry, kNodeCount> inputNodes{};
    std::array<NodeEntry, kNodeCount> outputNodes{};
    // The loader this device answered as: 0 none, 1 "$ISP029" (64-byte blocks), 2 "$ISP091"
    // (128-byte blocks, page checks). Each device keeps its own: the block size and the
    // pacing of a firmware update follow the device being flashed.
    std::uint8_t ispKind = 0;

    bool isSerial() const { return linkKind == LinkKind::Serial; }
    void setProductString(const std::string& text) {
        productString = text.size() > kProductStringMax ? text.substr(0, kProductStringMax) : text;
    }
};

// The devices found by the last Search. Records live for the whole run; a Search
// overwrites them from index 0.
struct DeviceTable {
    std::array<DeviceRecord, kDeviceTableSize> records{};
    int count = 0;
    int selected = 0;

    bool full() const { return count >= kDeviceTableSize; }
    DeviceRecord& current() { return records[static_cast<std::size_t>(clampIndex(selected))]; }
    const DeviceRecord& current() const {
        return records[static_cast<std::size_t>(clampIndex(selected))];
    }
    DeviceRecord& at(int index) { return records[static_cast<std::size_t>(clampIndex(index))]; }

    static int clampIndex(int index) {
        return index < 0 ? 0 : (index >= kDeviceTableSize ? kDeviceTableSize - 1 : index);
    }
};

} // namespace lvx
