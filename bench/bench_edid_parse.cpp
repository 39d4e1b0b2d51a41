// bench_edid_parse: the full parse of an EDID (every block, the tree of the decode and the
// findings) over the EDID corpus, in one process.
//
// Every .bin file of tests/data/edid is read into memory once; then each is parsed in turn,
// round after round, for about a second; the best of three such runs gives the time per
// EDID. The goal: under 20 microseconds per EDID.
#include "BenchSupport.h"

#include "edid/EdidParse.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace lvx;
namespace fs = std::filesystem;

namespace {

// Microseconds per EDID over rounds of the whole corpus lasting about `seconds`.
double Run(const std::vector<std::vector<std::uint8_t>>& edids, double seconds, int year,
           std::size_t& checksum) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    long parsed = 0;
    double elapsed = 0;
    do {
        for (const auto& e : edids) {
            const EdidParse p = ParseEdid(e, year);
            checksum += p.details.size() + p.findings.size();
            ++parsed;
        }
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    return elapsed * 1e6 / static_cast<double>(parsed);
}

} // namespace

int main(int argc, char** argv) {
    const fs::path corpus = argc > 1 ? fs::path(argv[1]) : fs::path("tests/data/edid");
    const std::vector<std::vector<std::uint8_t>> edids = bench::ReadCorpus(corpus);
    if (edids.empty()) {
        std::fprintf(stderr, "bench_edid_parse: no .bin files in %s\n", corpus.c_str());
        return 1;
    }
    const int year = CurrentYear();
    std::size_t checksum = 0;
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        best = std::min(best, Run(edids, 1.0, year, checksum));
    }
    std::printf("== EDID parse, %zu files (tree and findings included), best of 3\n", edids.size());
    std::printf("full parse: %.2f us per EDID (%.0f EDIDs/s)   [%zu]\n", best, 1e6 / best,
                checksum % 10);
    bench::PrintSummary("full EDID parse " + bench::Format("%.2f", best) + " us per EDID",
                        "under 20 us", best < 20.0 ? "met" : "NOT met");
    return 0;
}
