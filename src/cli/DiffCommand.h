#pragma once

namespace lvx::cli {

struct CliContext;

// linkvex-cli diff A.bin B.bin [--json]: what differs between two EDIDs: the analyzer facts
// that differ, the entries of the decoded lists only one side has, and the differing byte
// runs with their fields. Exit status 0 when the two are alike, 1 when they differ, 2 when a
// file cannot be read or the arguments are wrong.
int RunDiff(const CliContext& context);

} // namespace lvx::cli
