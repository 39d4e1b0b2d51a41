#pragma once

namespace lvx {

class ProtocolSession;

// A multi-command operation on the device, for as long as the bracket lives: the watchdog
// pauses (a silent stretch of the operation does not end the connection) and counts from 0
// at both ends. With Tell::Device the device is told too: SET SYS_STM at the start and SET
// SYS_CTM at the end, the latter only while the link is still open (a device that went away
// is told nothing). A bracket made with `open` false does nothing at all.
class TransferBracket {
public:
    enum class Tell { Device, Nobody };

    TransferBracket(ProtocolSession& session, bool open, Tell tell = Tell::Device);
    ~TransferBracket() { close(); }
    TransferBracket(const TransferBracket&) = delete;
    TransferBracket& operator=(const TransferBracket&) = delete;

    // Ends the operation before the bracket goes (what follows then runs outside it).
    void close();

private:
    ProtocolSession& session_;
    bool open_;
    Tell tell_;
};

} // namespace lvx
