#pragma once

#include "connection/FlowTool.h"
#include "links/NetworkRecord.h"
#include "system/IpConfig.h"

#include <QString>

#include <cstdint>
#include <vector>

namespace lvx {

class ConnectionController;
class NetworkLink;

// The "IP Configure" tab without its widgets: filled from the network record of the device
// being opened, the mode rule, Write IP Configure (one type-3 datagram) and the address of
// the device's web page. Its status is the tab's status line: a refusal, the addresses a write
// left out, or nothing.
class IpConfigTool : public FlowTool {
    Q_OBJECT
public:
    enum class Outcome { Nothing, Refused, Sent, Failed };

    explicit IpConfigTool(ConnectionController& connection, QObject* parent = nullptr);

    // The network record of the device the tab shows; null while no network device is open.
    const NetworkRecord* record() const;
    // What the edits show after the last fill.
    const IpEdits& shown() const { return shown_; }
    // The mode rule: the address edits are enabled in STATIC mode only.
    static bool addressesEnabled(int mode) { return mode == 0; }

    // Write IP Configure with the edits as the user left them. The record keeps what was
    // sent; a refused write sends and stores nothing and says why in the status.
    Outcome write(const IpEdits& edits);
    // The datagram the last write sent.
    const std::vector<std::uint8_t>& lastDatagram() const { return lastDatagram_; }
    // Address texts the last write left out (not four pieces).
    const std::vector<std::string>& lastSkipped() const { return lastSkipped_; }

    // "Http://address[:port]/", empty when the device has no web port.
    QString webAddress() const;

    // Fills from the device at this table index (the network link calls it through its
    // opening signal).
    void fill(int index);

signals:
    // The tab is to show `shown()` and the labels of `record()`.
    void filled();

private:
    void watchNetwork(NetworkLink* net);

    ConnectionController& connection_;
    IpEdits shown_;
    std::vector<std::uint8_t> lastDatagram_;
    std::vector<std::string> lastSkipped_;
};

} // namespace lvx
