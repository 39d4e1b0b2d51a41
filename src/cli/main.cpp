// linkvex-cli: the program's flows from the command line, without windows.
#include "cli/AnalyzeCommand.h"
#include "cli/BackupCommands.h"
#include "cli/CheckCommands.h"
#include "cli/CliContext.h"
#include "cli/CreatorCommands.h"
#include "cli/DiffCommand.h"
#include "cli/EdidCommands.h"
#include "cli/MonitorsCommand.h"
#include "cli/MultiComCommands.h"
#include "cli/SiteCommands.h"
#include "cli/SystemCommands.h"
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
  analyze FILE... --full [--json]  the whole decode of EDID files of any length
  check FILE... [--json]      what is wrong with EDID files: findings and a verdict (exit 0
                              pass, 1 a failure, 2 a file cannot be read)
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
  apply SITE.yaml [--dry-run] [--backup-dir DIR] [--json]
                                  make the devices a site file names match it: read them,
                                  back up and write only what differs, read it back
                                  (--dry-run: show what would change, send no SET)
  capture SITE.yaml [--port PATH]... [--mac MAC]...
                                  write a site file and its EDID files from the devices found
  diff A.bin B.bin [--json]       what differs between two EDIDs (exit 0 alike, 1 differ)
  fw-info FILE                    the target a firmware file's header names
  fw-update FILE --port PATH [--yes]   flash a device in loader (ISP) mode
  set-product TEXT                write the product string (--port PATH or --mac MAC)
  factory-default --port PATH [--yes]  reset a COM-port device to its defaults
  ip-config --mac MAC [SETTINGS]  write a network device's IP settings (the ones given)
  web-url --mac MAC               the address of a network device's web page
  multicom [--channel A-G]... [--seconds N] [--log FILE]
                                  the text of the device's serial channels as it arrives
                                  (each line led by its channel's letter when several show)
  multicom-config --channel A-G [--baud N] [--data 5-8] [--parity none|odd|even]
                                  a channel's settings: read, changed, read back

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
  --dry-run                   apply: read the devices and show what would change
  --backup-dir DIR            apply: where the backups go (linkvex-backups/ beside the file)
  --channel A-G               a serial channel (multicom: repeatable; all when not given)
  --seconds N                 how long multicom shows the channels (until Ctrl+C if not given)
  --log FILE                  multicom also writes what it shows to FILE
  --baud N, --data N, --parity P   the settings multicom-config sends
  --loopback                  keep the network endpoints on loopback (tests, demos)
  --brand-new                 creator: start from the brand-new template
  --date YYYY-MM-DD           creator: the day a brand-new EDID is made (today otherwise)
  --set NAME=VALUE            creator: a control's new value, applied through its rule (check
                              boxes 1 or 0, edits their text, preset lists an item index)
  --json                      print JSON
  --full                      analyze: the whole decode instead of the analyzer's facts
  --yes                       do not ask before fw-update or factory-default
  --mode static|dhcp, --ip A.B.C.D, --mask A.B.C.D, --gateway A.B.C.D, --dns A.B.C.D,
  --web-port N, --telnet-port N
                              SETTINGS of ip-config: only these change
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
    const QCommandLineOption full(QStringLiteral("full"), QString());
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
    const QCommandLineOption yes(QStringLiteral("yes"), QString());
    const QCommandLineOption ipMode(QStringLiteral("mode"), QString(), QStringLiteral("mode"));
    const QCommandLineOption ip(QStringLiteral("ip"), QString(), QStringLiteral("address"));
    const QCommandLineOption mask(QStringLiteral("mask"), QString(), QStringLiteral("address"));
    const QCommandLineOption gateway(QStringLiteral("gateway"), QString(),
                                     QStringLiteral("address"));
    const QCommandLineOption dns(QStringLiteral("dns"), QString(), QStringLiteral("address"));
    const QCommandLineOption webPort(QStringLiteral("web-port"), QString(), QStringLiteral("n"));
    const QCommandLineOption telnetPort(QStringLiteral("telnet-port"), QString(),
                                        QStringLiteral("n"));
    parser.addOptions({yes, ipMode, ip, mask, gateway, dns, webPort, telnetPort});
    const QCommandLineOption channel(QStringLiteral("channel"), QString(), QStringLiteral("A-G"));
    const QCommandLineOption seconds(QStringLiteral("seconds"), QString(), QStringLiteral("n"));
    const QCommandLineOption logFile(QStringLiteral("log"), QString(), QStringLiteral("file"));
    const QCommandLineOption baud(QStringLiteral("baud"), QString(), QStringLiteral("n"));
    const QCommandLineOption dataBits(QStringLiteral("data"), QString(), QStringLiteral("n"));
    const QCommandLineOption parity(QStringLiteral("parity"), QString(), QStringLiteral("p"));
    parser.addOptions({channel, seconds, logFile, baud, dataBits, parity, full});
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QString());
    const QCommandLineOption backupDir(QStringLiteral("backup-dir"), QString(),
                                       QStringLiteral("dir"));
    parser.addOptions({dryRun, backupDir});
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
    context.full = parser.isSet(full);
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
    context.yes = parser.isSet(yes);
    context.ipMode = parser.value(ipMode);
    context.ip = parser.value(ip);
    context.mask = parser.value(mask);
    context.gateway = parser.value(gateway);
    context.dns = parser.value(dns);
    context.webPort = parser.value(webPort);
    context.telnetPort = parser.value(telnetPort);
    context.channels = parser.values(channel);
    context.seconds = parser.value(seconds);
    context.logFile = parser.value(logFile);
    context.baud = parser.value(baud);
    context.dataBits = parser.value(dataBits);
    context.parity = parser.value(parity);
    context.dryRun = parser.isSet(dryRun);
    context.backupDir = parser.value(backupDir);
    context.macs = parser.values(mac);

    const std::map<QString, std::function<int(const CliContext&)>> commands = {
        {QStringLiteral("ports"), RunPorts},
        {QStringLiteral("search"), RunSearch},
        {QStringLiteral("info"), RunInfo},
        {QStringLiteral("read-edid"), RunReadEdid},
        {QStringLiteral("write-edid"), RunWriteEdid},
        {QStringLiteral("get-mode"), RunGetMode},
        {QStringLiteral("set-mode"), RunSetMode},
        {QStringLiteral("validate"), RunValidate},
        {QStringLiteral("analyze"),
         [](const CliContext& c) { return c.full ? RunAnalyzeFull(c) : RunAnalyze(c); }},
        {QStringLiteral("check"), RunCheck},
        {QStringLiteral("creator-load"), RunCreatorLoad},
        {QStringLiteral("creator-build"), RunCreatorBuild},
        {QStringLiteral("creator-write"), RunCreatorWrite},
        {QStringLiteral("monitors"), RunMonitors},
        {QStringLiteral("backup"), RunBackup},
        {QStringLiteral("restore"), RunRestore},
        {QStringLiteral("diff"), RunDiff},
        {QStringLiteral("fw-info"), RunFwInfo},
        {QStringLiteral("fw-update"), RunFwUpdate},
        {QStringLiteral("set-product"), RunSetProduct},
        {QStringLiteral("factory-default"), RunFactoryDefault},
        {QStringLiteral("ip-config"), RunIpConfig},
        {QStringLiteral("web-url"), RunWebUrl},
        {QStringLiteral("multicom"), RunMultiCom},
        {QStringLiteral("multicom-config"), RunMultiComConfig},
        {QStringLiteral("apply"), RunApply},
        {QStringLiteral("capture"), RunCapture},
    };
    const auto it = commands.find(context.command);
    if (it == commands.end()) {
        err(QStringLiteral("unknown command: %1\n").arg(context.command) +
            QString::fromLatin1(kUsage));
        return kExitUsage;
    }
    return it->second(context);
}
