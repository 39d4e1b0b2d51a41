// bench_firmware_transfer: time of a firmware update against its pacing floor.
//
// Starts linkvex-devsim as a device in loader mode on a pseudo terminal, searches it with the
// ConnectionController, opens a firmware file of the given size with the FirmwareTool and
// updates it, all with the program's own waits (PumpDelay). The floor is the sum of the waits
// the transfer must make, worked out here from the file size: 20 ms after every SET, 30 ms
// (loader 091) or 90 ms (loader 029) more after FW_DATA, 100 ms after the first block of
// each 2048-byte page, one FW_CHK per page and 50 ms before FW_END. The time above the floor
// is what writing, reading and the event loop cost. The flashed image is compared with the
// file afterwards.
#include "BenchSupport.h"

#include "common/Prompt.h"
#include "connection/ConnectionController.h"
#include "protocol/PumpDelay.h"
#include "system/FirmwareTool.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

using namespace lvx;
using namespace lvx::bench;

namespace {

int Fail(const char* message) {
    std::fprintf(stderr, "bench_firmware_transfer: %s\n", message);
    std::fflush(stdout);
    return 1;
}

class FilePrompt : public Prompt {
public:
    explicit FilePrompt(std::string file) : file_(std::move(file)) {}
    std::string openFileName(const std::string&) override { return file_; }
    std::string saveFileName(const std::string&, const std::string&) override { return {}; }
    void message(const std::string&, const std::string&) override {}
    bool confirm(const std::string&, const std::string&) override { return true; }

private:
    std::string file_;
};

// The waits a transfer of `size` bytes has to make, in milliseconds.
struct Floor {
    long blocks = 0;
    long pageStarts = 0;
    long pageChecks = 0;
    long ms = 0;
};

Floor PacingFloor(int kind, long size) {
    Floor f;
    if (kind == 1) {
        f.blocks = (size + 63) / 64;
        f.ms = f.blocks * (20 + 20 + 90) + 20;
        return f;
    }
    const long blocks = (size + 127) / 128;
    // A file that ends on a page boundary is followed by one more block, after its check.
    f.blocks = blocks % 16 == 0 ? blocks + 1 : blocks;
    f.pageStarts = (f.blocks - 1) / 16 + 1;
    f.pageChecks = f.blocks / 16;
    f.ms = f.blocks * (20 + 20 + 30) + f.pageStarts * 100 + f.pageChecks * 20 + 50 + 20;
    return f;
}

QByteArray FirmwareFile(long size) {
    QByteArray file(static_cast<qsizetype>(size), '\0');
    for (long i = 0; i < size; ++i) {
        file[static_cast<qsizetype>(i)] = static_cast<char>(i * 151 + (i >> 9));
    }
    const QByteArray header = QByteArray("FW VER:x") + QByteArray("9.99\0\0\0\0", 8) + "BNCHMARK";
    file.replace(512, header.size(), header);
    return file;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bench_firmware_transfer"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Firmware update time against its pacing floor (simulated loader)."));
    parser.addHelpOption();
    const QCommandLineOption kindOption(QStringLiteral("kind"),
                                        QStringLiteral("Loader: 1 ($ISP029) or 2 ($ISP091, "
                                                       "default)."),
                                        QStringLiteral("k"), QStringLiteral("2"));
    const QCommandLineOption sizeOption(QStringLiteral("size"),
                                        QStringLiteral("Firmware size in bytes (default 65536)."),
                                        QStringLiteral("bytes"), QStringLiteral("65536"));
    const QCommandLineOption devsimOption(
        QStringLiteral("devsim"),
        QStringLiteral("The simulator (default: linkvex-devsim next to this program)."),
        QStringLiteral("path"));
    parser.addOptions({kindOption, sizeOption, devsimOption});
    parser.process(app);

    const int kind = parser.value(kindOption).toInt();
    const long size = parser.value(sizeOption).toLong();
    if ((kind != 1 && kind != 2) || size < 1024 || size > (kind == 1 ? 65536 : 4 << 20)) {
        return Fail("--kind is 1 or 2; --size from 1024 to 65536 (kind 1) or 4 MiB (kind 2)");
    }
    const QString devsim = parser.isSet(devsimOption)
                               ? parser.value(devsimOption)
                               : QDir(QCoreApplication::applicationDirPath())
                                     .filePath(QStringLiteral("linkvex-devsim"));
    if (!QFileInfo(devsim).isExecutable()) {
        return Fail(qPrintable(QStringLiteral("no simulator at %1").arg(devsim)));
    }
    QTemporaryDir dir;
    if (!dir.isValid()) {
        return Fail("no temporary folder");
    }
    const QString marker = kind == 1 ? QStringLiteral("029") : QStringLiteral("091");
    std::printf("== Firmware transfer, loader %s, %ld bytes\n", qPrintable(marker), size);
    std::printf("machine: %ld CPUs online, load average at start %s\n", OnlineCpus(),
                LoadAverage().c_str());

    const QString flash = dir.filePath(QStringLiteral("flash.bin"));
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(devsim, {QStringLiteral("--isp"), marker, QStringLiteral("--flash-file"), flash});
    if (!sim.waitForStarted(5000)) {
        return Fail("the simulator did not start");
    }
    QElapsedTimer startup;
    startup.start();
    while (!sim.canReadLine() && sim.state() == QProcess::Running && startup.elapsed() < 10000) {
        sim.waitForReadyRead(500);
    }
    const QString ptyPath = QString::fromLocal8Bit(sim.readLine()).trimmed();
    auto stopSim = [&sim] {
        sim.terminate();
        if (!sim.waitForFinished(3000)) {
            sim.kill();
            sim.waitForFinished(2000);
        }
    };
    if (ptyPath.isEmpty()) {
        stopSim();
        return Fail("the simulator printed no pseudo terminal");
    }

    const QByteArray image = FirmwareFile(size);
    const QString path = dir.filePath(QStringLiteral("fw.bin"));
    {
        QFile out(path);
        if (!out.open(QIODevice::WriteOnly) || out.write(image) != image.size()) {
            stopSim();
            return Fail("cannot write the firmware file");
        }
    }

    ConnectionController controller;
    controller.ethernet = false;
    controller.givenPorts = QStringList{ptyPath};
    controller.search();
    if (controller.rows().empty() || !controller.rows()[0].isp) {
        stopSim();
        return Fail("the search found no loader on the simulator's pseudo terminal");
    }
    controller.select(1);
    FirmwareTool tool(controller);
    FilePrompt prompt(path.toStdString());
    if (tool.openFirmware(prompt) != FirmwareTool::Outcome::Done) {
        stopSim();
        return Fail("the firmware file was not accepted");
    }

    const CpuTimes cpuStart = ProcessCpu();
    QElapsedTimer wall;
    wall.start();
    const FirmwareTool::Outcome outcome = tool.update(prompt);
    const double elapsedMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
    const double cpu = ProcessCpu().total() - cpuStart.total();
    PumpDelay(200); // FW_END reaches the device, which writes its flash
    stopSim();

    if (outcome != FirmwareTool::Outcome::Done) {
        return Fail(qPrintable(QStringLiteral("the update failed: %1").arg(tool.lastError())));
    }
    QFile flashed(flash);
    QByteArray written = flashed.open(QIODevice::ReadOnly) ? flashed.readAll() : QByteArray();
    const bool same = written.left(image.size()) == image &&
                      written.mid(image.size()).count('\xFF') == written.size() - image.size();

    const Floor floor = PacingFloor(kind, size);
    const double over =
        100.0 * (elapsedMs - static_cast<double>(floor.ms)) / static_cast<double>(floor.ms);
    std::printf("blocks %ld, page starts %ld, page checks %ld\n", floor.blocks, floor.pageStarts,
                floor.pageChecks);
    std::printf("transfer %.0f ms, pacing floor %ld ms, above the floor %.2f %% (%.0f ms, %.2f ms "
                "per block)\n",
                elapsedMs, floor.ms, over, elapsedMs - static_cast<double>(floor.ms),
                (elapsedMs - static_cast<double>(floor.ms)) / static_cast<double>(floor.blocks));
    std::printf("CPU of the program during the transfer: %.2f s (%.1f %% of one core)\n", cpu,
                100.0 * cpu * 1000.0 / elapsedMs);
    std::printf("flashed image %s the file (%lld bytes written)\n",
                same ? "matches" : "DIFFERS FROM", static_cast<long long>(written.size()));
    std::printf("load average at end %s\n", LoadAverage().c_str());
    PrintSummary(Format("firmware %.0f KiB to loader ", static_cast<double>(size) / 1024.0) +
                     qPrintable(marker) + ": " + Format("%.2f s", elapsedMs / 1000.0) +
                     " against a pacing floor of " +
                     Format("%.2f s", static_cast<double>(floor.ms) / 1000.0) + " (" +
                     Format("%+.2f %%", over) + ")" + (same ? "" : ", IMAGE DIFFERS"),
                 "within 5 % of the floor", same && over <= 5.0 ? "met" : "NOT met");
    return same ? 0 : 1;
}
