#pragma once

#include "cli/CliContext.h"

namespace lvx::cli {

// creator-load FILE | --brand-new [--date YYYY-MM-DD]: every creator control after the load.
int RunCreatorLoad(const CliContext& context);
// creator-build (FILE | --brand-new) [--set NAME=VALUE]... [-o OUT]: "Save EDID".
int RunCreatorBuild(const CliContext& context);
// creator-write (FILE | --brand-new) [--set NAME=VALUE]... --node NODE (--port | --mac):
// "Write EDID to Device".
int RunCreatorWrite(const CliContext& context);

} // namespace lvx::cli
