// bench_flows: each device flow against its floor. (The firmware update has a benchmark of
// its own, bench_firmware_transfer, with its long pacing.)
//
// Starts linkvex-devsim (one serial device on a pseudo terminal, one network device on
// loopback) and runs the flows the program and linkvex-cli share, in this process, several
// times each. For every run it adds up the floor of what actually went over the link: the
// pacing wait of every frame sent (60 ms after a GET, 20 ms after a SET plus 50 or 100 ms
// after ND_SEL, 150 + 60 ms for ENTRANCE, 200 ms for the wake-up), the fixed waits the flow
// itself must keep (150 ms after ENTRANCE in a Search, 100 ms for network replies in a
// Search of the network, the 50 + 50 ms of opening a network device), and the line time of
// every byte written and read at 115200 baud (10 bits a byte). Waits that only collect
// answers or keep a message on screen are not part of the floor: the flows go on as soon as
// the answers are in. Prints measured / floor per flow (median of the runs).
//
// Last, a site file applied to three devices (the serial one and two network ones): each run
// asks for another image in user slot 2 of all three, so every run backs each device up and
// writes, as a first apply does. Its floor is that of every frame the serial device was sent
// (the backup's reads included), the Search's waits (150 ms after ENTRANCE, 400 ms for late
// network replies) and 100 ms for each opening of a network device.
//
// Binds the device ports on loopback: bench/run.sh runs it in a network namespace of its own.
#include "BenchSupport.h"

#include "common/Prompt.h"
#include "connection/ConnectionController.h"
#include "creator/CreatorModel.h"
#include "creator/CreatorTool.h"
#include "creator/EdidWorkImage.h"
#include "edid/DeviceBackupTool.h"
#include "edid/EdidControllerTool.h"
#include "edid/EdidFileIO.h"
#include "edid/EdidTransfer.h"
#include "edid/InputModeTool.h"
#include "links/UdpEndpoints.h"
#include "protocol/CommandTable.h"
#include "protocol/PumpDelay.h"
#include "site/SiteTool.h"
#include "system/IpConfig.h"
#include "system/IpConfigTool.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>
#include <map>

using namespace lvx;
using namespace lvx::bench;

namespace {

constexpr double kByteMs = 10.0 * 1000.0 / 115200.0; // one byte at 115200 baud, 8N1

int Fail(const std::string& message) {
    std::fprintf(stderr, "bench_flows: %s\n", message.c_str());
    return 1;
}

class FilePrompt : public Prompt {
public:
    std::string file;
    std::string openFileName(const std::string&) override { return file; }
    std::string saveFileName(const std::string&, const std::string&) override { return file; }
    void message(const std::string&, const std::string&) override {}
    bool confirm(const std::string&, const std::string&) override { return true; }
};

// What one run of a flow sent and received, and the floor it adds up to.
struct Meter {
    double pacingMs = 0;
    std::uint64_t written = 0;
    std::uint64_t readBefore = 0;
    int frames = 0;

    void frame(std::uint8_t mode, std::uint16_t command, const std::string& text,
               std::uint8_t ispKind) {
        ++frames;
        written += text.size();
        if (command == CmdWakeUp) {
            pacingMs += 200;
            return;
        }
        if (command == CmdEntrance) {
            written += 2; // the wake-up text in front
            pacingMs += 150 + 60;
            return;
        }
        if (mode == ModeGet) {
            pacingMs += 60;
            return;
        }
        pacingMs += 20;
        if (command == CmdNdSel) {
            // "$SET ND_SEL 2xxx...": a user slot waits 100 ms, any other node 50 ms.
            const std::size_t at = text.find("ND_SEL ");
            pacingMs +=
                at != std::string::npos && text.size() > at + 7 && text[at + 7] == '2' ? 100 : 50;
        } else if (command == CmdFwData) {
            pacingMs += ispKind == 1 ? 90 : ispKind == 2 ? 30 : 0;
        } else if (command == CmdSysDef) {
            pacingMs += 500;
        }
    }
};

struct FlowResult {
    std::string name;
    std::vector<double> measured;
    std::vector<double> floor;
    std::vector<double> waits; // the floor without the line time
    bool serial = true;
    std::string note;
    double maxRatio = 1.05; // a site apply runs many flows: within 10 % of its floor
    std::string goal = "ratio at most 1.05";
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Each device flow against its floor."));
    parser.addHelpOption();
    const QCommandLineOption repeatOption(QStringLiteral("repeat"),
                                          QStringLiteral("Runs per flow (default 5)."),
                                          QStringLiteral("n"), QStringLiteral("5"));
    const QCommandLineOption devsimOption(QStringLiteral("devsim"),
                                          QStringLiteral("The simulator."), QStringLiteral("path"));
    const QCommandLineOption edidOption(QStringLiteral("edid"),
                                        QStringLiteral("A valid .bin file to upload."),
                                        QStringLiteral("file"));
    parser.addOptions({repeatOption, devsimOption, edidOption});
    parser.process(app);
    const int repeat = std::max(1, parser.value(repeatOption).toInt());
    const QString devsim = parser.isSet(devsimOption)
                               ? parser.value(devsimOption)
                               : QDir(QCoreApplication::applicationDirPath())
                                     .filePath(QStringLiteral("linkvex-devsim"));
    if (!parser.isSet(edidOption)) {
        return Fail("--edid FILE is needed for the uploads");
    }
    const QString edidFile = parser.value(edidOption);
    const std::optional<EdidImage> edidImage = ReadEdidFile(edidFile);
    if (!edidImage) {
        return Fail("cannot read " + edidFile.toStdString());
    }

    QTemporaryDir dir;
    const QJsonObject config{
        {"serial",
         QJsonObject{
             {"inputs", 2}, {"outputs", 1}, {"users", 4}, {"internals", 8}, {"channels", 0}}},
        {"network", QJsonObject{{"loopback", true},
                                {"devices", QJsonArray{QJsonObject{{"mac", "00:11:22:33:44:55"},
                                                                   {"ip", "192.168.1.10"},
                                                                   {"pid", "2037"},
                                                                   {"inputs", 2},
                                                                   {"outputs", 1},
                                                                   {"users", 4}},
                                                       QJsonObject{{"mac", "00:11:22:33:44:66"},
                                                                   {"ip", "192.168.1.11"},
                                                                   {"pid", "2037"},
                                                                   {"inputs", 2},
                                                                   {"outputs", 1},
                                                                   {"users", 4}}}}}}};
    const QString configPath = dir.filePath(QStringLiteral("devsim.json"));
    {
        QFile f(configPath);
        if (!f.open(QIODevice::WriteOnly)) {
            return Fail("cannot write the simulator's configuration");
        }
        f.write(QJsonDocument(config).toJson());
    }
    QProcess sim;
    sim.setStandardErrorFile(QProcess::nullDevice());
    sim.start(devsim, {QStringLiteral("--config"), configPath});
    if (!sim.waitForStarted(5000)) {
        return Fail("the simulator did not start");
    }
    QString pty;
    QElapsedTimer startup;
    startup.start();
    bool ready = false;
    while (!ready && sim.state() == QProcess::Running && startup.elapsed() < 10000) {
        sim.waitForReadyRead(200);
        while (sim.canReadLine()) {
            const QString line = QString::fromLocal8Bit(sim.readLine()).trimmed();
            if (line == QLatin1String("ready")) {
                ready = true;
            } else if (pty.isEmpty()) {
                pty = line;
            }
        }
    }
    if (!ready || pty.isEmpty()) {
        sim.kill();
        return Fail("the simulator did not get ready");
    }
    std::printf("== Device flows against their floor (%d runs each, median)\n", repeat);
    std::printf("machine: %ld CPUs, load average %s; serial device on %s, network device on "
                "loopback\n",
                OnlineCpus(), LoadAverage().c_str(), qPrintable(pty));

    std::vector<FlowResult> results;
    auto runFlow = [&](ConnectionController& controller, const std::string& name, bool serial,
                       double flowWaitsMs, const std::function<bool()>& flow) -> bool {
        FlowResult* result = nullptr;
        for (FlowResult& r : results) {
            if (r.name == name) {
                result = &r;
            }
        }
        if (!result) {
            FlowResult fresh;
            fresh.name = name;
            fresh.serial = serial;
            results.push_back(fresh);
            result = &results.back();
        }
        Meter meter;
        ProtocolSession& session = controller.session();
        meter.readBefore = session.bytesReceived();
        const auto connection = QObject::connect(
            &session, &ProtocolSession::frameSent,
            [&meter, &controller](std::uint8_t mode, std::uint16_t command,
                                  const std::string& text) {
                meter.frame(mode, command, text, controller.devices().current().ispKind);
            });
        QElapsedTimer clock;
        clock.start();
        const bool ok = flow();
        const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
        QObject::disconnect(connection);
        const double lineMs =
            serial ? kByteMs * static_cast<double>(meter.written +
                                                   (session.bytesReceived() - meter.readBefore))
                   : 0;
        result->measured.push_back(ms);
        result->floor.push_back(meter.pacingMs + flowWaitsMs + lineMs);
        result->waits.push_back(meter.pacingMs + flowWaitsMs);
        if (!ok) {
            result->note = "FAILED";
        }
        return ok;
    };

    // The serial device.
    for (int run = 0; run < repeat; ++run) {
        ConnectionController controller;
        controller.ethernet = false;
        controller.givenPorts = {pty};
        EdidTransfer transfer(controller);
        EdidControllerTool tool(controller, transfer);
        InputModeTool modes(controller);
        runFlow(controller, "Search (one COM-port device)", true, 150, [&] {
            controller.search();
            return controller.devices().count == 1;
        });
        runFlow(controller, "select the COM-port device", true, 0, [&] {
            controller.select(1);
            return controller.selectedDevice().serial();
        });
        FilePrompt prompt;
        prompt.file = dir.filePath(QStringLiteral("read.bin")).toStdString();
        runFlow(controller, "read-edid over COM (input 1)", true, 0, [&] {
            return tool.save({NodeKind::Input, 0}, prompt) == EdidControllerTool::Outcome::Done;
        });
        prompt.file = edidFile.toStdString();
        runFlow(controller, "write-edid over COM (user 2)", true, 0, [&] {
            return tool.upload({NodeKind::User, 1}, prompt) == EdidControllerTool::Outcome::Done;
        });
        runFlow(controller, "set-mode over COM (internal 2)", true, 0, [&] {
            modes.press({ModeColumn::Internal, 2});
            return true;
        });
        runFlow(controller, "Analysis over COM (output 1)", true, 0, [&] {
            return tool.analysisRead({NodeKind::Output, 0});
        });
        EdidWorkImage hex;
        CreatorModel creator(hex);
        CreatorTool creatorTool(controller, transfer, creator);
        creatorTool.messageWaits = false;
        creator.openImage(*edidImage);
        runFlow(controller, "creator write over COM (user 2)", true, 0, [&] {
            return creatorTool.writeToDevice({NodeKind::User, 1}) == CreatorTool::Outcome::Done;
        });
        controller.disconnectDevices();
    }

    // The network device.
    for (int run = 0; run < repeat; ++run) {
        ConnectionController controller;
        controller.comPort = false;
        QString error;
        if (!controller.openNetwork(EndpointConfig::loopback(), &error)) {
            sim.kill();
            return Fail("the UDP endpoints cannot open: " + error.toStdString() +
                        " (run it through tests/support/in-netns.sh)");
        }
        EdidTransfer transfer(controller);
        EdidControllerTool tool(controller, transfer);
        runFlow(controller, "Search of the network", false, 100, [&] {
            controller.search();
            return controller.devices().count >= 1;
        });
        runFlow(controller, "select the network device", false, 100, [&] {
            controller.select(1);
            return !controller.selectedDevice().serial();
        });
        FilePrompt prompt;
        prompt.file = dir.filePath(QStringLiteral("net.bin")).toStdString();
        runFlow(controller, "read-edid over the network (input 1)", false, 0, [&] {
            return tool.save({NodeKind::Input, 0}, prompt) == EdidControllerTool::Outcome::Done;
        });
        prompt.file = edidFile.toStdString();
        runFlow(controller, "write-edid over the network (user 2)", false, 0, [&] {
            return tool.upload({NodeKind::User, 1}, prompt) == EdidControllerTool::Outcome::Done;
        });
        EdidWorkImage hex;
        CreatorModel creator(hex);
        CreatorTool creatorTool(controller, transfer, creator);
        creatorTool.messageWaits = false;
        creator.openImage(*edidImage);
        runFlow(controller, "creator write over the network (user 2)", false, 0, [&] {
            return creatorTool.writeToDevice({NodeKind::User, 1}) == CreatorTool::Outcome::Done;
        });
        IpConfigTool ip(controller);
        ip.fill(0);
        IpEdits edits = ip.shown();
        edits.webPort = "8080";
        runFlow(controller, "IP write (web port)", false, 0,
                [&] { return ip.write(edits) == IpConfigTool::Outcome::Sent; });
        controller.disconnectDevices();
    }

    // A site file applied to all three devices.
    EdidImage other = *edidImage;
    other[12] ^= 0x5A; // another serial number, so the two images differ
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < 127; ++i) {
        sum = static_cast<std::uint8_t>(sum + other[i]);
    }
    other[127] = static_cast<std::uint8_t>(0x100 - sum);
    {
        QFile a(dir.filePath(QStringLiteral("a.bin")));
        QFile b(dir.filePath(QStringLiteral("b.bin")));
        if (!a.open(QIODevice::WriteOnly) || !b.open(QIODevice::WriteOnly)) {
            sim.kill();
            return Fail("cannot write the site's EDID files");
        }
        a.write(reinterpret_cast<const char*>(edidImage->data()),
                static_cast<qint64>(edidImage->size()));
        b.write(reinterpret_cast<const char*>(other.data()), static_cast<qint64>(other.size()));
    }
    for (int run = 0; run < repeat; ++run) {
        const QString file = run % 2 == 0 ? QStringLiteral("b.bin") : QStringLiteral("a.bin");
        const QString sitePath = dir.filePath(QStringLiteral("site.yaml"));
        QFile siteFile(sitePath);
        if (!siteFile.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            sim.kill();
            return Fail("cannot write the site file");
        }
        siteFile.write(
            QStringLiteral("devices:\n"
                           "  - name: serial\n    port: %1\n    nodes:\n      user2: %2\n"
                           "  - name: net-1\n    mac: 00:11:22:33:44:55\n"
                           "    nodes:\n      user2: %2\n"
                           "  - name: net-2\n    mac: 00:11:22:33:44:66\n"
                           "    nodes:\n      user2: %2\n")
                .arg(pty, file)
                .toUtf8());
        siteFile.close();
        const LoadedSite site = LoadSiteFile(sitePath);
        if (!site.ok()) {
            sim.kill();
            return Fail("the site file does not load: " + site.errors.front().message);
        }
        ConnectionController controller;
        controller.givenPorts = {pty};
        QString error;
        if (!controller.openNetwork(EndpointConfig::loopback(), &error)) {
            sim.kill();
            return Fail("the UDP endpoints cannot open: " + error.toStdString());
        }
        EdidTransfer transfer(controller);
        InputModeTool modes(controller);
        DeviceBackupTool backups(controller, transfer, modes);
        SiteTool tool(controller, transfer, modes, backups);
        int networkOpenings = 0;
        QObject::connect(&controller, &ConnectionController::selectionChanged,
                         [&] { networkOpenings += controller.selectedDevice().serial() ? 0 : 1; });
        SiteReport report;
        const QString backupRoot = dir.filePath(QStringLiteral("backups"));
        // The openings are counted while the flow runs: their waits join the floor after it.
        FlowResult* before = nullptr;
        runFlow(controller, "apply a site file (3 devices, user 2)", true, 150 + 400, [&] {
            report = tool.run(site, false, backupRoot);
            return report.ok();
        });
        for (FlowResult& r : results) {
            if (r.name == "apply a site file (3 devices, user 2)") {
                before = &r;
            }
        }
        if (before != nullptr) {
            before->maxRatio = 1.10;
            before->goal = "ratio at most 1.10";
            before->floor.back() += 100.0 * networkOpenings;
            before->waits.back() += 100.0 * networkOpenings;
        }
        controller.disconnectDevices();
    }
    sim.terminate();
    sim.waitForFinished(3000);

    bool allOk = true;
    for (FlowResult& r : results) {
        std::sort(r.measured.begin(), r.measured.end());
        std::sort(r.floor.begin(), r.floor.end());
        std::sort(r.waits.begin(), r.waits.end());
        const double measured = Percentile(r.measured, 50);
        const double floor = Percentile(r.floor, 50);
        const double waits = Percentile(r.waits, 50);
        allOk = allOk && r.note.empty();
        if (floor >= 1.0) {
            const double ratio = measured / floor;
            // A pseudo terminal has no line rate: against the waits alone the ratio shows
            // what the program itself adds.
            std::printf("%-40s %8.1f ms  floor %7.1f ms  ratio %.3f  (waits alone %7.1f ms, "
                        "ratio %.3f) %s\n",
                        r.name.c_str(), measured, floor, ratio, waits,
                        waits > 0 ? measured / waits : 0.0, r.note.c_str());
            PrintSummary(r.name + ": " + Format("%.1f", measured) + " ms, floor " +
                             Format("%.1f", floor) + " ms, ratio " + Format("%.3f", ratio),
                         r.goal, ratio <= r.maxRatio && r.note.empty() ? "met" : "NOT met");
        } else {
            // Nothing to wait for by rule: the reply is taken as soon as it is there.
            std::printf("%-40s %8.1f ms  (no wait of its own) %s\n", r.name.c_str(), measured,
                        r.note.c_str());
            PrintSummary(r.name + ": " + Format("%.1f", measured) + " ms (no wait of its own)",
                         "as fast as the reply", r.note.empty() ? "info" : "NOT met");
        }
    }
    std::fflush(stdout);
    return allOk ? 0 : 1;
}
