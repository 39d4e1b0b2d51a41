// bench_multicom: CPU used by the program while a serial channel delivers text as fast as the
// 400 ms poll can take it, with that channel's memo already at its 1 MiB cap.
//
// Starts linkvex-devsim with one channel flooded (every COM_MSG answer carries 1014 bytes,
// the most the receive buffer holds), opens the program's main window (network off), searches
// the simulator's pseudo terminal, selects the device and shows the " Multi-COM " tab. Channel
// A's memo is filled to its cap before the window starts, so every answer in the window drops
// as much old text as it adds. Reports the process CPU over the window as a share of one core,
// the answers and bytes shown, and the cost of one append at the cap measured directly.
// Runs on the offscreen platform unless a display is given.
#include "BenchSupport.h"

#include "app/CommanderWindow.h"
#include "app/MainWindow.h"
#include "app/MultiComTab.h"
#include "multicom/MultiComTool.h"
#include "protocol/PumpDelay.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

using namespace lvx;
using namespace lvx::bench;

namespace {

int Fail(const char* message) {
    std::fprintf(stderr, "bench_multicom: %s\n", message);
    std::fflush(stdout);
    return 1;
}

// Lines of text as a channel would bring them, `count` bytes.
std::string Lines(std::size_t count, bool lineBreaks) {
    std::string text;
    text.reserve(count);
    for (int line = 1; text.size() < count; ++line) {
        text += "Z" + std::to_string(1000000 + line).substr(1) +
                " abcdefghijklmnopqrstuvwxyz 0123456789" + (lineBreaks ? "\r\n" : "  ");
    }
    text.resize(count);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("bench_multicom"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "CPU of the program while a channel delivers text at the polls' highest rate."));
    parser.addHelpOption();
    const QCommandLineOption secondsOption(QStringLiteral("seconds"),
                                           QStringLiteral("Measured window (default 20)."),
                                           QStringLiteral("s"), QStringLiteral("20"));
    const QCommandLineOption devsimOption(
        QStringLiteral("devsim"),
        QStringLiteral("The simulator (default: linkvex-devsim next to this program)."),
        QStringLiteral("path"));
    const QCommandLineOption oneLineOption(
        QStringLiteral("one-line"),
        QStringLiteral("Fill the memo with text that has no line break (the worst case for "
                       "the memo's layout)."));
    parser.addOptions({secondsOption, devsimOption, oneLineOption});
    parser.process(app);
    const double seconds = parser.value(secondsOption).toDouble();
    const bool oneLine = parser.isSet(oneLineOption);
    if (seconds <= 0) {
        return Fail("--seconds must be positive");
    }
    const QString devsim = parser.isSet(devsimOption)
                               ? parser.value(devsimOption)
                               : QDir(QCoreApplication::applicationDirPath())
                                     .filePath(QStringLiteral("linkvex-devsim"));
    if (!QFileInfo(devsim).isExecutable()) {
        return Fail(qPrintable(QStringLiteral("no simulator at %1").arg(devsim)));
    }

    std::printf("== Multi-COM: a channel at the polls' highest rate, its memo at the cap%s\n",
                oneLine ? " (memo text without line breaks)" : "");
    std::printf("machine: %ld CPUs online, load average at start %s, platform %s\n", OnlineCpus(),
                LoadAverage().c_str(), qPrintable(QApplication::platformName()));

    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QStringList simArgs = {"--counts", "2,1,4,8,1",       "--channel-rate",
                                 "A=flood",  "--channel-chunk", "1014"};
    sim.start(devsim, simArgs);
    if (!sim.waitForStarted(5000)) {
        return Fail("the simulator did not start");
    }
    QElapsedTimer startup;
    startup.start();
    while (!sim.canReadLine() && sim.state() == QProcess::Running && startup.elapsed() < 10000) {
        sim.waitForReadyRead(500);
    }
    const QString ptyPath = QString::fromLocal8Bit(sim.readLine()).trimmed();
    if (ptyPath.isEmpty()) {
        sim.kill();
        sim.waitForFinished(2000);
        return Fail("the simulator printed no pseudo terminal");
    }
    const std::string simPid = std::to_string(sim.processId());
    std::printf("device: linkvex-devsim %s on %s\n", qPrintable(simArgs.join(' ')),
                qPrintable(ptyPath));

    int exitCode = 0;
    {
        AppOptions options;
        options.ports = {ptyPath};
        MainWindow window(options);
        window.controller().ethernet = false;
        window.show();
        window.search();
        if (window.controller().devices().count < 1) {
            sim.kill();
            sim.waitForFinished(2000);
            return Fail("the search found no device on the simulator's pseudo terminal");
        }
        window.selectRow(1);
        CommanderWindow* commander = window.commanderWindow();
        commander->activate(QStringLiteral(" Multi-COM "));
        MultiComTool& tool = window.multiComTool();
        QPlainTextEdit* memo = commander->multiComTab()->channelMemo(1);

        // Channel A's memo at its cap before the window.
        const std::string fill = Lines(kChannelTextCap, !oneLine);
        for (std::size_t at = 0; at < fill.size(); at += 64 * 1024) {
            tool.receive(1, std::string_view(fill).substr(at, 64 * 1024));
        }
        PumpDelay(1000);

        long answers = 0;
        long long bytes = 0;
        QObject::connect(&tool, &MultiComTool::received, [&](int channel, const QByteArray& b) {
            if (channel == 1) {
                ++answers;
                bytes += b.size();
            }
        });
        const double simCpuStart = ProcStatCpu(simPid);
        const CpuTimes cpuStart = ProcessCpu();
        QElapsedTimer wall;
        wall.start();
        PumpDelay(static_cast<int>(seconds * 1000));
        const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        const CpuTimes cpuEnd = ProcessCpu();
        const double simCpuEnd = ProcStatCpu(simPid);
        const bool atCap = tool.channel(1).text.size() == kChannelTextCap;
        const int noteCount = memo->toPlainText().count(QStringLiteral("Older text was dropped"));
        const bool connected = window.controller().connected();
        QObject::disconnect(&tool, &MultiComTool::received, nullptr, nullptr);

        // One append at the cap, with its memo edit, measured directly (no poll around it).
        const std::string chunk = Lines(kChannelAnswerTextMax, !oneLine);
        constexpr int kDirect = 200;
        const CpuTimes directStart = ProcessCpu();
        for (int i = 0; i < kDirect; ++i) {
            tool.receive(1, chunk);
        }
        const double appendUs = 1e6 * (ProcessCpu().total() - directStart.total()) / kDirect;
        // And the repaint that follows it.
        const CpuTimes paintStart = ProcessCpu();
        for (int i = 0; i < 20; ++i) {
            tool.receive(1, chunk);
            memo->viewport()->repaint();
        }
        const double paintUs = 1e6 * (ProcessCpu().total() - paintStart.total()) / 20;

        window.controller().disconnectDevices();

        const double cpu = cpuEnd.total() - cpuStart.total();
        const double percent = 100.0 * cpu / elapsed;
        const double simPercent =
            simCpuStart >= 0 && simCpuEnd >= 0 ? 100.0 * (simCpuEnd - simCpuStart) / elapsed : -1;
        std::printf("window: %.2f s\n", elapsed);
        std::printf("process CPU (getrusage): %.3f s user + %.3f s system = %.3f s -> %.3f %% of "
                    "one core\n",
                    cpuEnd.user - cpuStart.user, cpuEnd.system - cpuStart.system, cpu, percent);
        std::printf("simulator CPU (not part of the figure): %.2f %% of one core\n", simPercent);
        std::printf("channel A: %ld answers, %lld bytes shown (%.0f bytes/s, %.2f answers/s)\n",
                    answers, bytes, static_cast<double>(bytes) / elapsed,
                    static_cast<double>(answers) / elapsed);
        std::printf("memo at its cap through the window: %s; the dropped-text note shown %d "
                    "time(s)\n",
                    atCap ? "yes" : "no", noteCount);
        std::printf("one %zu-byte append at the cap, called directly: %.1f us CPU; with the "
                    "memo's repaint: %.1f us\n",
                    kChannelAnswerTextMax, appendUs, paintUs);
        std::printf("connection still up at the end: %s\n", connected ? "yes" : "no");
        std::printf("load average at end: %s\n", LoadAverage().c_str());

        PrintSummary(std::string("Multi-COM CPU") + (oneLine ? " (one long line)" : "") + " " +
                         Format("%.3f", percent) + " % of one core, " +
                         Format("%.0f", static_cast<double>(bytes) / elapsed) +
                         " bytes/s into a memo at its cap",
                     "under 2% of one core", percent < 2.0 ? "met" : "NOT met");
        PrintSummary("Multi-COM append at the cap " + Format("%.1f", appendUs) +
                         " us, with repaint " + Format("%.1f", paintUs) + " us",
                     "none, for comparison", "info");
        if (!connected || answers == 0) {
            exitCode = Fail("the channel delivered nothing or the connection was lost");
        }
    }
    sim.terminate();
    if (!sim.waitForFinished(3000)) {
        sim.kill();
        sim.waitForFinished(2000);
    }
    std::fflush(stdout);
    return exitCode;
}
