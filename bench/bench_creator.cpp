// bench_creator: the EDID creator's load and build over the EDID corpus, in one process.
//
// Every .bin file of tests/data/edid is read into memory once; then one creator model (with
// its hex table) loads them one after another, as "Open EDID" does after reading a file, for
// a few seconds: loads per second. Then each EDID is loaded (not timed) and built ten times,
// as "Save EDID" builds: builds per second. Neither must ever be what a user waits for.
#include "BenchSupport.h"

#include "creator/CreatorModel.h"
#include "creator/EdidWorkImage.h"
#include "edid/EdidFile.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace lvx;
namespace fs = std::filesystem;

namespace {

std::vector<EdidImage> ReadCorpus(const fs::path& dir) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().extension() == ".bin") {
            files.push_back(entry.path());
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<EdidImage> images;
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                              std::istreambuf_iterator<char>());
        images.push_back(ImageFromFileBytes(bytes));
    }
    return images;
}

// This process's CPU time in seconds, to the nanosecond.
double CpuNow() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// A rate in passes per second of wall time and per second of this process's CPU time (the
// latter stays meaningful on a machine busy with other work).
struct Rates {
    double wall = 0;
    double cpu = 0;
};

// Runs `pass` over the corpus until at least `seconds` have passed.
template <typename Pass>
Rates Rate(const std::vector<EdidImage>& images, double seconds, Pass pass) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const double cpuStart = CpuNow();
    std::size_t done = 0;
    double elapsed = 0;
    do {
        for (const EdidImage& image : images) {
            pass(image);
        }
        done += images.size();
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    const double cpu = CpuNow() - cpuStart;
    return {static_cast<double>(done) / elapsed, static_cast<double>(done) / std::max(cpu, 1e-6)};
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    fs::path corpus = "tests/data/edid";
    double seconds = 3;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--corpus") == 0 && i + 1 < argc) {
            corpus = argv[++i];
        } else if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
        } else {
            std::fprintf(stderr, "usage: bench_creator [--corpus DIR] [--seconds S]\n");
            return 2;
        }
    }
    const std::vector<EdidImage> images = ReadCorpus(corpus);
    if (images.empty()) {
        std::fprintf(stderr, "bench_creator: no .bin files in %s\n", corpus.c_str());
        return 1;
    }
    std::printf("== EDID creator over %zu corpus EDIDs (%.0f s each)\n", images.size(), seconds);
    std::printf("machine: %ld CPUs online, load average at start %s\n", bench::OnlineCpus(),
                bench::LoadAverage().c_str());

    EdidWorkImage hex;
    CreatorModel model(hex);
    const Rates loads =
        Rate(images, seconds, [&](const EdidImage& image) { model.openImage(image); });
    std::printf("creator loads: %.0f per CPU second (%.1f us each), %.0f per wall second\n",
                loads.cpu, 1e6 / loads.cpu, loads.wall);

    // Builds: each EDID loaded once (not counted), then built ten times.
    constexpr int kBuildsPerLoad = 10;
    std::size_t builds = 0;
    std::size_t failed = 0;
    double cpuSeconds = 0;
    double wallSeconds = 0;
    do {
        for (const EdidImage& image : images) {
            model.openImage(image);
            const auto start = std::chrono::steady_clock::now();
            const double cpuStart = CpuNow();
            for (int i = 0; i < kBuildsPerLoad; ++i) {
                failed += model.build().ok ? 0 : 1;
            }
            cpuSeconds += CpuNow() - cpuStart;
            wallSeconds +=
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            builds += kBuildsPerLoad;
        }
    } while (wallSeconds < seconds);
    const Rates buildRate{static_cast<double>(builds) / wallSeconds,
                          static_cast<double>(builds) / std::max(cpuSeconds, 1e-6)};
    std::printf("creator builds: %.0f per CPU second (%.1f us each), %.0f per wall second; "
                "%zu of %zu stopped\n",
                buildRate.cpu, 1e6 / buildRate.cpu, buildRate.wall, failed, builds);

    bench::PrintSummary("creator loads " + bench::Format("%.0f", loads.cpu) + " per CPU second (" +
                            bench::Format("%.0f", loads.wall) + " per wall second)",
                        "at least 20000 per second in one process",
                        loads.cpu >= 20000 ? "met" : "NOT met");
    bench::PrintSummary(
        "creator builds " + bench::Format("%.0f", buildRate.cpu) + " per CPU second (" +
            bench::Format("%.0f", buildRate.wall) + " per wall second)",
        "at least 20000 per second in one process", buildRate.cpu >= 20000 ? "met" : "NOT met");
    std::fflush(stdout);
    return 0;
}
