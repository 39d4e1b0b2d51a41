// linkvex-cli: the program's flows from the command line, without windows.
#include "cli/AnalyzeCommand.h"
#include "cli/BackupCommands.h"
#include "cli/CliContext.h"
#include "cli/CreatorCommands.h"
#include "cli/DiffCommand.h"
#include "cli/EdidCommands.h"
#include "cli/MonitorsCommand.h"
#include "common/Version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <functional>
#include <map>

using namespace lvx::cli;

namespace {

const char* kUsage = R"(Usage: linkvex-cli <command> [options]

Commands:
  ports                       the serial ports a Search goes through
  search                      find the devices on the COM ports and the network
  info --mac MAC              find a network device, open it and print its record
  analyze FILE... [--json]    decode .bin files and print what the analyzer shows
  read-edid --node NODE -o FILE   read a node's EDID into a .bin file
  write-edid --node NODE FILE     upload a .bin file to an input or a user slot
  get-mode [--input N]            the EDID source of an input (COM port)
  set-mode --input N SOURCE       choose it: internalK, externalK or userK
  validate FILE...                check .bin files: OK or what is wrong
  creator-load SOURCE [--json]    load an EDID into the creator, print every control
  creator-build SOURCE [-o FILE]  the creator's "Save EDID" (--set NAME=VALUE...)
  creator-write SOURCE --node NODE  the creator's "Write EDID to Device" (--set ...)
  monitors [--json]               the displays connected to this PC and their EDIDs
  monitors --connector NAME -o FILE   save one display's EDID (NAME: HDMI-A-1, DP-2, ...)
  backup DIR                      every node's EDID and every input's mode into DIR
  restore DIR [--force]           check DIR, then write its user slots, inputs and modes
  diff A.bin B.bin [--json]       what differs between two EDIDs (exit 0 alike, 1 differ)

  NODE is input1, output2, user3, internal4, ... (1-based, as the lists show them). The
  device is the first one on the --port ports, or the network device with --mac. SOURCE is
  a .bin FILE, or --brand-new [--date YYYY-MM-DD] for the brand-new template.
  monitors reads $LINKVEX_SYSFS_ROOT/class/drm (default /sys).

Options:
  --port PATH                 search exactly this port (repeatable, in order)
  --no-ethernet               do not search the network
  --no-serial                 do not search the COM ports
  --mac MAC                   the network device to work with (00:11:22:33:44:55)
  --node NODE                 the EDID node (read-edid, write-edid, creator-write)
  -o, --output FILE           the file to save (read-edid, creator-build; ".bin" is added
                              when missing)
  --input N                   the input (get-mode, set-mode; 1 when not given)
  --connector NAME            the display connector (monitors)
  --force                     restore a backup of another model, other counts or an
                              incomplete one
  --loopback                  keep the network endpoints on loopback (tests, demos)
  --brand-new                 creator: start from the brand-new template
  --date YYYY-MM-DD           creator: the day a brand-new EDID is made (today otherwise)
  --set NAME=VALUE            creator: a control's new value, applied through its rule (check
                              boxes 1 or 0, edits their text, preset lists an item index)
  --json                      print JSON
  --trace                     print the protocol trace to standard error
  -h, --help                  this text
  -v, --version               the version

Exit status: 0 success, 1 failure, 2 usage error.
)";

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("linkvex-cli"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(lvx::kVersion));

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("path"));
    const QCommandLineOption noEthernet(QStringLiteral("no-ethernet"), QString());
    const QCommandLineOption noSerial(QStringLiteral("no-serial"), QString());
    const QCommandLineOption loopback(QStringLiteral("loopback"), QString());
    const QCommandLineOption json(QStringLiteral("json"), QString());
    const QCommandLineOption trace(QStringLiteral("trace"), QString());
    const QCommandLineOption mac(QStringLiteral("mac"), QString(), QStringLiteral("mac"));
    const QCommandLineOption node(QStringLiteral("node"), QString(), QStringLiteral("node"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(),
                                    QStringLiteral("file"));
    const QCommandLineOption input(QStringLiteral("input"), QString(), QStringLiteral("n"));
    const QCommandLineOption brandNew(QStringLiteral("brand-new"), QString());
    const QCommandLineOption date(QStringLiteral("date"), QString(), QStringLiteral("date"));
    const QCommandLineOption set(QStringLiteral("set"), QString(), QStringLiteral("name=value"));
    const QCommandLineOption connector(QStringLiteral("connector"), QString(),
                                       QStringLiteral("name"));
    const QCommandLineOption force(QStringLiteral("force"), QString());
    parser.addOptions({help, version, port, noEthernet, noSerial, loopback, json, trace, mac, node,
                       output, input, brandNew, date, set, connector, force});
    if (!parser.parse(QCoreApplication::arguments())) {
        err(parser.errorText() + QStringLiteral("\n") + QString::fromLatin1(kUsage));
        return kExitUsage;
    }
    if (parser.isSet(help)) {
        out(QString::fromLatin1(kUsage));
        return kExitOk;
    }
    if (parser.isSet(version)) {
        out(QStringLiteral("linkvex-cli %1\n").arg(QLatin1String(lvx::kVersion)));
        return kExitOk;
    }
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        err(QString::fromLatin1(kUsage));
        return kExitUsage;
    }

    CliContext context;
    context.command = positional.takeFirst();
    context.arguments = positional;
    context.ports = parser.values(port);
    context.noEthernet = parser.isSet(noEthernet);
    context.noSerial = parser.isSet(noSerial);
    context.loopback = parser.isSet(loopback);
    context.json = parser.isSet(json);
    context.trace = parser.isSet(trace);
    context.mac = parser.value(mac);
    context.node = parser.value(node);
    context.output = parser.value(output);
    context.input = parser.value(input);
    context.brandNew = parser.isSet(brandNew);
    context.date = parser.value(date);
    context.sets = parser.values(set);
    context.connector = parser.value(connector);
    context.force = parser.isSet(force);

    const std::map<QString, std::function<int(const CliContext&)>> commands = {
        {QStringLiteral("ports"), RunPorts},
        {QStringLiteral("search"), RunSearch},
        {QStringLiteral("info"), RunInfo},
        {QStringLiteral("read-edid"), RunReadEdid},
        {QStringLiteral("write-edid"), RunWriteEdid},
        {QStringLiteral("get-mode"), RunGetMode},
        {QStringLiteral("set-mode"), RunSetMode},
        {QStringLiteral("validate"), RunValidate},
        {QStringLiteral("analyze"), RunAnalyze},
        {QStringLiteral("creator-load"), RunCreatorLoad},
        {QStringLiteral("creator-build"), RunCreatorBuild},
        {QStringLiteral("creator-write"), RunCreatorWrite},
        {QStringLiteral("monitors"), RunMonitors},
        {QStringLiteral("backup"), RunBackup},
        {QStringLiteral("restore"), RunRestore},
        {QStringLiteral("diff"), RunDiff},
    };
    const auto it = commands.find(context.command);
    if (it == commands.end()) {
        err(QStringLiteral("unknown command: %1\n").arg(context.command) +
            QString::fromLatin1(kUsage));
        return kExitUsage;
    }
    return it->second(context);
}
