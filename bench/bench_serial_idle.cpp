// bench_serial_idle: CPU used by a connected, idle serial session.
//
// Starts linkvex-devsim (one serial device with 3 channels whose first input asks for the
// mode poll), searches exactly its pseudo terminal with the ConnectionController, selects
// the device, and then leaves the program alone in its event loop for the measured window
// while the receive tick (12 ms) and the polls (COM_MSG every 400 ms, RXEDMD every 2.5 s)
// run. Reports the process CPU time over the window as a share of one core, and how many
// polls went out and how many answers their handlers received. Two reference figures help
// to read it: a bare 12 ms timer measured first (the cost of waking up that often), and the
// receive tick's own work on the quiet port, measured by calling it directly afterwards.
#include "BenchSupport.h"

#include "connection/ConnectionController.h"
#include "protocol/CommandTable.h"
#include "protocol/PumpDelay.h"
#include "protocol/TransferBracket.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <cstdio>

using namespace lvx;
using namespace lvx::bench;

namespace {

int Fail(const char* message) {
    std::fprintf(stderr, "bench_serial_idle: %s\n", message);
    std::fflush(stdout);
    return 1;
}

struct Counters {
    int comMsgSent = 0;
    int rxEdMdSent = 0;
    int otherSent = 0;
    int comMsgAnswers = 0;
    int rxEdMdAnswers = 0;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("bench_serial_idle"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("CPU used by a connected, idle serial session (simulated device)."));
    parser.addHelpOption();
    const QCommandLineOption secondsOption(QStringLiteral("seconds"),
                                           QStringLiteral("Measured window (default 30)."),
                                           QStringLiteral("s"), QStringLiteral("30"));
    const QCommandLineOption settleOption(
        QStringLiteral("settle"),
        QStringLiteral("Seconds connected before the window starts (default 1)."),
        QStringLiteral("s"), QStringLiteral("1"));
    const QCommandLineOption baselineOption(
        QStringLiteral("baseline"),
        QStringLiteral("Seconds of a bare 12 ms timer measured first, for reference (default 10, "
                       "0 skips it)."),
        QStringLiteral("s"), QStringLiteral("10"));
    const QCommandLineOption channelsOption(
        QStringLiteral("channels"),
        QStringLiteral("Serial channels of the simulated device (default 3)."), QStringLiteral("n"),
        QStringLiteral("3"));
    const QCommandLineOption devsimOption(
        QStringLiteral("devsim"),
        QStringLiteral("The simulator (default: linkvex-devsim next to this program)."),
        QStringLiteral("path"));
    parser.addOptions({secondsOption, settleOption, baselineOption, channelsOption, devsimOption});
    parser.process(app);

    const double seconds = parser.value(secondsOption).toDouble();
    const double settle = parser.value(settleOption).toDouble();
    const double baselineSeconds = parser.value(baselineOption).toDouble();
    const int channels = parser.value(channelsOption).toInt();
    if (seconds <= 0 || settle < 0 || baselineSeconds < 0 || channels < 0 || channels > 7) {
        return Fail("--seconds must be positive, --settle and --baseline not negative, "
                    "--channels 0 to 7");
    }
    const QString counts = QStringLiteral("2,1,4,8,%1").arg(channels);
    const QString devsim = parser.isSet(devsimOption)
                               ? parser.value(devsimOption)
                               : QDir(QCoreApplication::applicationDirPath())
                                     .filePath(QStringLiteral("linkvex-devsim"));
    if (!QFileInfo(devsim).isExecutable()) {
        return Fail(qPrintable(QStringLiteral("no simulator at %1").arg(devsim)));
    }

    std::printf("== Idle connected serial session\n");
    std::printf("machine: %ld CPUs online, load average at start %s\n", OnlineCpus(),
                LoadAverage().c_str());

    // Reference: what a 12 ms precise timer with an empty slot costs on this machine, which
    // is the floor under any session that keeps its receive tick running.
    double baselinePercent = -1;
    if (baselineSeconds > 0) {
        QTimer bare;
        bare.setTimerType(Qt::PreciseTimer);
        bare.setInterval(kReceiveTickMs);
        long ticks = 0;
        QObject::connect(&bare, &QTimer::timeout, [&ticks] { ++ticks; });
        bare.start();
        const CpuTimes before = ProcessCpu();
        QElapsedTimer clock;
        clock.start();
        PumpDelay(static_cast<int>(baselineSeconds * 1000));
        const double spent = static_cast<double>(clock.nsecsElapsed()) / 1e9;
        baselinePercent = 100.0 * (ProcessCpu().total() - before.total()) / spent;
        bare.stop();
        std::printf("reference: a bare 12 ms timer alone, %ld ticks in %.2f s -> %.3f %% of one "
                    "core\n",
                    ticks, spent, baselinePercent);
    }

    // The simulated device: 2 inputs, 1 output, 4 user slots, 8 internal EDIDs, the channels.
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(devsim, {QStringLiteral("--counts"), counts});
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
    std::printf("device: linkvex-devsim --counts %s on %s (pid %s)\n", qPrintable(counts),
                qPrintable(ptyPath), simPid.c_str());

    ConnectionController controller;
    controller.ethernet = false;
    controller.comPort = true;
    controller.givenPorts = QStringList{ptyPath};

    Counters counters;
    ProtocolSession& session = controller.session();
    QObject::connect(&session, &ProtocolSession::frameSent,
                     [&counters](std::uint8_t, std::uint16_t command, const std::string&) {
                         if (command == CmdComMsg) {
                             ++counters.comMsgSent;
                         } else if (command == CmdRxEdMd) {
                             ++counters.rxEdMdSent;
                         } else {
                             ++counters.otherSent;
                         }
                     });
    // Handlers see only valid answers (and COM_MSG only for an existing channel).
    session.setHandler(CmdComMsg, [&counters](std::string_view) { ++counters.comMsgAnswers; });
    session.setHandler(CmdRxEdMd, [&counters](std::string_view) { ++counters.rxEdMdAnswers; });
    bool lost = false;
    QObject::connect(&controller, &ConnectionController::disconnected, [&lost] { lost = true; });

    controller.search();
    if (controller.devices().count < 1 || !controller.connected()) {
        sim.kill();
        sim.waitForFinished(2000);
        return Fail("the search found no device on the simulator's pseudo terminal");
    }
    controller.select(1);
    const DeviceRecord& record = controller.devices().current();
    std::printf("connected: model %s, %d serial channels, mode poll on input 1: %s\n",
                record.model.c_str(), record.comChannelCount,
                record.inputNodes[0].modePollFlag() ? "yes" : "no");

    PumpDelay(static_cast<int>(settle * 1000));

    // The measured window: the program does nothing but run its event loop.
    counters = Counters{};
    const long rssStart = StatusKiB("VmRSS");
    const double simCpuStart = ProcStatCpu(simPid);
    const double statStart = SelfStatCpu();
    const CpuTimes cpuStart = ProcessCpu();
    QElapsedTimer wall;
    wall.start();
    QTimer::singleShot(static_cast<int>(seconds * 1000), Qt::PreciseTimer, &app,
                       &QCoreApplication::quit);
    app.exec();
    const double elapsed = static_cast<double>(wall.nsecsElapsed()) / 1e9;
    const CpuTimes cpuEnd = ProcessCpu();
    const double statEnd = SelfStatCpu();
    const double simCpuEnd = ProcStatCpu(simPid);
    const long rssEnd = StatusKiB("VmRSS");
    const bool stillConnected = controller.connected() && !lost;

    // The tick's own work on the quiet port, without the wake-up around it: receiveTick
    // called directly. The transfer flag holds the watchdog still meanwhile.
    constexpr int kDirectTicks = 200000;
    double tickWorkUs = -1;
    if (stillConnected) {
        TransferBracket transfer(session, true, TransferBracket::Tell::Nobody);
        const CpuTimes before = ProcessCpu();
        for (int i = 0; i < kDirectTicks; ++i) {
            session.receiveTick();
        }
        tickWorkUs = 1e6 * (ProcessCpu().total() - before.total()) / kDirectTicks;
        transfer.close();
    }

    controller.disconnectDevices();
    sim.terminate();
    if (!sim.waitForFinished(3000)) {
        sim.kill();
        sim.waitForFinished(2000);
    }

    const double cpu = cpuEnd.total() - cpuStart.total();
    const double percent = 100.0 * cpu / elapsed;
    const double statPercent = 100.0 * (statEnd - statStart) / elapsed;
    const double simPercent =
        simCpuStart >= 0 && simCpuEnd >= 0 ? 100.0 * (simCpuEnd - simCpuStart) / elapsed : -1;
    const double wakeups =
        static_cast<double>(cpuEnd.voluntarySwitches - cpuStart.voluntarySwitches) / elapsed;

    const int handled = counters.comMsgAnswers + counters.rxEdMdAnswers;
    std::printf("window: %.2f s\n", elapsed);
    std::printf("process CPU (getrusage): %.3f s user + %.3f s system = %.3f s -> %.3f %% of "
                "one core\n",
                cpuEnd.user - cpuStart.user, cpuEnd.system - cpuStart.system, cpu, percent);
    std::printf("process CPU (/proc/self/stat, %ld Hz ticks): %.2f s -> %.2f %% of one core\n",
                ::sysconf(_SC_CLK_TCK), statEnd - statStart, statPercent);
    std::printf("simulator CPU (/proc/%s/stat, not part of the figure): %.2f %% of one core\n",
                simPid.c_str(), simPercent);
    std::printf("voluntary context switches: %.1f per second (a 12 ms tick that never sleeps "
                "would be %.1f)\n",
                wakeups, 1000.0 / kReceiveTickMs);
    std::printf("receive tick work on the quiet port, called directly: %.2f us CPU per tick "
                "(%.3f %% of one core at one tick per %d ms)\n",
                tickWorkUs, tickWorkUs / 10.0 / kReceiveTickMs, kReceiveTickMs);
    std::printf("resident memory: %ld KiB at start of window, %ld KiB at end\n", rssStart, rssEnd);
    // Polls due over the window: COM_MSG when the device has channels, RXEDMD when its first
    // input asks for the mode poll.
    const double comMsgDue = record.comChannelCount > 0 ? elapsed * 1000.0 / kMultiComPollMs : 0;
    const double rxEdMdDue =
        record.inputNodes[0].modePollFlag() ? elapsed * 1000.0 / kPollStatusMs : 0;
    std::printf("frames sent: %d GET COM_MSG (about %.0f due at 400 ms), %d GET RXEDMD (about "
                "%.0f due at 2.5 s), %d others\n",
                counters.comMsgSent, comMsgDue, counters.rxEdMdSent, rxEdMdDue, counters.otherSent);
    std::printf("answers handled: %d COM_MSG, %d RXEDMD\n", counters.comMsgAnswers,
                counters.rxEdMdAnswers);
    std::printf("connection still up at the end: %s\n", stillConnected ? "yes" : "no");
    std::printf("load average at end: %s\n", LoadAverage().c_str());

    // Goals: the mode poll alone must let the process sleep; three channels polled every
    // 400 ms cost a little more.
    const double goal = channels == 0 ? 0.3 : 0.5;
    PrintSummary("idle session CPU (" + std::to_string(channels) + " channels) " +
                     Format("%.3f", percent) + " % of one core over " + Format("%.0f", elapsed) +
                     " s, " + Format("%.1f", wakeups) + " wake-ups/s",
                 "under " + Format("%.1f", goal) + "% of one core",
                 percent < goal ? "met" : "NOT met");
    if (baselinePercent >= 0) {
        PrintSummary("reference: bare 12 ms timer " + Format("%.3f", baselinePercent) +
                         " % of one core (the floor under the receive tick)",
                     "none, for comparison", "info");
    }
    if (tickWorkUs >= 0) {
        PrintSummary("reference: receive tick work " + Format("%.2f", tickWorkUs) +
                         " us per tick = " + Format("%.3f", tickWorkUs / 10.0 / kReceiveTickMs) +
                         " % of one core (the rest is waking up)",
                     "none, for comparison", "info");
    }
    if (comMsgDue >= 1) {
        PrintSummary("idle session answers handled: " + std::to_string(counters.comMsgAnswers) +
                         " COM_MSG of " + Format("%.0f", comMsgDue) + " polls due",
                     "GET COM_MSG every 400 ms",
                     counters.comMsgSent >= 0.75 * comMsgDue ? "met" : "NOT met");
    }
    // A poll counts as kept when at least three quarters of its due frames went out.
    if (rxEdMdDue >= 1) {
        PrintSummary("idle session mode polls: " + std::to_string(counters.rxEdMdSent) +
                         " GET RXEDMD sent, " + std::to_string(counters.rxEdMdAnswers) +
                         " answers handled, of " + Format("%.0f", rxEdMdDue) + " due",
                     "GET RXEDMD every 2.5 s",
                     counters.rxEdMdSent >= 0.75 * rxEdMdDue ? "met" : "NOT met");
    }
    std::fflush(stdout);

    if (!stillConnected) {
        return Fail("the connection was lost during the window");
    }
    if (handled == 0) {
        return Fail("no poll answer was handled: the session did not poll");
    }
    return 0;
}
