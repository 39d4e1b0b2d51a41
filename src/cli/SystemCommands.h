#pragma once

#include "cli/CliContext.h"

namespace lvx::cli {

int RunFwInfo(const CliContext& context);
int RunFwUpdate(const CliContext& context);
int RunSetProduct(const CliContext& context);
int RunFactoryDefault(const CliContext& context);
int RunIpConfig(const CliContext& context);
int RunWebUrl(const CliContext& context);

} // namespace lvx::cli
