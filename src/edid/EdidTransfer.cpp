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
    if (!DecodeEdidBlockAnswer(answer, EdidBlockBase(command), connection_.deviceEdidImage())) {
        // Well formed but not a block: an "OK", a descriptor, a short text, a late answer of
        // another command. Missing, as a block with a bad CRC is; the image keeps its bytes.
        connection_.log().addLine("\r\nNot an EDID block [Cmd=" + std::to_string(command) + "]");
        return;
    }
    blocks_[static_cast<std::size_t>(command - CmdNdEd0A)] = true;
}

void EdidTransfer::sendRead(NodeRef node) {
    node_ = node;
    blocks_ = {};
    selected_ = false;
    failure_.clear();
    networkReply_ = false;
    watchNetwork();
    const std::uint16_t selector = NodeSelector(node);
    connection_.devices().current().nodeSelector = selector;
    if (serial()) {
        ProtocolSession& session = connection_.session();
        session.sendNodeSelect(selector);
        // Unanswered, the device may still show another node: no block is asked for.
        selected_ = session.answered();
        if (selected_) {
            requestBlocks(true);
        }
    } else if (NetworkLink* net = connection_.network()) {
        net->sendCommand(NetworkItems(node.kind).group, NetworkItems(node.kind).readItem,
                         {node.number});
    }
}

void EdidTransfer::requestBlocks(bool allBlocks) {
    ProtocolSession& session = connection_.session();
    for (int command = CmdNdEd0A; command <= CmdNdEd1B; ++command) {
        const std::size_t block = static_cast<std::size_t>(command - CmdNdEd0A);
        if (!allBlocks && blocks_[block]) {
            continue;
        }
        blocks_[block] = false;
        session.SendCommand(ModeGet, static_cast<std::uint16_t>(command));
        const AnswerState state = session.waitForAnswer(kSerialAnswerWaitMs);
        // A bad CRC used up its answer; anything else may have one still on its way.
        if (state != AnswerState::BadCrc && !blocks_[block]) {
            return;
        }
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
    QElapsedTimer clock;
    clock.start();
    while (!serial() && !networkReply_ && clock.elapsed() < timeoutMs) {
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
    session.clearEdidBlockError();
    session.resetWatchdog();
    session.SendCommand(ModeGet, CmdWakeUp);
    if (!selected_) {
        session.sendNodeSelect(NodeSelector(node_));
        selected_ = session.answered();
        if (!selected_) {
            return;
        }
    }
    requestBlocks(allBlocks);
}

bool EdidTransfer::readNode(NodeRef node) {
    const int wait = serial() ? kSerialAnswerWaitMs : kNetworkAnswerWaitMs;
    sendRead(node);
    if (waitForRead(wait)) {
        return true;
    }
    repeatRead(false);
    if (waitForRead(wait)) {
        return true;
    }
    failure_ = !connection_.selectedLinkUp() ? "the link to the device was lost"
               : serial() && !selected_      ? "the device did not answer SET ND_SEL"
                                             : "the device did not send the whole EDID";
    return false;
}

bool EdidTransfer::setAnswered(std::uint16_t command) {
    ProtocolSession& session = connection_.session();
    const AnswerState state = session.waitForAnswer();
    if (state == AnswerState::Handled) {
        return true;
    }
    const std::string name(CommandName(command));
    failure_ = !connection_.selectedLinkUp() ? "the link to the device was lost"
               : state == AnswerState::BadCrc
                   ? "the device's answer to SET " + name + " failed its check"
                   : "the device did not answer SET " + name;
    return false;
}

bool EdidTransfer::writeNode(NodeRef node, const EdidImage& image) {
    failure_.clear();
    if (!isWritable(node.kind)) {
        failure_ = "only inputs and user slots can be written";
        return false;
    }
    const std::uint16_t selector = NodeSelector(node);
    connection_.devices().current().nodeSelector = selector;
    if (serial()) {
        ProtocolSession& session = connection_.session();
        session.sendNodeSelect(selector);
        // Each SET is answered before the next goes: a write the device did not take, or a
        // device gone silent or lost part way, is a failed write, never a success.
        bool ok = setAnswered(CmdNdSel);
        for (int command = CmdNdEd0A; ok && command <= CmdNdEd1B; ++command) {
            const std::size_t base = EdidBlockBase(command);
            session.SendCommand(ModeSet, static_cast<std::uint16_t>(command), 64,
                                image.data() + base);
            ok = setAnswered(static_cast<std::uint16_t>(command));
        }
        return ok;
    }
    NetworkLink* net = connection_.network();
    if (net == nullptr) {
        failure_ = "the network link is not open";
        return false;
    }
    std::vector<std::uint8_t> data;
    data.reserve(1 + image.size());
    data.push_back(node.number);
    data.insert(data.end(), image.begin(), image.end());
    if (!net->sendCommand(NetworkItems(node.kind).group, *NetworkItems(node.kind).writeItem,
                          data)) {
        failure_ = "the write datagram could not be sent";
        return false;
    }
    return true;
}

} // namespace lvx
