#pragma once

namespace lvx::cli {

struct CliContext;

// linkvex-cli apply SITE [--dry-run] [--loopback] [--backup-dir DIR] [--json]: makes the
// devices a site file names match it. Exit status 0 when every device matches the file at the
// end (for a dry run: already), 1 otherwise, 2 on a usage or site file error (nothing sent).
int RunApply(const CliContext& context);

// linkvex-cli capture SITE [--port PATH]... [--mac MAC]... [--loopback]: writes a site file
// and its EDID files from the devices a Search finds (with --mac, only those network devices).
int RunCapture(const CliContext& context);

} // namespace lvx::cli
