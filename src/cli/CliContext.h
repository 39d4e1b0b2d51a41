#pragma once

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include <cstdio>
#include <string>

namespace lvx {

class ConnectionController;
struct DeviceRecord;
struct DeviceRow;
struct NetworkRecord;

namespace cli {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The parsed command line of one linkvex-cli run. The options' fields are filled through
// the table in CliOptions.cpp.
struct CliContext {
    bool help = false;    // -h, --help
    bool version = false; // -v, --version
    QString command;
    QStringList arguments; // positional arguments after the command
    QStringList ports;     // --port, in the order given
    bool noEthernet = false;
    bool noSerial = false;
    bool loopback = false;
    bool trace = false;
    bool json = false;
    bool full = false; // analyze --full: the whole decode
    // The serial channels (multicom, multicom-config).
    QStringList channels; // --channel, letters in the order given
    QString seconds;      // --seconds
    QString logFile;      // --log
    QString baud;         // --baud
    QString dataBits;     // --data
    QString parity;       // --parity
    QString mac;
    QString node;
    QString output;
    QString input;
    bool brandNew = false; // creator commands: start from the brand-new template
    QString date;          // creator commands: the day a brand-new EDID is made
    QStringList sets;      // creator commands: --set NAME=VALUE, in the order given
    QString connector;     // --connector (monitors)
    bool force = false;    // --force (restore)
    // Firmware, system and IP configuration.
    bool yes = false; // no confirmation question
    QString ipMode;   // static or dhcp
    QString ip;
    QString mask;
    QString gateway;
    QString dns;
    QString webPort;
    QString telnetPort;
};

// Prints to standard output / standard error.
void out(const QString& text);
void err(const QString& text);

// A device's or the network's text (Latin-1 bytes) as printed: control characters escaped.
QString Shown(const std::string& deviceText);

// The message for a device looked for by MAC that is not listed: the device table may be
// full, and the device among the replies it left out.
QString NotListedReason(const ConnectionController& controller, const QString& mac);

// Sets up the controller for a Search over the interfaces the options select, with the
// debug log printed to standard error when --trace is given. False (with a message on
// standard error) when the network endpoints cannot open.
bool PrepareSearch(ConnectionController& controller, const CliContext& context);

// Runs the Search, then gives late network replies a moment.
void RunSearchFlow(ConnectionController& controller);

QJsonObject NetworkJson(const NetworkRecord& record);

QJsonObject RecordJson(const DeviceRecord& record);
QJsonObject RowJson(const DeviceRow& row, const DeviceRecord& record, int index);

int RunPorts(const CliContext& context);
int RunSearch(const CliContext& context);
int RunInfo(const CliContext& context);

} // namespace cli
} // namespace lvx
