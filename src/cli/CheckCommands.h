#pragma once

#include <QJsonObject>

namespace lvx {
struct EdidParse;
}

namespace lvx::cli {

struct CliContext;

// linkvex-cli analyze FILE... --full [--json]: the whole decode of each file (every block,
// any length), as an indented tree or, with --json, as an array of {"file", "detail"}.
// A file that cannot be read is reported on standard error; the exit status is then 1.
int RunAnalyzeFull(const CliContext& context);

// linkvex-cli check FILE... [--json]: the findings of each file, failures first, and its
// verdict. Exit status 0 when no file has a failure, 1 when one has, 2 when a file cannot be
// read (or on a usage error).
int RunCheck(const CliContext& context);

// The "detail" object of one parse: the lists scripts compare (vics, y420Vics,
// y420CapableVics, detailedTimings, audio, hdmiMaxTmdsMHz, hfMaxTmdsMHz, hdrEotfs), a few
// identification fields and the tree.
QJsonObject DetailJson(const EdidParse& parse);

} // namespace lvx::cli
