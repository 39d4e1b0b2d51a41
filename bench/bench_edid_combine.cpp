// bench_edid_combine: combining three EDIDs of the sample set (every source parsed, the rules,
// the blocks written and parsed again for the report), over many triples, in one process.
//
// Every .bin file of tests/data/edid is read into memory once; then triples of them (the
// 4K HDR television with two others, and three others) are combined in turn for about a
// second; the best of three such runs gives the time per combination. The goal: under 1 ms.
#include "BenchSupport.h"

#include "edid/EdidCombine.h"
#include "edid/EdidParse.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

using namespace lvx;
namespace fs = std::filesystem;

namespace {

// Microseconds per combination of three over rounds lasting about `seconds`.
double Run(const std::vector<std::vector<CombineSource>>& triples, double seconds,
           std::size_t& checksum) {
    using Clock = std::chrono::steady_clock;
    CombineOptions options;
    options.currentYear = CurrentYear();
    const auto start = Clock::now();
    long combined = 0;
    double elapsed = 0;
    do {
        for (const auto& t : triples) {
            const CombineResult r = CombineEdids(t, options);
            checksum += r.bytes.size() + r.dropped.size();
            ++combined;
        }
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    return elapsed * 1e6 / static_cast<double>(combined);
}

} // namespace

int main(int argc, char** argv) {
    const fs::path corpus = argc > 1 ? fs::path(argv[1]) : fs::path("tests/data/edid");
    const std::vector<std::vector<std::uint8_t>> edids = bench::ReadCorpus(corpus);
    if (edids.size() < 3) {
        std::fprintf(stderr, "bench_edid_combine: too few .bin files in %s\n", corpus.c_str());
        return 1;
    }
    std::ifstream tvFile(corpus / "0146DD9202CC.bin", std::ios::binary);
    const std::vector<std::uint8_t> tv{std::istreambuf_iterator<char>(tvFile),
                                       std::istreambuf_iterator<char>()};
    std::vector<std::vector<CombineSource>> triples;
    const std::size_t n = edids.size();
    for (std::size_t i = 0; i < 200; ++i) {
        const auto& first = i % 2 == 0 && !tv.empty() ? tv : edids[(i * 13) % n];
        triples.push_back(
            {{"A", first}, {"B", edids[(i * 37 + 5) % n]}, {"C", edids[(i * 71 + 11) % n]}});
    }
    std::size_t checksum = 0;
    double best = 1e9;
    for (int round = 0; round < 3; ++round) {
        best = std::min(best, Run(triples, 1.0, checksum));
    }
    std::printf("== EDID combination of three, %zu triples, best of 3\n", triples.size());
    std::printf("combine: %.1f us per combination   [%zu]\n", best, checksum % 10);
    bench::PrintSummary("combining three EDIDs " + bench::Format("%.1f", best) + " us",
                        "under 1 ms", best < 1000.0 ? "met" : "NOT met");
    return 0;
}
