#include "protocol/TransferBracket.h"

#include "protocol/ProtocolSession.h"

namespace lvx {

TransferBracket::TransferBracket(ProtocolSession& session, bool open, Tell tell)
    : session_(session), open_(open), tell_(tell) {
    if (!open_) {
        return;
    }
    session_.setTransfer(true);
    session_.resetWatchdog();
    if (tell_ == Tell::Device) {
        session_.SendCommand(ModeSet, CmdSysStm);
    }
}

void TransferBracket::close() {
    if (!open_) {
        return;
    }
    open_ = false;
    session_.setTransfer(false);
    session_.resetWatchdog();
    const ByteLink* link = session_.link();
    if (tell_ == Tell::Device && link != nullptr && link->isOpen()) {
        session_.SendCommand(ModeSet, CmdSysCtm);
    }
}

} // namespace lvx
