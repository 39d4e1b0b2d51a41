#pragma once

#include "cli/CliContext.h"
#include "edid/NodeList.h"

#include <optional>

namespace lvx::cli {

// "input1", "output2", "user3", "internal4": 1-based, as the lists show them.
std::optional<NodeRef> ParseNode(const QString& text);
// Finds the device the options name (--mac on the network, else the first device on the
// --port ports) and selects it. False with a message when there is none.
bool ConnectDevice(ConnectionController& controller, const CliContext& context);
// The node exists on the selected device; false with a message otherwise.
bool CheckNode(const ConnectionController& controller, const std::optional<NodeRef>& node,
               const CliContext& context);

int RunReadEdid(const CliContext& context);
int RunWriteEdid(const CliContext& context);
int RunGetMode(const CliContext& context);
int RunSetMode(const CliContext& context);
int RunValidate(const CliContext& context);

} // namespace lvx::cli
