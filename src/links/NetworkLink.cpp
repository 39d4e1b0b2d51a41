#include "links/NetworkLink.h"

#include "links/Discovery.h"
#include "protocol/PumpDelay.h"

#include <algorithm>

namespace lvx {

NetworkLink::NetworkLink(DeviceTable& devices, EdidImage& deviceEdid, const EndpointConfig& config,
                         QObject* parent)
    : QObject(parent), devices_(devices), deviceEdid_(deviceEdid), endpoints_(config, this) {
    connect(&endpoints_, &UdpEndpoints::datagramReceived, this,
            [this](const QByteArray& bytes, const QHostAddress& sender) {
                handleDatagram(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                               static_cast<std::size_t>(bytes.size()), sender);
            });
}

NetworkRecord& NetworkLink::networkRecord(int index) {
    return records_[static_cast<std::size_t>(DeviceTable::clampIndex(index))];
}

void NetworkLink::sendProbe() {
    refusedFull_.clear();
    const std::vector<std::uint8_t> probe = DiscoveryProbe();
    endpoints_.sendBroadcast(probe);
    endpoints_.sendMulticast(probe);
}

bool NetworkLink::sendCommand(std::uint8_t group, std::uint8_t item,
                              const std::vector<std::uint8_t>& data) {
    const std::vector<std::uint8_t> datagram =
        BuildCommandDatagram(selectedRecord().mac, {group, item}, data);
    return !datagram.empty() && endpoints_.sendMulticast(datagram);
}

void NetworkLink::openDevice() {
    opened_ = DeviceTable::clampIndex(devices_.selected);
    emit deviceOpening(opened_);
    devices_.current().setProductString(selectedRecord().description);
    const OpeningQueries queries;
    for (const NetCommandId& id : queries.first) {
        sendCommand(id);
    }
    PumpDelay(50);
    for (const NetCommandId& id : queries.second) {
        sendCommand(id);
    }
}

bool NetworkLink::sendIpConfiguration(const std::vector<TlvEntry>& entries) {
    const std::vector<std::uint8_t> datagram = BuildIpConfigDatagram(entries);
    return !datagram.empty() && endpoints_.sendMulticast(datagram);
}

void NetworkLink::noteRefused(const std::uint8_t* data, std::size_t size) {
    constexpr std::size_t kMostRefused = 255;
    const DiscoveryResult reply = ParseDiscoveryReply(data, size, nullptr, 0);
    const std::string& mac = reply.record.macText;
    if (reply.status != DiscoveryStatus::Accepted || refusedFull_.size() >= kMostRefused ||
        std::find(refusedFull_.begin(), refusedFull_.end(), mac) != refusedFull_.end()) {
        return;
    }
    refusedFull_.push_back(mac);
}

void NetworkLink::handleDatagram(const std::uint8_t* data, std::size_t size,
                                 const QHostAddress& sender) {
    if (size == 0) {
        return;
    }
    if (!endpoints_.config().acceptLocalSenders && IsThisMachine(sender)) {
        return; // a device is never this PC; another local user's program could pose as one
    }
    if (data[0] == kCommandType) {
        if (opened_ < 0 || opened_ >= devices_.count || opened_ != devices_.selected) {
            return;
        }
        DeviceRecord& device = devices_.at(opened_);
        if (device.isSerial() || !sender.isEqual(senders_[static_cast<std::size_t>(opened_)],
                                                 QHostAddress::ConvertV4MappedToIPv4)) {
            return;
        }
        const CommandReplyResult result = ApplyCommandReply(data, size, device, deviceEdid_);
        if (result.effect == ReplyEffect::Applied) {
            emit commandReplyApplied(result.id.group, result.id.item);
        }
        return;
    }
    const int index = std::max(devices_.count, 0);
    const DiscoveryStatus status = AcceptDiscoveryReply(data, size, devices_, records_);
    if (status == DiscoveryStatus::TableFull) {
        noteRefused(data, size);
        return;
    }
    if (status != DiscoveryStatus::Accepted) {
        return;
    }
    senders_[static_cast<std::size_t>(DeviceTable::clampIndex(index))] = sender;
    QStringList row;
    for (const std::string& text :
         NetworkDeviceRow(index, records_[static_cast<std::size_t>(index)])) {
        row << QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    }
    emit deviceAdded(index, row);
}

} // namespace lvx
