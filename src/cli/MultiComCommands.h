#pragma once

#include "cli/CliContext.h"

namespace lvx::cli {

// linkvex-cli multicom: the text of a device's serial channels as it arrives.
int RunMultiCom(const CliContext& context);
// linkvex-cli multicom-config: a channel's settings read, changed and read back.
int RunMultiComConfig(const CliContext& context);

} // namespace lvx::cli
