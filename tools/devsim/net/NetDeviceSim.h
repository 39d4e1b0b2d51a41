#pragma once

#include "devsim/net/NetSimConfig.h"
#include "devsim/net/SimNetDevice.h"
#include "links/UdpEndpoints.h"

#include <QJsonObject>
#include <QObject>
#include <QUdpSocket>

#include <memory>
#include <vector>

namespace lvx {

// Simulated devices on the network. One socket listens on the device port (shared, so more
// than one simulator may run) as a member of the group, hands every datagram to each device
// and sends their replies to the group on the reply port.
class NetDeviceSim : public QObject {
    Q_OBJECT
public:
    explicit NetDeviceSim(const NetSimConfig& config, QObject* parent = nullptr);
    // From the "network" section of the configuration file; null with `error` set when the
    // section is wrong.
    static std::unique_ptr<NetDeviceSim> fromJson(const QJsonObject& network,
                                                  const QString& baseDir, QString& error);

    bool start();
    QString errorString() const { return error_; }
    const EndpointConfig& endpoints() const { return endpoints_; }

    int deviceCount() const { return static_cast<int>(devices_.size()); }
    const SimNetDevice& device(int index) const {
        return devices_.at(static_cast<std::size_t>(index));
    }

    // Probes seen, by the address they were sent to.
    int probesByBroadcast() const { return probesByBroadcast_; }
    int probesByMulticast() const { return probesByMulticast_; }

signals:
    // One line for the log: a datagram and what the devices did with it.
    void activity(const QString& line);

private:
    void readPending();

    EndpointConfig endpoints_;
    std::vector<SimNetDevice> devices_;
    QUdpSocket socket_;
    QString error_;
    int probesByBroadcast_ = 0;
    int probesByMulticast_ = 0;
};

} // namespace lvx
