#pragma once

#include "common/EdidImage.h"
#include "links/NetCommand.h"
#include "links/NetworkRecord.h"
#include "links/TlvDatagram.h"
#include "links/UdpEndpoints.h"
#include "protocol/DeviceRecord.h"

#include <QHostAddress>
#include <QObject>
#include <QStringList>

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lvx {

// The network side of the device table: discovery, the network records, and command
// datagrams to the selected device. Every datagram that reaches the reply port is handled
// on the thread that owns this object, also while a flow waits in PumpDelay.
class NetworkLink : public QObject {
    Q_OBJECT
public:
    // `devices` is the shared device table; `deviceEdid` the image EDID reads are stored in.
    NetworkLink(DeviceTable& devices, EdidImage& deviceEdid, const EndpointConfig& config = {},
                QObject* parent = nullptr);

    bool open() { return endpoints_.open(); }
    QString errorString() const { return endpoints_.errorString(); }
    UdpEndpoints& endpoints() { return endpoints_; }

    // The probe, once by broadcast and once to the group. Replies are added as they arrive.
    void sendProbe();
    // One command datagram to the selected device; returns at once, nothing is retried.
    bool sendCommand(std::uint8_t group, std::uint8_t item,
                     const std::vector<std::uint8_t>& data = {});
    bool sendCommand(NetCommandId id, const std::vector<std::uint8_t>& data = {}) {
        return sendCommand(id.group, id.item, data);
    }
    // Opening the selected network device: announces it (so its settings can be shown),
    // copies its description into productString, sends the first opening queries, waits
    // PumpDelay(50) and sends the rest. The caller waits again before reading the record.
    // From then on command replies from that device's address are applied to it.
    void openDevice();
    // No device is open any more: command replies are ignored until the next openDevice().
    void closeDevice() { opened_ = -1; }
    // The table index of the open device; -1 when none is.
    int openedIndex() const { return opened_; }
    // A type-3 datagram with these entries, to the group.
    bool sendIpConfiguration(const std::vector<TlvEntry>& entries);

    // The receive handler. A command reply counts only while a network device is open and
    // only from the address that device's discovery reply came from: the replies carry no
    // check of their own, and anyone on the LAN could otherwise rewrite the device's record
    // and the EDID a Save then writes. Outside loopback mode a datagram sent by this PC
    // itself (IsThisMachine) is dropped, whatever it holds.
    void handleDatagram(const std::uint8_t* data, std::size_t size, const QHostAddress& sender);

    // MAC texts of valid discovery replies left out since the last probe because the device
    // table was full (each once, at most 255): a device looked for by MAC may be among them.
    const std::vector<std::string>& refusedForFullTable() const { return refusedFull_; }

    NetworkRecord& networkRecord(int index);
    NetworkRecord& selectedRecord() { return networkRecord(devices_.selected); }
    const NetworkTable& networkTable() const { return records_; }

signals:
    // A new device at table index `index` with its device-list row texts.
    void deviceAdded(int index, const QStringList& row);
    // The selected device's record or the device EDID image was changed by a reply.
    void commandReplyApplied(int group, int item);
    // openDevice() begins for the device at this index.
    void deviceOpening(int index);

private:
    void noteRefused(const std::uint8_t* data, std::size_t size);

    DeviceTable& devices_;
    EdidImage& deviceEdid_;
    UdpEndpoints endpoints_;
    NetworkTable records_{};
    // Where each listed device's discovery reply came from.
    std::array<QHostAddress, kDeviceTableSize> senders_{};
    int opened_ = -1;
    std::vector<std::string> refusedFull_;
};

} // namespace lvx
