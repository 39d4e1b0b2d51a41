#pragma once

#include "protocol/ProtocolSession.h"

namespace lvx {

// Asks the device on the session's link for its descriptor (GET SYS_DSCPT) and waits for the
// answer. An answer that fails its CRC check is asked for once more, after a wake-up and the
// line "Retry [Cmd=1]" in the debug memo; a missing answer is not. What became of the last
// request: Handled (the selected record holds the descriptor), BadCrc or Missing.
AnswerState RequestDeviceDescriptor(ProtocolSession& session, int timeoutMs = kAnswerWaitMs);

} // namespace lvx
