#pragma once

namespace lvx::cli {

struct CliContext;

// linkvex-cli monitors [--json]: the DRM connectors of this PC that have an "edid" attribute,
// one line (or JSON object) each: the connector, "ok" or "no EDID", the manufacturer, the
// monitor name and, in JSON, the analyzer's facts. --connector NAME picks one; with
// -o FILE its EDID is saved as a .bin file. $LINKVEX_SYSFS_ROOT moves the sysfs tree.
int RunMonitors(const CliContext& context);

} // namespace lvx::cli
