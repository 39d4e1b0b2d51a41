#include "links/UdpEndpoints.h"

#include "links/TlvDatagram.h"

#include <QNetworkInterface>
#include <QVariant>

#include <algorithm>

#include <sys/socket.h>

namespace lvx {
namespace {

// The interface that carries this address; invalid for a null address or when none does.
QNetworkInterface InterfaceOf(const QHostAddress& address) {
    if (address.isNull()) {
        return {};
    }
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& candidate : interfaces) {
        const auto entries = candidate.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip() == address) {
                return candidate;
            }
        }
    }
    return {};
}

} // namespace

EndpointConfig EndpointConfig::loopback() {
    EndpointConfig config;
    config.broadcastAddress = QHostAddress(QStringLiteral("127.255.255.255"));
    config.multicastInterface = QHostAddress(QHostAddress::LocalHost);
    config.acceptLocalSenders = true;
    return config;
}

bool IsThisMachine(const QHostAddress& address) {
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    const QHostAddress plain = mapped ? QHostAddress(v4) : address;
    if (plain.isNull() || plain.isLoopback() || plain == QHostAddress(QHostAddress::AnyIPv4) ||
        plain == QHostAddress(QHostAddress::AnyIPv6)) {
        return true;
    }
    // Asked each time: addresses come and go (DHCP, a VPN), and the answer costs little
    // next to what a datagram's handling does.
    const QList<QHostAddress> own = QNetworkInterface::allAddresses();
    return std::any_of(own.begin(), own.end(), [&](const QHostAddress& mine) {
        return mine.isEqual(plain, QHostAddress::ConvertV4MappedToIPv4);
    });
}

UdpEndpoints::UdpEndpoints(const EndpointConfig& config, QObject* parent)
    : QObject(parent), config_(config) {
    connect(&multicastReceiver_, &QUdpSocket::readyRead, this,
            [this] { readPending(&multicastReceiver_); });
    connect(&unicastReceiver_, &QUdpSocket::readyRead, this,
            [this] { readPending(&unicastReceiver_); });
}

bool UdpEndpoints::fail(const QString& text) {
    error_ = text;
    broadcastSender_.close();
    multicastSender_.close();
    multicastReceiver_.close();
    return false;
}

bool UdpEndpoints::open() {
    if (open_) {
        return true;
    }
    error_.clear();
    warning_.clear();
    QNetworkInterface interface;
    if (!config_.multicastInterface.isNull()) {
        interface = InterfaceOf(config_.multicastInterface);
        if (!interface.isValid()) {
            return fail(tr("No network interface has the address %1")
                            .arg(config_.multicastInterface.toString()));
        }
    }

    if (!broadcastSender_.bind(QHostAddress::AnyIPv4, 0)) {
        return fail(tr("Cannot open the broadcast sender: %1").arg(broadcastSender_.errorString()));
    }
    // A new UDP socket may already be allowed to broadcast; it is only while the probe goes.
    if (!setBroadcastPermission(false)) {
        return fail(tr("Cannot set the broadcast permission"));
    }

    if (!multicastSender_.bind(QHostAddress::AnyIPv4, 0)) {
        return fail(tr("Cannot open the multicast sender: %1").arg(multicastSender_.errorString()));
    }
    multicastSender_.setSocketOption(QAbstractSocket::MulticastTtlOption, 1);
    multicastSender_.setSocketOption(QAbstractSocket::MulticastLoopbackOption, 1);
    if (interface.isValid()) {
        multicastSender_.setMulticastInterface(interface);
    }
    const bool senderJoined =
        interface.isValid() ? multicastSender_.joinMulticastGroup(config_.groupAddress, interface)
                            : multicastSender_.joinMulticastGroup(config_.groupAddress);

    if (!multicastReceiver_.bind(QHostAddress::AnyIPv4, config_.replyPort,
                                 QAbstractSocket::DontShareAddress)) {
        return fail(tr("Cannot open UDP port %1: %2")
                        .arg(config_.replyPort)
                        .arg(multicastReceiver_.errorString()));
    }
    const bool receiverJoined =
        interface.isValid() ? multicastReceiver_.joinMulticastGroup(config_.groupAddress, interface)
                            : multicastReceiver_.joinMulticastGroup(config_.groupAddress);
    if (!senderJoined || !receiverJoined) {
        warning_ = tr("Cannot join the multicast group %1: %2")
                       .arg(config_.groupAddress.toString(),
                            receiverJoined ? multicastSender_.errorString()
                                           : multicastReceiver_.errorString());
    }
    open_ = true;
    return true;
}

bool UdpEndpoints::setBroadcastPermission(bool on) {
    const int value = on ? 1 : 0;
    const auto fd = broadcastSender_.socketDescriptor();
    return fd >= 0 &&
           ::setsockopt(static_cast<int>(fd), SOL_SOCKET, SO_BROADCAST, &value, sizeof(value)) == 0;
}

bool UdpEndpoints::broadcastPermitted() const {
    int value = 0;
    socklen_t length = sizeof(value);
    const auto fd = broadcastSender_.socketDescriptor();
    return fd >= 0 &&
           ::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_BROADCAST, &value, &length) == 0 &&
           value != 0;
}

bool UdpEndpoints::sendBroadcast(const std::vector<std::uint8_t>& datagram) {
    if (!open_) {
        return false;
    }
    setBroadcastPermission(true);
    const qint64 sent = broadcastSender_.writeDatagram(
        reinterpret_cast<const char*>(datagram.data()), static_cast<qint64>(datagram.size()),
        config_.broadcastAddress, config_.devicePort);
    setBroadcastPermission(false);
    return sent == static_cast<qint64>(datagram.size());
}

bool UdpEndpoints::sendMulticast(const std::vector<std::uint8_t>& datagram) {
    if (!open_) {
        return false;
    }
    const qint64 sent = multicastSender_.writeDatagram(
        reinterpret_cast<const char*>(datagram.data()), static_cast<qint64>(datagram.size()),
        config_.groupAddress, config_.devicePort);
    return sent == static_cast<qint64>(datagram.size());
}

void UdpEndpoints::readPending(QUdpSocket* socket) {
    while (socket->hasPendingDatagrams()) {
        QByteArray buffer(static_cast<qsizetype>(kDatagramBufferSize), '\0');
        QHostAddress sender;
        quint16 port = 0;
        // A longer datagram is cut: the rest of it is discarded by the read.
        const qint64 size = socket->readDatagram(buffer.data(), buffer.size(), &sender, &port);
        if (size < 0) {
            break;
        }
        buffer.truncate(static_cast<qsizetype>(size));
        emit datagramReceived(buffer, sender, port);
    }
}

} // namespace lvx
