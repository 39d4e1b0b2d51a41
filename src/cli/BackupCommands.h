#pragma once

namespace lvx::cli {

struct CliContext;

// linkvex-cli backup (--port PATH | --mac MAC [--loopback]) DIR [--json]: every node's EDID
// and every input's mode into DIR, one line per step on standard error; --json prints the
// manifest. Exit status 1 when anything could not be read or written.
int RunBackup(const CliContext& context);

// linkvex-cli restore (--port PATH | --mac MAC [--loopback]) DIR [--force] [--json]: checks
// DIR, then writes the user slots and the inputs and sets the modes, one line per step on
// standard error. A backup of another model or other counts, or an incomplete one, is
// refused unless --force is given; a damaged folder is refused always. Nothing is sent when
// it is refused.
int RunRestore(const CliContext& context);

} // namespace lvx::cli
