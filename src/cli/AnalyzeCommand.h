#pragma once

#include <string>
#include <string_view>

namespace lvx {
struct AnalyzerReport;
}

namespace lvx::cli {

struct CliContext;

// linkvex-cli analyze FILE... [--json]: reads each file as the program reads a .bin (its
// first 256 bytes, 0xFF for what it lacks), decodes it and prints the analyzer's fifteen
// facts, as "Caption : value" lines or, with --json, as one array holding an object per
// file with the status and format words, the facts and the decoded fields. Output is
// written file by file. A file that cannot be read is reported on standard error and left
// out; the others are still printed and the exit status is then 1.
int RunAnalyze(const CliContext& context);

// The key of an analyzer fact in JSON: its label's name without "Label_" ("Max_Resolution").
std::string_view AnalyzerFactKey(std::string_view label);
// The text a fact prints as: the audio formats without the line break the window inserts.
const std::string& AnalyzerFactText(const AnalyzerReport& report, std::string_view label);

} // namespace lvx::cli
