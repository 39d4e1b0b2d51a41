#pragma once

#include "cli/CliContext.h"

namespace lvx::cli {

int RunReadEdid(const CliContext& context);
int RunWriteEdid(const CliContext& context);
int RunGetMode(const CliContext& context);
int RunSetMode(const CliContext& context);
int RunValidate(const CliContext& context);

} // namespace lvx::cli
