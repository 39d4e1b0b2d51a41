#pragma once

#include "cli/CliContext.h"

namespace lvx::cli {

// Finds the device the options name (--mac on the network, else the first device on the
// --port ports) and selects it. False with a message on standard error when there is none.
bool ConnectDevice(ConnectionController& controller, const CliContext& context);

int RunReadEdid(const CliContext& context);
int RunWriteEdid(const CliContext& context);
int RunGetMode(const CliContext& context);
int RunSetMode(const CliContext& context);
int RunValidate(const CliContext& context);

} // namespace lvx::cli
