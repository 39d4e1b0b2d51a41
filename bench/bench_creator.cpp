// bench_creator: the EDID creator's load over the EDID corpus, in one process.
//
// Every .bin file of tests/data/edid is read into memory once; then one creator model (with
// its hex table) loads them one after another, as "Open EDID" does after reading a file, for
// a few seconds. The figure is loads per second: a load must never be what a user waits for.
#include "BenchSupport.h"

#include "creator/CreatorModel.h"
#include "creator/HexTableModel.h"
#include "edid/EdidFile.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
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

// Runs `pass` over the corpus until at least `seconds` have passed; the passes per second.
template <typename Pass>
double Rate(const std::vector<EdidImage>& images, double seconds, Pass pass) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    std::size_t done = 0;
    double elapsed = 0;
    do {
        for (const EdidImage& image : images) {
            pass(image);
        }
        done += images.size();
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    return static_cast<double>(done) / elapsed;
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

    HexTableModel hex;
    CreatorModel model(hex);
    const double loads =
        Rate(images, seconds, [&](const EdidImage& image) { model.openImage(image); });
    std::printf("creator loads: %.0f per second (%.1f us each)\n", loads, 1e6 / loads);
    bench::PrintSummary("creator loads " + bench::Format("%.0f", loads) + " per second",
                        "at least 20000 per second in one process",
                        loads >= 20000 ? "met" : "NOT met");
    std::fflush(stdout);
    return 0;
}
