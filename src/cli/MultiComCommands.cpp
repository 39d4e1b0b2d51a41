#include "cli/MultiComCommands.h"

#include "common/AtomicFileWriter.h"
#include "connection/ConnectionController.h"
#include "multicom/ChannelPrinter.h"
#include "multicom/MultiComTool.h"
#include "protocol/PumpDelay.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QTimer>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>
#include <vector>

namespace lvx::cli {

namespace {

volatile std::sig_atomic_t gStopRequested = 0;

void RequestStop(int) {
    gStopRequested = 1;
}

void WriteOut(const std::string& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    std::fflush(stdout);
}

QString Letter(int channel) {
    return QString(QChar(ChannelLetter(channel)));
}

// The --channel letters as channel numbers, in the order given, each once. False (with a
// message) for anything but A to G.
bool ParseChannels(const CliContext& context, std::vector<int>& channels) {
    for (const QString& value : context.channels) {
        const int channel = value.size() == 1 ? ChannelOfLetter(value[0].toLatin1()) : 0;
        if (channel == 0) {
            err(QStringLiteral("linkvex-cli %1: --channel takes a letter A to G, not \"%2\"\n")
                    .arg(context.command, value));
            return false;
        }
        if (std::find(channels.begin(), channels.end(), channel) == channels.end()) {
            channels.push_back(channel);
        }
    }
    return true;
}

// Searches the --port ports and selects the first device that accepted (the channels are a
// COM-port function). False with a message when none did.
bool ConnectSerial(ConnectionController& controller, const CliContext& context) {
    CliContext search = context;
    search.noEthernet = true;
    search.noSerial = false;
    if (!PrepareSearch(controller, search)) {
        return false;
    }
    RunSearchFlow(controller);
    const auto& rows = controller.rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!rows[i].isp && controller.devices().at(static_cast<int>(i)).isSerial()) {
            controller.select(static_cast<int>(i) + 1);
            if (!controller.selectedLinkUp()) {
                err(QStringLiteral("linkvex-cli %1: the link to the device was lost while "
                                   "connecting\n")
                        .arg(context.command));
                return false;
            }
            return true;
        }
    }
    err(QStringLiteral("linkvex-cli %1: no device answered on the given ports\n")
            .arg(context.command));
    return false;
}

// kExitOk when the device has channels and every chosen one is among them.
int CheckChannels(const MultiComTool& tool, const std::vector<int>& channels,
                  const CliContext& context) {
    const int count = tool.channelCount();
    if (count == 0) {
        err(QStringLiteral("linkvex-cli %1: the device has no serial channels\n")
                .arg(context.command));
        return kExitFailure;
    }
    for (const int channel : channels) {
        if (channel > count) {
            err(QStringLiteral("linkvex-cli %1: the device has %2 channel(s), A to %3; there is "
                               "no channel %4\n")
                    .arg(context.command)
                    .arg(count)
                    .arg(Letter(count), Letter(channel)));
            return kExitFailure;
        }
    }
    return kExitOk;
}

// Asks for the settings until an answer newer than `before` was handled; false after three
// tries without one.
bool ReadSettings(MultiComTool& tool, int before) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        tool.requestSettings();
        QElapsedTimer clock;
        clock.start();
        while (tool.settingsReports() == before && clock.elapsed() < 600) {
            PumpDelay(5);
        }
        if (tool.settingsReports() > before) {
            return true;
        }
    }
    return false;
}

std::optional<int> IndexOf(const QString& value, const char* const* items, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (value.compare(QLatin1String(items[i]), Qt::CaseInsensitive) == 0) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

// --seconds as a number of seconds, 0 when not given; false (with a message) otherwise.
bool ParseSeconds(const CliContext& context, double& seconds) {
    seconds = 0;
    if (context.seconds.isEmpty()) {
        return true;
    }
    bool ok = false;
    seconds = context.seconds.toDouble(&ok);
    if (!ok || seconds <= 0 || seconds > 24 * 3600.0 * 365) {
        err(QStringLiteral("linkvex-cli multicom: --seconds takes a positive number\n"));
        return false;
    }
    return true;
}

// Runs the event loop until the seconds are over (never when 0), Ctrl+C or SIGTERM, or the
// link is lost. True when the link was lost.
bool RunUntilStopped(ConnectionController& controller, double seconds) {
    QEventLoop loop;
    bool lost = false;
    const QMetaObject::Connection watch =
        QObject::connect(&controller, &ConnectionController::disconnected, &loop, [&] {
            lost = true;
            loop.quit();
        });
    gStopRequested = 0;
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    QTimer stopCheck;
    QObject::connect(&stopCheck, &QTimer::timeout, &loop, [&] {
        if (gStopRequested) {
            loop.quit();
        }
    });
    stopCheck.start(100);
    QTimer end;
    end.setSingleShot(true);
    QObject::connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (seconds > 0) {
        end.start(static_cast<int>(seconds * 1000));
    }
    loop.exec();
    QObject::disconnect(watch);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    return lost;
}

// The settings multicom-config is asked to send; each one absent when not given.
struct WantedSettings {
    std::optional<int> baud;
    std::optional<int> dataLength;
    std::optional<int> parity;

    bool any() const { return baud || dataLength || parity; }
};

// --baud, --data and --parity as item indexes; false (with a message) for a value that is
// none of the items.
bool ParseWanted(const CliContext& context, WantedSettings& w) {
    if (!context.baud.isEmpty()) {
        w.baud = IndexOf(context.baud, kBaudItems.data(), kBaudItems.size());
        if (!w.baud) {
            err(QStringLiteral("linkvex-cli multicom-config: --baud takes 2400, 4800, 7200, "
                               "9600, 14400, 19200, 38400, 57600 or 115200\n"));
            return false;
        }
    }
    if (!context.dataBits.isEmpty()) {
        bool ok = false;
        const int bits = context.dataBits.toInt(&ok);
        if (!ok || bits < 5 || bits > 8) {
            err(QStringLiteral("linkvex-cli multicom-config: --data takes 5, 6, 7 or 8\n"));
            return false;
        }
        w.dataLength = bits - 5;
    }
    if (!context.parity.isEmpty()) {
        w.parity = IndexOf(context.parity, kParityItems.data(), kParityItems.size());
        if (!w.parity) {
            err(QStringLiteral("linkvex-cli multicom-config: --parity takes none, odd or "
                               "even\n"));
            return false;
        }
    }
    return true;
}

// Sends the changed settings of the channel and waits for the device's report of them.
int ChangeSettings(MultiComTool& tool, int channel, const ChannelSettings& wanted) {
    const int before = tool.settingsReports();
    if (!tool.chooseSettings(channel, wanted)) {
        err(QStringLiteral("linkvex-cli multicom-config: %1\n").arg(tool.lastError()));
        return kExitFailure;
    }
    if (!ReadSettings(tool, before)) {
        err(QStringLiteral("linkvex-cli multicom-config: the device did not report its "
                           "channel settings after the change\n"));
        return kExitFailure;
    }
    return kExitOk;
}

// Prints the channel's settings as the device last reported them; false when the report
// holds none for it.
bool PrintReported(const MultiComTool& tool, int channel, const CliContext& context,
                   ChannelSettings& reported) {
    const ReportedSettings& r = tool.lastReport()[static_cast<std::size_t>(channel - 1)];
    if (r.baud < 0 || r.dataLength < 0 || r.parity < 0) {
        err(QStringLiteral("linkvex-cli multicom-config: the device's answer holds no "
                           "settings of channel %1\n")
                .arg(Letter(channel)));
        return false;
    }
    reported = ChannelSettings{r.baud, r.dataLength, r.parity};
    const QString baudText = QString::fromLatin1(kBaudItems[std::size_t(r.baud)]);
    const QString dataText = QString::fromLatin1(kDataLengthItems[std::size_t(r.dataLength)]);
    const QString parityText = QString::fromLatin1(kParityItems[std::size_t(r.parity)]);
    if (context.json) {
        const QJsonObject o{{QStringLiteral("channel"), Letter(channel)},
                            {QStringLiteral("baud"), baudText.toInt()},
                            {QStringLiteral("baudIndex"), r.baud},
                            {QStringLiteral("dataBits"), r.dataLength + 5},
                            {QStringLiteral("dataIndex"), r.dataLength},
                            {QStringLiteral("parity"), parityText},
                            {QStringLiteral("parityIndex"), r.parity}};
        out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)));
    } else {
        out(QStringLiteral("Channel %1: baud rate %2, data %3, parity %4\n")
                .arg(Letter(channel), baudText, dataText, parityText));
    }
    return true;
}

// What multicom shows: the chosen channels' text as it arrives (JSON lines with --json),
// kept for --log too.
struct ChannelEcho {
    ChannelEcho(const CliContext& context, const std::vector<int>& channels)
        : context(context), channels(channels), printer(channels.size() > 1) {}

    void show(const std::string& text) {
        WriteOut(text);
        if (!context.logFile.isEmpty()) {
            logged += text;
        }
    }

    void received(int channel, const QByteArray& bytes) {
        if (std::find(channels.begin(), channels.end(), channel) == channels.end()) {
            return;
        }
        if (context.json) {
            const QJsonObject line{{QStringLiteral("channel"), Letter(channel)},
                                   {QStringLiteral("text"), QString::fromLatin1(bytes)}};
            show(QJsonDocument(line).toJson(QJsonDocument::Compact).toStdString() + "\n");
        } else {
            show(printer.print(channel, bytes.toStdString()));
        }
    }

    // Writes what was shown to the --log file; false (with a message) when it cannot.
    bool saveLog() const {
        if (context.logFile.isEmpty()) {
            return true;
        }
        AtomicFileWriter writer;
        if (!writer.open(context.logFile) ||
            !writer.write(logged.data(), static_cast<qint64>(logged.size()))) {
            err(QStringLiteral("linkvex-cli multicom: the log could not be saved to %1: %2\n")
                    .arg(context.logFile, writer.error()));
            return false;
        }
        return true;
    }

    const CliContext& context;
    const std::vector<int> channels;
    ChannelPrinter printer;
    std::string logged;
};

} // namespace

int RunMultiCom(const CliContext& context) {
    if (context.ports.isEmpty()) {
        err(QStringLiteral("linkvex-cli multicom: --port PATH is required\n"));
        return kExitUsage;
    }
    std::vector<int> channels;
    if (!ParseChannels(context, channels)) {
        return kExitUsage;
    }
    double seconds = 0;
    if (!ParseSeconds(context, seconds)) {
        return kExitUsage;
    }

    ConnectionController controller;
    MultiComTool tool(controller);
    if (!ConnectSerial(controller, context)) {
        return kExitFailure;
    }
    if (const int status = CheckChannels(tool, channels, context); status != kExitOk) {
        controller.disconnectDevices();
        return status;
    }
    if (channels.empty()) {
        for (int n = 1; n <= tool.channelCount(); ++n) {
            channels.push_back(n);
        }
    }

    ChannelEcho echo(context, channels);
    QObject::connect(
        &tool, &MultiComTool::received, &tool,
        [&echo](int channel, const QByteArray& bytes) { echo.received(channel, bytes); });
    const bool lost = RunUntilStopped(controller, seconds);
    if (!context.json) {
        echo.show(echo.printer.finish());
    }
    if (!lost) {
        controller.disconnectDevices();
    }
    int status = echo.saveLog() ? kExitOk : kExitFailure;
    if (lost) {
        err(QStringLiteral("linkvex-cli multicom: the connection to the device was lost\n"));
        status = kExitFailure;
    }
    return status;
}

int RunMultiComConfig(const CliContext& context) {
    if (context.ports.isEmpty()) {
        err(QStringLiteral("linkvex-cli multicom-config: --port PATH is required\n"));
        return kExitUsage;
    }
    std::vector<int> channels;
    if (!ParseChannels(context, channels)) {
        return kExitUsage;
    }
    if (channels.size() != 1) {
        err(QStringLiteral("linkvex-cli multicom-config: name one channel with --channel A-G\n"));
        return kExitUsage;
    }
    const int channel = channels.front();

    WantedSettings given;
    if (!ParseWanted(context, given)) {
        return kExitUsage;
    }

    ConnectionController controller;
    MultiComTool tool(controller);
    if (!ConnectSerial(controller, context)) {
        return kExitFailure;
    }
    int status = CheckChannels(tool, channels, context);
    // The Search asked for the settings already; ask again when its answer did not come.
    if (status == kExitOk && tool.settingsReports() == 0 && !ReadSettings(tool, 0)) {
        err(QStringLiteral("linkvex-cli multicom-config: the device did not report its channel "
                           "settings\n"));
        status = kExitFailure;
    }
    ChannelSettings wanted = tool.channel(channel).settings;
    wanted.baud = given.baud.value_or(wanted.baud);
    wanted.dataLength = given.dataLength.value_or(wanted.dataLength);
    wanted.parity = given.parity.value_or(wanted.parity);
    if (status == kExitOk && given.any()) {
        status = ChangeSettings(tool, channel, wanted);
    }
    ChannelSettings reported;
    if (status == kExitOk && !PrintReported(tool, channel, context, reported)) {
        status = kExitFailure;
    } else if (status == kExitOk && given.any() && reported != wanted) {
        err(QStringLiteral("linkvex-cli multicom-config: the device did not take the "
                           "new settings\n"));
        status = kExitFailure;
    }
    controller.disconnectDevices();
    return status;
}

} // namespace lvx::cli
