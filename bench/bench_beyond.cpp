// bench_beyond: the comparison of two EDIDs and a device backup.
//
// diff: CompareEdids over 1,000 pairs of corpus files (each file with the next one in name
// order) in one process, the best of three rounds, in pairs per second.
//
// backup: a backup of a simulated COM-port device with 2 inputs, 1 output, 4 user slots and
// 8 internal EDIDs (linkvex-devsim), against its transfer floor: the pacing waits the
// protocol puts after every command it must send, which no flow can go below. Those are, per
// node, ND_SEL (20 ms, and 100 ms more for a user slot, 50 ms more otherwise) and four GETs
// of 60 ms; per input, ND_SEL and GET RXEDMD for its mode; and SYS_STM and SYS_CTM around
// it all (20 ms each).
#include "BenchSupport.h"

#include "connection/ConnectionController.h"
#include "edid/DeviceBackupTool.h"
#include "edid/EdidComparison.h"
#include "edid/EdidFile.h"
#include "edid/EdidTransfer.h"
#include "edid/InputModeTool.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

using namespace lvx;
using namespace lvx::bench;

namespace {

int Fail(const char* message) {
    std::fprintf(stderr, "bench_beyond: %s\n", message);
    std::fflush(stdout);
    return 1;
}

constexpr int kPairs = 1000;

bool BenchDiff(const QString& corpus) {
    QStringList names = QDir(corpus).entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name);
    if (names.size() < kPairs + 1) {
        std::fprintf(stderr, "bench_beyond: %s holds %lld files, %d needed\n", qPrintable(corpus),
                     static_cast<long long>(names.size()), kPairs + 1);
        return false;
    }
    std::vector<EdidImage> images;
    for (int i = 0; i <= kPairs; ++i) {
        QFile file(QDir(corpus).filePath(names[i]));
        if (!file.open(QIODevice::ReadOnly)) {
            return false;
        }
        const QByteArray bytes = file.read(256);
        images.push_back(ImageFromFileBytes(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                            static_cast<std::size_t>(bytes.size())));
    }
    double best = 0;
    double bestCpu = 0;
    long differing = 0;
    for (int round = 0; round < 3; ++round) {
        const double cpuStart = ProcessCpu().total();
        const auto start = std::chrono::steady_clock::now();
        differing = 0;
        for (int i = 0; i < kPairs; ++i) {
            const EdidComparison c = CompareEdids(images[static_cast<std::size_t>(i)],
                                                  images[static_cast<std::size_t>(i + 1)]);
            differing += static_cast<long>(c.ranges.size() + c.changes.size());
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = std::max(best, kPairs / seconds);
        const double cpu = ProcessCpu().total() - cpuStart;
        if (cpu > 0) {
            bestCpu = std::max(bestCpu, kPairs / cpu);
        }
    }
    // On a busy machine the wall clock also counts other programs' turns; the CPU time
    // this process spent says what the comparison itself costs.
    std::printf("diff: %d corpus pairs, %ld byte runs and list entries found, best of 3 rounds "
                "%.0f pairs/s by the clock (%.1f us per pair), %.0f pairs per CPU second\n",
                kPairs, differing, best, 1e6 / best, bestCpu);
    PrintSummary(Format("diff %.0f pairs per second", best) + " (1000 corpus pairs, one process)",
                 "at least 10,000 pairs per second", best >= 10000 ? "met" : "NOT met");
    return true;
}

// The pacing of the commands a backup of this device must send, in ms.
int TransferFloorMs(int inputs, int outputs, int users, int internals) {
    const int get = 60;
    const int select = 20 + 50;
    const int selectUser = 20 + 100;
    const int blocks = 4 * get;
    const int nodes =
        (inputs + outputs + internals) * (select + blocks) + users * (selectUser + blocks);
    const int modes = inputs * (select + get);
    const int bracket = 20 + 20;
    return nodes + modes + bracket;
}

bool BenchBackup(const QString& devsim, int repeats) {
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(devsim, {QStringLiteral("--counts"), QStringLiteral("2,1,4,8,0")});
    if (!sim.waitForStarted(5000)) {
        std::fprintf(stderr, "bench_beyond: the simulator did not start\n");
        return false;
    }
    QElapsedTimer startup;
    startup.start();
    while (!sim.canReadLine() && sim.state() == QProcess::Running && startup.elapsed() < 10000) {
        sim.waitForReadyRead(500);
    }
    const QString pty = QString::fromLocal8Bit(sim.readLine()).trimmed();
    auto stop = [&sim] {
        sim.terminate();
        if (!sim.waitForFinished(3000)) {
            sim.kill();
            sim.waitForFinished(2000);
        }
    };
    if (pty.isEmpty()) {
        stop();
        std::fprintf(stderr, "bench_beyond: the simulator printed no pseudo terminal\n");
        return false;
    }
    ConnectionController controller;
    controller.ethernet = false;
    controller.givenPorts = {pty};
    controller.search();
    if (controller.devices().count != 1) {
        stop();
        std::fprintf(stderr, "bench_beyond: the simulated device was not found\n");
        return false;
    }
    controller.select(1);
    EdidTransfer transfer(controller);
    InputModeTool modes(controller);
    DeviceBackupTool tool(controller, transfer, modes);

    const int floor = TransferFloorMs(2, 1, 4, 8);
    double best = 0;
    bool ok = true;
    for (int i = 0; i < repeats && ok; ++i) {
        QTemporaryDir dir;
        QElapsedTimer clock;
        clock.start();
        const DeviceBackupTool::BackupResult result = tool.backup(dir.path());
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        ok = result.ok;
        best = i == 0 ? ms : std::min(best, ms);
        std::printf("backup %d: %.0f ms, %s\n", i + 1, ms, result.ok ? "complete" : "FAILED");
    }
    controller.disconnectDevices();
    stop();
    if (!ok) {
        return false;
    }
    const double over = 100.0 * (best - floor) / floor;
    std::printf("backup: 15 EDIDs and 2 modes over a pseudo terminal, best %.0f ms; transfer "
                "floor %d ms; %.1f %% above it\n",
                best, floor, over);
    PrintSummary(Format("backup %.0f ms", best) +
                     Format(" against a transfer floor of %.0f ms", floor) +
                     Format(" (+%.1f %%)", over),
                 "within 10 % of the floor", over <= 10 ? "met" : "NOT met");
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bench_beyond"));
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption corpusOption(
        QStringLiteral("corpus"), QStringLiteral("The EDID files (default tests/data/edid)."),
        QStringLiteral("dir"), QStringLiteral("tests/data/edid"));
    const QCommandLineOption devsimOption(
        QStringLiteral("devsim"),
        QStringLiteral("The simulator (default: linkvex-devsim next to this program)."),
        QStringLiteral("path"));
    const QCommandLineOption repeatsOption(QStringLiteral("backups"),
                                           QStringLiteral("Backups to run (default 3)."),
                                           QStringLiteral("n"), QStringLiteral("3"));
    parser.addOptions({corpusOption, devsimOption, repeatsOption});
    parser.process(app);
    const QString devsim = parser.isSet(devsimOption)
                               ? parser.value(devsimOption)
                               : QDir(QCoreApplication::applicationDirPath())
                                     .filePath(QStringLiteral("linkvex-devsim"));
    if (!QFileInfo(devsim).isExecutable()) {
        return Fail("no simulator next to this program; give --devsim");
    }
    std::printf("== EDID comparison and device backup\n");
    std::printf("machine: %ld CPUs online, load average at start %s\n", OnlineCpus(),
                LoadAverage().c_str());
    if (!BenchDiff(parser.value(corpusOption))) {
        return Fail("the diff benchmark could not run");
    }
    if (!BenchBackup(devsim, std::max(1, parser.value(repeatsOption).toInt()))) {
        return Fail("the backup benchmark could not run");
    }
    std::fflush(stdout);
    return 0;
}
