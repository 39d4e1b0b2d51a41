#pragma once

#include "cli/CliContext.h"

namespace lvx::cli {

// creator-load FILE | --brand-new [--date YYYY-MM-DD]: every creator control after the load.
int RunCreatorLoad(const CliContext& context);

} // namespace lvx::cli
