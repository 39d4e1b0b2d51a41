// linkvex-cli: the program's flows from the command line, without windows.
#include "cli/AnalyzeCommand.h"
#include "cli/BackupCommands.h"
#include "cli/CheckCommands.h"
#include "cli/CliContext.h"
#include "cli/CliOptions.h"
#include "cli/CreatorCommands.h"
#include "cli/DiffCommand.h"
#include "cli/EdidCommands.h"
#include "cli/MonitorsCommand.h"
#include "cli/MultiComCommands.h"
#include "cli/SystemCommands.h"
#include "common/Version.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <functional>
#include <map>

using namespace lvx::cli;

namespace {

const char* kUsageStart = R"(Usage: linkvex-cli <command> [options]

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
)";

const char* kUsageEnd = R"(
Exit status: 0 success, 1 failure, 2 usage error.
)";

QString Usage() {
    return QString::fromLatin1(kUsageStart) + OptionsUsage() + QString::fromLatin1(kUsageEnd);
}

// The commands, by name.
std::map<QString, std::function<int(const CliContext&)>> Commands() {
    return {
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
    };
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("linkvex-cli"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(lvx::kVersion));

    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    AddCliOptions(parser);
    if (!parser.parse(QCoreApplication::arguments())) {
        err(parser.errorText() + QStringLiteral("\n") + Usage());
        return kExitUsage;
    }
    CliContext context;
    ReadCliOptions(parser, context);
    if (context.help) {
        out(Usage());
        return kExitOk;
    }
    if (context.version) {
        out(QStringLiteral("linkvex-cli %1\n").arg(QLatin1String(lvx::kVersion)));
        return kExitOk;
    }
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        err(Usage());
        return kExitUsage;
    }
    context.command = positional.takeFirst();
    context.arguments = positional;

    const auto commands = Commands();
    const auto it = commands.find(context.command);
    if (it == commands.end()) {
        err(QStringLiteral("unknown command: %1\n").arg(context.command) + Usage());
        return kExitUsage;
    }
    return it->second(context);
}
