#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QUdpSocket>

#include <cstdint>
#include <vector>

namespace lvx {

// Where the datagrams go. The defaults are the ones devices listen to; loopback() keeps
// every datagram on this machine (tests and demos).
struct EndpointConfig {
    QHostAddress broadcastAddress{QStringLiteral("255.255.255.255")};
    QHostAddress groupAddress{QStringLiteral("225.12.13.14")};
    quint16 devicePort = 31001; // devices listen here
    quint16 replyPort = 31002;  // replies arrive here
    // Interface (by one of its IPv4 addresses) for sending to and joining the group;
    // null for the system's default.
    QHostAddress multicastInterface;
    // Whether a datagram from this PC itself may come from a device. Only on loopback, where
    // the simulated devices are: on a real network a device is never this PC, and anything a
    // local program sends (any user may bind a UDP port) would otherwise pass for one.
    bool acceptLocalSenders = false;

    static EndpointConfig loopback();
};

// Whether a datagram from this address was sent by this PC: a loopback address, an address
// of one of its interfaces, or no address at all.
bool IsThisMachine(const QHostAddress& address);

// The four UDP endpoints: broadcast sender, multicast sender, multicast receiver and a spare
// unicast receiver that shares the receive handler and stays closed. Received datagrams are
// reported on the thread that owns this object, cut to kDatagramBufferSize bytes.
class UdpEndpoints : public QObject {
    Q_OBJECT
public:
    explicit UdpEndpoints(const EndpointConfig& config = {}, QObject* parent = nullptr);

    // Opens the senders and binds the receiver to the reply port without sharing it, so a
    // second copy of the program cannot open it. False with errorString() on failure. Failing
    // to join the group is not fatal; it is reported by warningString().
    bool open();
    bool isOpen() const { return open_; }
    QString errorString() const { return error_; }
    QString warningString() const { return warning_; }
    const EndpointConfig& config() const { return config_; }

    // Sends to the broadcast address and device port; broadcast permission is switched on
    // just for this send.
    bool sendBroadcast(const std::vector<std::uint8_t>& datagram);
    // Sends to the group and device port.
    bool sendMulticast(const std::vector<std::uint8_t>& datagram);

    // Whether the broadcast sender may send to broadcast addresses right now.
    bool broadcastPermitted() const;

signals:
    void datagramReceived(const QByteArray& datagram, const QHostAddress& sender, quint16 port);

private:
    void readPending(QUdpSocket* socket);
    bool setBroadcastPermission(bool on);
    bool fail(const QString& text);

    EndpointConfig config_;
    QUdpSocket broadcastSender_;
    QUdpSocket multicastSender_;
    QUdpSocket multicastReceiver_;
    QUdpSocket unicastReceiver_;
    bool open_ = false;
    QString error_;
    QString warning_;
};

} // namespace lvx
