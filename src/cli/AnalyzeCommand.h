#pragma once

namespace lvx::cli {

struct CliContext;

// linkvex-cli analyze FILE... [--json]: reads each file as the program reads a .bin (its
// first 256 bytes, 0xFF for what it lacks), decodes it and prints the analyzer's fifteen
// facts, as "Caption : value" lines or, with --json, as one array holding an object per
// file with the status and format words, the facts and the decoded fields. Output is
// written file by file. A file that cannot be read is reported on standard error and left
// out; the others are still printed and the exit status is then 1.
int RunAnalyze(const CliContext& context);

} // namespace lvx::cli
