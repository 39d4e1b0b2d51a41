#include "edid/EdidTransfer.h"

#include "connection/ConnectionController.h"
#include "edid/EdidBlocks.h"
#include "protocol/PumpDelay.h"

#include <QElapsedTimer>

namespace lvx {

EdidTransfer::EdidTransfer(ConnectionController& connection, QObject* parent)
    : QObject(parent), connection_(connection) {
    for (int command = CmdNdEd0A; command <= CmdNdEd1B; ++command) {
        connection_.session().setHandler(
            static_cast<std::uint16_t>(command),
            [this, command](std::string_view answer) { onBlock(command, answer); });
    }
    connect(&connection_.session(), &ProtocolSession::answerRejected, this,
            [this](std::uint32_t command) {
                if (command >= CmdNdEd0A && command <= CmdNdEd1B) {
                    failed_[command - CmdNdEd0A] = true;
                }
            });
}

void EdidTransfer::watchNetwork() {
    NetworkLink* net = connection_.network();
    if (net == nullptr || net == watched_) {
        return;
    }
    watched_ = net;
    connect(net, &NetworkLink::commandReplyApplied, this, [this](int group, int item) {
        const NodeNetworkItems items = NetworkItems(node_.kind);
        if (group == items.group && item == items.readItem) {
            networkReply_ = true;
        }
    });
}

EdidTransfer::~EdidTransfer() {
    for (int command = CmdNdEd0A; command <= CmdNdEd1B; ++command) {
        connection_.session().setHandler(static_cast<std::uint16_t>(command), nullptr);
    }
}

bool EdidTransfer::serial() const {
    return connection_.devices().current().isSerial();
}

void EdidTransfer::onBlock(int command, std::string_view answer) {
    DecodeEdidBlockAnswer(answer, EdidBlockBase(command), connection_.deviceEdidImage());
    blocks_[static_cast<std::size_t>(command - CmdNdEd0A)] = true;
}

void EdidTransfer::sendRead(NodeRef node) {
    node_ = node;
    blocks_ = {};
    failed_ = {};
    networkReply_ = false;
    watchNetwork();
    const std::uint16_t selector = NodeSelector(node);
    connection_.devices().current().nodeSelector = selector;
    if (serial()) {
        ProtocolSession& session = connection_.session();
        session.sendNodeSelect(selector);
        for (int command = CmdNdEd0A; command <= CmdNdEd1B; ++command) {
            session.SendCommand(ModeGet, static_cast<std::uint16_t>(command));
        }
    } else if (NetworkLink* net = connection_.network()) {
        net->sendCommand(NetworkItems(node.kind).group, NetworkItems(node.kind).readItem,
                         {node.number});
    }
}

bool EdidTransfer::complete() const {
    if (!serial()) {
        return networkReply_;
    }
    for (bool block : blocks_) {
        if (!block) {
            return false;
        }
    }
    return true;
}

bool EdidTransfer::waitForRead(int timeoutMs) {
    auto settled = [this] {
        if (!serial()) {
            return networkReply_;
        }
        for (std::size_t i = 0; i < blocks_.size(); ++i) {
            if (!blocks_[i] && !failed_[i]) {
                return false;
            }
        }
        return true;
    };
    QElapsedTimer clock;
    clock.start();
    while (!settled() && clock.elapsed() < timeoutMs) {
        connection_.session().wait(5);
    }
    return complete();
}

void EdidTransfer::repeatRead(bool allBlocks) {
    if (!serial()) {
        if (NetworkLink* net = connection_.network()) {
            net->sendCommand(NetworkItems(node_.kind).group, NetworkItems(node_.kind).readItem,
                             {node_.number});
        }
        return;
    }
    ProtocolSession& session = connection_.session();
    session.setFlag(FlagEdidBlockError, false);
    session.resetWatchdog();
    session.SendCommand(ModeGet, CmdWakeUp);
    for (int command = CmdNdEd0A; command <= CmdNdEd1B; ++command) {
        const std::size_t block = static_cast<std::size_t>(command - CmdNdEd0A);
        if (allBlocks || !blocks_[block]) {
            blocks_[block] = false;
            failed_[block] = false;
            session.SendCommand(ModeGet, static_cast<std::uint16_t>(command));
        }
    }
}

bool EdidTransfer::readNode(NodeRef node) {
    const int wait = serial() ? kSerialAnswerWaitMs : kNetworkAnswerWaitMs;
    sendRead(node);
    if (waitForRead(wait)) {
        return true;
    }
    repeatRead(false);
    return waitForRead(wait);
}

bool EdidTransfer::writeNode(NodeRef node, const EdidImage& image) {
    if (!isWritable(node.kind)) {
        return false;
    }
    const std::uint16_t selector = NodeSelector(node);
    connection_.devices().current().nodeSelector = selector;
    if (serial()) {
        ProtocolSession& session = connection_.session();
        session.disablePolling();
        session.sendNodeSelect(selector);
        for (int command = CmdNdEd0A; command <= CmdNdEd1B; ++command) {
            const std::size_t base = EdidBlockBase(command);
            session.SendCommand(ModeSet, static_cast<std::uint16_t>(command), 64,
                                image.data() + base);
        }
        session.enablePolling();
        return true;
    }
    NetworkLink* net = connection_.network();
    if (net == nullptr) {
        return false;
    }
    std::vector<std::uint8_t> data;
    data.reserve(1 + image.size());
    data.push_back(node.number);
    data.insert(data.end(), image.begin(), image.end());
    return net->sendCommand(NetworkItems(node.kind).group, *NetworkItems(node.kind).writeItem,
                            data);
}

} // namespace lvx
