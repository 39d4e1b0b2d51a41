#pragma once

#include "cli/CliContext.h"

namespace lvx::cli {

// linkvex-cli combine SOURCE... -o OUT: one EDID every source display takes. A SOURCE is a
// file, monitor:NAME (this PC's display) or node:NODE of the device named by --port or --mac.
int RunCombine(const CliContext& context);

} // namespace lvx::cli
