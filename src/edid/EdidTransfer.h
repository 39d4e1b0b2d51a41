#pragma once

#include "common/EdidImage.h"
#include "edid/NodeList.h"

#include <QObject>

#include <array>

namespace lvx {

class ConnectionController;

// Reads a node's EDID into the device EDID image and writes an image to an input or a user
// slot, over the COM port (ND_SEL and the four block commands) or the network (one command
// datagram), whichever the selected device uses. It keeps track of which answers arrived,
// so that a caller can wait for them instead of guessing a time.
class EdidTransfer : public QObject {
    Q_OBJECT
public:
    // How long a read waits for answers that are still on their way.
    static constexpr int kSerialAnswerWaitMs = 500;
    static constexpr int kNetworkAnswerWaitMs = 1000;

    explicit EdidTransfer(ConnectionController& connection, QObject* parent = nullptr);
    ~EdidTransfer() override;

    bool serial() const;

    // Sends the read: ND_SEL and GET ND_ED0A..ND_ED1B, or the read datagram. Returns after the
    // commands' own pacing; answers keep arriving afterwards.
    void sendRead(NodeRef node);
    // Waits until every answer of the last read arrived or failed its check, at most the
    // given time; true when all arrived.
    bool waitForRead(int timeoutMs);
    // Sends the read again for what is missing or failed its CRC, after a wake-up.
    void repeatRead(bool allBlocks);
    bool complete() const;
    // The block answers that arrived (COM port).
    const std::array<bool, 4>& blocks() const { return blocks_; }

    // A whole read with explicit waits and one repeat: true when all 256 bytes arrived.
    bool readNode(NodeRef node);

    // Writes the image to an input or a user slot; anything else is refused.
    bool writeNode(NodeRef node, const EdidImage& image);

private:
    void onBlock(int command, std::string_view answer);
    // The network link opens after start-up: follow its replies once it exists.
    void watchNetwork();

    ConnectionController& connection_;
    NodeRef node_;
    std::array<bool, 4> blocks_{};
    std::array<bool, 4> failed_{}; // answered with a bad CRC
    bool networkReply_ = false;
    const QObject* watched_ = nullptr;
};

} // namespace lvx
