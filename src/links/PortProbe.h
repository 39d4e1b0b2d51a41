#pragma once

#include "links/PortAccess.h"

#include <optional>
#include <string>

namespace lvx {

// Asks the system whether this process may read and write the node at `path` (with its
// effective user and groups). Nothing when it may, or when the node cannot be looked at;
// otherwise the node's group and mode, the user, and whether the user is listed in the group.
std::optional<PortAccess> ProbePortAccess(const std::string& path);

} // namespace lvx
