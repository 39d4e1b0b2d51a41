#include "devsim/net/NetDeviceSim.h"

#include "links/NetworkRecord.h"
#include "links/TlvDatagram.h"

#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QVariant>

namespace lvx {
namespace {

QNetworkInterface LoopbackInterface() {
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& candidate : interfaces) {
        const auto entries = candidate.addressEntries();
        for (const QNetworkAddressEntry& entry : entries) {
            if (entry.ip() == QHostAddress(QHostAddress::LocalHost)) {
                return candidate;
            }
        }
    }
    return {};
}

} // namespace

NetDeviceSim::NetDeviceSim(const NetSimConfig& config, QObject* parent)
    : QObject(parent), endpoints_(config.loopback ? EndpointConfig::loopback() : EndpointConfig{}) {
    for (const SimNetDeviceSettings& settings : config.devices) {
        devices_.emplace_back(settings);
    }
    connect(&socket_, &QUdpSocket::readyRead, this, &NetDeviceSim::readPending);
}

std::unique_ptr<NetDeviceSim> NetDeviceSim::fromJson(const QJsonObject& network,
                                                     const QString& baseDir, QString& error) {
    NetSimConfig config;
    if (!NetSimConfigFromJson(network, baseDir, config, error)) {
        return nullptr;
    }
    return std::make_unique<NetDeviceSim>(config);
}

bool NetDeviceSim::start() {
    QNetworkInterface interface;
    if (!endpoints_.multicastInterface.isNull()) {
        interface = LoopbackInterface();
        if (!interface.isValid()) {
            error_ = tr("No loopback interface");
            return false;
        }
    }
    if (!socket_.bind(QHostAddress::AnyIPv4, endpoints_.devicePort,
                      QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
        error_ =
            tr("Cannot open UDP port %1: %2").arg(endpoints_.devicePort).arg(socket_.errorString());
        return false;
    }
    socket_.setSocketOption(QAbstractSocket::MulticastTtlOption, 1);
    socket_.setSocketOption(QAbstractSocket::MulticastLoopbackOption, 1);
    const bool joined = interface.isValid()
                            ? (socket_.setMulticastInterface(interface),
                               socket_.joinMulticastGroup(endpoints_.groupAddress, interface))
                            : socket_.joinMulticastGroup(endpoints_.groupAddress);
    if (!joined) {
        error_ =
            tr("Cannot join %1: %2").arg(endpoints_.groupAddress.toString(), socket_.errorString());
        socket_.close();
        return false;
    }
    for (const SimNetDevice& device : devices_) {
        emit activity(QStringLiteral("device %1 \"%2\" listening on port %3")
                          .arg(QString::fromStdString(MacText(device.settings().mac)),
                               QString::fromLatin1(device.settings().productName.c_str()))
                          .arg(endpoints_.devicePort));
    }
    return true;
}

void NetDeviceSim::readPending() {
    while (socket_.hasPendingDatagrams()) {
        const QNetworkDatagram datagram =
            socket_.receiveDatagram(static_cast<qint64>(kDatagramBufferSize));
        if (!datagram.isValid()) {
            break;
        }
        const QByteArray bytes = datagram.data();
        const QHostAddress to = datagram.destinationAddress();
        if (!bytes.isEmpty() && static_cast<std::uint8_t>(bytes[0]) == kProbeType) {
            if (to == endpoints_.groupAddress) {
                ++probesByMulticast_;
            } else if (to == endpoints_.broadcastAddress) {
                ++probesByBroadcast_;
            }
        }
        const QString from = QStringLiteral("%1:%2 to %3")
                                 .arg(datagram.senderAddress().toString())
                                 .arg(datagram.senderPort())
                                 .arg(to.toString());
        for (SimNetDevice& device : devices_) {
            const SimNetDevice::Outcome outcome =
                device.handle(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                              static_cast<std::size_t>(bytes.size()));
            for (const std::vector<std::uint8_t>& reply : outcome.replies) {
                socket_.writeDatagram(reinterpret_cast<const char*>(reply.data()),
                                      static_cast<qint64>(reply.size()), endpoints_.groupAddress,
                                      endpoints_.replyPort);
            }
            if (!outcome.note.empty()) {
                emit activity(QStringLiteral("%1: %2 (datagram from %3)")
                                  .arg(QString::fromStdString(MacText(device.settings().mac)),
                                       QString::fromLatin1(outcome.note.c_str()), from));
            }
        }
    }
}

} // namespace lvx
