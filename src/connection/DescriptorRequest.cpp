#include "connection/DescriptorRequest.h"

namespace lvx {

AnswerState RequestDeviceDescriptor(ProtocolSession& session, int timeoutMs) {
    session.SendCommand(ModeGet, CmdSysDscpt);
    const AnswerState first = session.waitForAnswer(timeoutMs);
    const ByteLink* link = session.link();
    if (first != AnswerState::BadCrc || link == nullptr || !link->isOpen()) {
        return first;
    }
    // Nothing else can go on without the descriptor: one more request, after a wake-up.
    session.log().addLine("\r\nRetry [Cmd=" + std::to_string(CmdSysDscpt) + "]");
    session.SendCommand(ModeGet, CmdWakeUp);
    session.SendCommand(ModeGet, CmdSysDscpt);
    return session.waitForAnswer(timeoutMs);
}

} // namespace lvx
