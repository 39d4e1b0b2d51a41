// bench_codecs: the pure codecs on the receive path, with Google Benchmark.
//
// Each answer costs one CRC over its body, one CheckAnswer and, for descriptors, one
// ReadFields. They run inside the 12 ms receive tick, so each should stay a tiny part of it.
#include "BenchSupport.h"

#include "protocol/Crc16.h"
#include "protocol/Descriptor.h"
#include "protocol/Frame.h"
#include "protocol/Hex.h"

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

using namespace lvx;

namespace {

// 128 hexadecimal characters: one EDID block answer's payload.
std::string EdidBlockHex() {
    std::string hex;
    for (int i = 0; i < 64; ++i) {
        hex += ByteToHex(static_cast<std::uint8_t>(i * 37 + 11));
    }
    return hex;
}

std::string WithCrc(const std::string& body) {
    return body + Hex4(Crc16(kCrcInit, body)) + "\n";
}

// A device descriptor answer: twelve form-feed separated fields.
std::string DescriptorAnswer() {
    const std::vector<std::string> fields = {
        "1A2B", "2037", "QEM-2", "EDID Management", "x", "1.0", "T", "2", "1", "4", "8", "3"};
    std::string body;
    for (const std::string& f : fields) {
        body += f;
        body += kFieldSeparator;
    }
    return WithCrc(body);
}

void BM_Crc16_128Hex(benchmark::State& state) {
    const std::string hex = EdidBlockHex();
    for (auto _ : state) {
        benchmark::DoNotOptimize(Crc16(kCrcInit, hex));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(hex.size()));
}
BENCHMARK(BM_Crc16_128Hex);

void BM_CheckAnswer_EdidBlock(benchmark::State& state) {
    const std::string answer = WithCrc(EdidBlockHex());
    for (auto _ : state) {
        benchmark::DoNotOptimize(CheckAnswer(answer));
    }
}
BENCHMARK(BM_CheckAnswer_EdidBlock);

void BM_ReadFields_Descriptor(benchmark::State& state) {
    const std::string answer = DescriptorAnswer();
    for (auto _ : state) {
        benchmark::DoNotOptimize(ReadFields(answer));
    }
}
BENCHMARK(BM_ReadFields_Descriptor);

// Keeps the console output and remembers each benchmark's time per iteration in ns.
class SummaryReporter : public benchmark::ConsoleReporter {
public:
    explicit SummaryReporter(OutputOptions options) : ConsoleReporter(options) {}
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0) {
                continue;
            }
            const double ns =
                run.GetAdjustedRealTime() * (1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit));
            nanoseconds[run.benchmark_name()] = ns;
        }
    }
    std::map<std::string, double> nanoseconds;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    std::printf("== Codecs of the receive path\n");
    std::printf("machine: %ld CPUs online, load average at start %s\n", bench::OnlineCpus(),
                bench::LoadAverage().c_str());
    // Colours only on a terminal: the run script reads this output line by line.
    SummaryReporter reporter(::isatty(STDOUT_FILENO) ? benchmark::ConsoleReporter::OO_Defaults
                                                     : benchmark::ConsoleReporter::OO_Tabular);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    // Each call runs once per answer inside a 12 ms tick: 10 us is under 0.1 % of it.
    constexpr double kGoalNs = 10000;
    for (const auto& [name, ns] : reporter.nanoseconds) {
        bench::PrintSummary(name + " " + bench::Format("%.0f", ns) + " ns per call",
                            "under 10 us (0.1 % of a 12 ms tick)",
                            ns < kGoalNs ? "met" : "NOT met");
    }
    std::fflush(stdout);
    return 0;
}
