#pragma once

#include "common/EdidImage.h"
#include "edid/NodeList.h"
#include "protocol/ProtocolSession.h"

#include <QObject>

#include <array>
#include <string>

namespace lvx {

class ConnectionController;

// Reads a node's EDID into the device EDID image and writes an image to an input or a user
// slot, over the COM port (ND_SEL and the four block commands) or the network (one command
// datagram), whichever the selected device uses. It keeps track of which answers arrived,
// so that a caller can wait for them instead of guessing a time.
class EdidTransfer : public QObject {
    Q_OBJECT
public:
    // How long a read waits for an answer that is still on its way: each block's over the
    // COM port, the one reply over the network.
    static constexpr int kSerialAnswerWaitMs = kAnswerWaitMs;
    static constexpr int kNetworkAnswerWaitMs = 1000;

    explicit EdidTransfer(ConnectionController& connection, QObject* parent = nullptr);
    ~EdidTransfer() override;

    bool serial() const;

    // Sends the read: ND_SEL and GET ND_ED0A..ND_ED1B, or the read datagram. Over the COM port
    // each answer is waited for before the next command goes: a block counts only when its
    // own command's answer holds exactly one block. A block whose answer does not come, or is
    // not a block (it may be a late answer of another command), ends the pass, since the
    // answer still on its way would be taken for the next block's.
    void sendRead(NodeRef node);
    // Waits until the answers of the last read arrived or failed, at most the given time
    // (over the network; the COM port's were waited for as they were sent); true when all
    // arrived.
    bool waitForRead(int timeoutMs);
    // Sends the read again for what is missing (ND_SEL too when it was not answered), after
    // a wake-up, which also lets a late answer go by.
    void repeatRead(bool allBlocks);
    bool complete() const;
    // The block answers that arrived (COM port).
    const std::array<bool, 4>& blocks() const { return blocks_; }

    // A whole read with explicit waits and one repeat: true when all 256 bytes arrived.
    bool readNode(NodeRef node);

    // Writes the image to an input or a user slot; anything else is refused. Over the COM port
    // true only when ND_SEL and every block were answered (the datagram has no reply).
    bool writeNode(NodeRef node, const EdidImage& image);

    // Why the last read or write did not complete ("the device did not answer SET ND_ED0B").
    const std::string& failure() const { return failure_; }

private:
    void onBlock(int command, std::string_view answer);
    // Sends GET for the blocks still wanted, each answer waited for.
    void requestBlocks(bool allBlocks);
    // Waits for the answer of the SET just sent; false (with the reason) when it did not come.
    bool setAnswered(std::uint16_t command);
    // The network link opens after start-up: follow its replies once it exists.
    void watchNetwork();

    ConnectionController& connection_;
    NodeRef node_;
    std::array<bool, 4> blocks_{};
    bool selected_ = false; // the device answered the read's ND_SEL
    bool networkReply_ = false;
    std::string failure_;
    const QObject* watched_ = nullptr;
};

} // namespace lvx
