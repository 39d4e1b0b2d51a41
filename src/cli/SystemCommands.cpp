#include "cli/SystemCommands.h"

#include "cli/EdidCommands.h"

#include "common/Prompt.h"
#include "connection/ConnectionController.h"
#include "protocol/PumpDelay.h"
#include "system/FirmwareTool.h"
#include "system/IpConfigTool.h"
#include "system/ProductString.h"
#include "system/SystemConfigTool.h"

#include <QJsonDocument>
#include <QTextStream>

#include <cstdio>
#include <unistd.h>

namespace lvx::cli {

namespace {

// The command line's dialogs: the file comes from the arguments, and a confirmation is asked
// on the terminal unless --yes was given. Without a terminal and without --yes the answer is
// no.
class TerminalPrompt : public Prompt {
public:
    TerminalPrompt(QString file, bool yes) : file_(std::move(file)), yes_(yes) {}

    std::string openFileName(const std::string&) override { return file_.toStdString(); }
    std::string saveFileName(const std::string&, const std::string&) override {
        return file_.toStdString();
    }
    void message(const std::string& caption, const std::string& text) override {
        err(QString::fromStdString(caption + ": " + text + "\n"));
    }
    bool confirm(const std::string&, const std::string& text) override {
        if (yes_) {
            return true;
        }
        if (!::isatty(STDIN_FILENO)) {
            noTerminal = true;
            return false;
        }
        err(QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" ")) +
            QStringLiteral(" Go on? [y/N] "));
        QTextStream in(stdin);
        const QString answer = in.readLine().trimmed();
        return answer.compare(QStringLiteral("y"), Qt::CaseInsensitive) == 0 ||
               answer.compare(QStringLiteral("yes"), Qt::CaseInsensitive) == 0;
    }

    bool noTerminal = false;

private:
    QString file_;
    bool yes_;
};

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString HexBytes(const std::vector<std::uint8_t>& bytes) {
    QStringList pairs;
    for (std::uint8_t b : bytes) {
        pairs << QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    }
    return pairs.join(QLatin1Char(' '));
}

int Fail(const CliContext& context, const QString& why) {
    err(QStringLiteral("linkvex-cli %1: %2\n").arg(context.command, why));
    return kExitFailure;
}

int Usage(const CliContext& context, const QString& what) {
    err(QStringLiteral("linkvex-cli %1: %2\n").arg(context.command, what));
    return kExitUsage;
}

int NotConfirmed(const CliContext& context, const TerminalPrompt& prompt) {
    return Fail(context, prompt.noTerminal ? QStringLiteral("not confirmed: there is no terminal "
                                                            "to ask on; give --yes")
                                           : QStringLiteral("cancelled"));
}

// The device a firmware update goes to: the first one on the --port ports that answered in
// loader mode, else the first one that answered at all (the update then says why not).
bool ConnectLoader(ConnectionController& controller, const CliContext& context) {
    CliContext serialOnly = context;
    serialOnly.noEthernet = true;
    serialOnly.noSerial = false;
    if (!PrepareSearch(controller, serialOnly)) {
        return false;
    }
    RunSearchFlow(controller);
    const auto& rows = controller.rows();
    int row = 0;
    for (std::size_t i = 0; i < rows.size() && row == 0; ++i) {
        if (rows[i].isp) {
            row = static_cast<int>(i) + 1;
        }
    }
    if (row == 0 && !rows.empty()) {
        row = 1;
    }
    if (row == 0) {
        err(QStringLiteral("linkvex-cli %1: no device answered on the given ports\n")
                .arg(context.command));
        return false;
    }
    controller.select(row);
    return true;
}

// Gives the last frame or datagram time to leave, then lets go of the device.
void Finish(ConnectionController& controller) {
    PumpDelay(100);
    controller.disconnectDevices();
}

} // namespace

int RunFwInfo(const CliContext& context) {
    if (context.arguments.size() != 1) {
        return Usage(context, QStringLiteral("name one firmware file"));
    }
    const QString file = context.arguments.first();
    std::vector<std::uint8_t> bytes;
    QString why;
    if (!ReadFirmwareFile(file, bytes, why)) {
        return Fail(context, QStringLiteral("Fw Open Fail. (%1)").arg(why));
    }
    const std::optional<FirmwareHeader> header = ParseFirmwareHeader(bytes.data(), bytes.size());
    if (!header) {
        return Fail(context,
                    QStringLiteral("Illegal FW. (%1 has no \"FW VER:\" at offset 512)").arg(file));
    }
    const bool fits1 = FirmwareFitsLoader(1, bytes.size());
    if (context.json) {
        QJsonObject o;
        o[QStringLiteral("file")] = file;
        o[QStringLiteral("size")] = static_cast<qint64>(bytes.size());
        o[QStringLiteral("vendorId")] = Latin1(header->vendorId);
        o[QStringLiteral("productId")] = Latin1(header->productId);
        o[QStringLiteral("version")] = Latin1(header->version);
        o[QStringLiteral("target")] = Latin1(FirmwareTargetLabel(*header));
        o[QStringLiteral("fitsLoader029")] = fits1;
        out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)));
    } else {
        out(Shown(FirmwareTargetLabel(*header)) + QStringLiteral("\n"));
        out(QStringLiteral("Size:         %1 bytes\n").arg(bytes.size()));
        out(QStringLiteral("Loaders:      %1\n")
                .arg(fits1 ? QStringLiteral("$ISP029 and $ISP091")
                           : QStringLiteral("$ISP091 only (too large for the 16-bit addresses of "
                                            "$ISP029)")));
    }
    return kExitOk;
}

int RunFwUpdate(const CliContext& context) {
    if (context.arguments.size() != 1 || context.ports.isEmpty() || !context.mac.isEmpty()) {
        return Usage(context, QStringLiteral("FILE --port PATH [--yes]"));
    }
    ConnectionController controller;
    if (!ConnectLoader(controller, context)) {
        return kExitFailure;
    }
    FirmwareTool tool(controller);
    TerminalPrompt prompt(context.arguments.first(), context.yes);
    if (tool.openFirmware(prompt) != FirmwareTool::Outcome::Done) {
        const QString why = tool.lastError();
        controller.disconnectDevices();
        return Fail(context, why);
    }
    QObject::connect(&tool, &FirmwareTool::percentChanged, &tool,
                     [](int percent) { err(QStringLiteral("fw-update: %1%\n").arg(percent)); });
    const FirmwareTool::Outcome outcome = tool.update(prompt);
    const QString label = tool.progressText();
    const QString why = tool.lastError();
    Finish(controller);
    switch (outcome) {
    case FirmwareTool::Outcome::Done:
        err(QStringLiteral("fw-update: %1 bytes sent, FW_END sent; search again to find the "
                           "device.\n")
                .arg(tool.image().size()));
        return kExitOk;
    case FirmwareTool::Outcome::Cancelled:
        return NotConfirmed(context, prompt);
    case FirmwareTool::Outcome::Refused:
        return Fail(context, why == label ? label : label + QStringLiteral(" ") + why);
    default:
        return Fail(context, label + QStringLiteral(" (") + why + QStringLiteral(")"));
    }
}

int RunSetProduct(const CliContext& context) {
    if (context.arguments.size() != 1) {
        return Usage(context, QStringLiteral("TEXT (--port PATH | --mac MAC)"));
    }
    const std::string text = context.arguments.first().toLatin1().toStdString();
    ConnectionController controller;
    if (!ConnectDevice(controller, context)) {
        return kExitFailure;
    }
    SystemConfigTool tool(controller);
    if (ProductStringTooLong(text)) {
        err(QStringLiteral("63 Letters Limited!: only the first 63 characters are written.\n"));
    }
    const int index = controller.devices().selected;
    const SystemConfigTool::Outcome outcome = tool.writeConfiguration(text);
    Finish(controller);
    switch (outcome) {
    case SystemConfigTool::Outcome::Unchanged:
        err(QStringLiteral("No Changed.\n"));
        return kExitOk;
    case SystemConfigTool::Outcome::Done:
        out(Shown(controller.devices().at(index).productString) + QStringLiteral("\n"));
        return kExitOk;
    case SystemConfigTool::Outcome::NoAnswer:
        return Fail(context, tool.lastError());
    default:
        return Fail(context, QStringLiteral("the device cannot be written now"));
    }
}

int RunFactoryDefault(const CliContext& context) {
    if (context.ports.isEmpty() || !context.mac.isEmpty() || !context.arguments.isEmpty()) {
        return Usage(context, QStringLiteral("--port PATH [--yes] (a COM-port device)"));
    }
    ConnectionController controller;
    if (!ConnectDevice(controller, context)) {
        return kExitFailure;
    }
    SystemConfigTool tool(controller);
    TerminalPrompt prompt(QString(), context.yes);
    const int index = controller.devices().selected;
    const SystemConfigTool::Outcome outcome = tool.factoryDefault(prompt);
    const std::string product = controller.devices().at(index).productString;
    Finish(controller);
    switch (outcome) {
    case SystemConfigTool::Outcome::Done:
        if (context.json) {
            QJsonObject o;
            o[QStringLiteral("productString")] = Latin1(product);
            out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)));
        } else {
            out(Shown(product) + QStringLiteral("\n"));
        }
        return kExitOk;
    case SystemConfigTool::Outcome::Cancelled:
        return NotConfirmed(context, prompt);
    case SystemConfigTool::Outcome::NoAnswer:
        return Fail(context, tool.lastError());
    default:
        return Fail(context, QStringLiteral("the device cannot be reset now"));
    }
}

namespace {

// The settings given on the command line over the device's own.
void ApplyIpOptions(const CliContext& context, IpEdits& edits) {
    auto set = [](std::string& field, const QString& value) {
        if (!value.isEmpty()) {
            field = value.toLatin1().toStdString();
        }
    };
    set(edits.ipAddress, context.ip);
    set(edits.subnetMask, context.mask);
    set(edits.gateway, context.gateway);
    set(edits.dns, context.dns);
    set(edits.webPort, context.webPort);
    set(edits.telnetPort, context.telnetPort);
}

void PrintIpDatagram(const CliContext& context, const std::vector<std::uint8_t>& datagram,
                     const std::vector<std::string>& skipped) {
    if (!context.json) {
        out(HexBytes(datagram) + QStringLiteral("\n"));
        return;
    }
    QJsonObject o;
    o[QStringLiteral("datagram")] = HexBytes(datagram);
    QJsonArray left;
    for (const std::string& line : skipped) {
        left.append(QString::fromStdString(line));
    }
    o[QStringLiteral("skipped")] = left;
    out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)));
}

} // namespace

int RunIpConfig(const CliContext& context) {
    if (context.mac.isEmpty() || !context.arguments.isEmpty()) {
        return Usage(context, QStringLiteral("--mac MAC [--mode static|dhcp] [--ip A.B.C.D] "
                                             "[--mask A.B.C.D] [--gateway A.B.C.D] "
                                             "[--dns A.B.C.D] [--web-port N] [--telnet-port N]"));
    }
    const QString mode = context.ipMode.toLower();
    if (!mode.isEmpty() && mode != QLatin1String("static") && mode != QLatin1String("dhcp")) {
        return Usage(context, QStringLiteral("--mode is static or dhcp"));
    }
    const bool addresses =
        !context.ip.isEmpty() || !context.mask.isEmpty() || !context.gateway.isEmpty();
    if (mode == QLatin1String("dhcp") && addresses) {
        return Usage(context, QStringLiteral("--ip, --mask and --gateway are set in static mode "
                                             "only"));
    }
    ConnectionController controller;
    if (!ConnectDevice(controller, context)) {
        return kExitFailure;
    }
    IpConfigTool tool(controller);
    const NetworkRecord* record = tool.record();
    if (record == nullptr) {
        controller.disconnectDevices();
        return Fail(context, QStringLiteral("the device is not open"));
    }
    IpEdits edits = IpEditsOf(*record);
    if (!mode.isEmpty()) {
        edits.mode = mode == QLatin1String("dhcp") ? 1 : 0;
    }
    if (edits.mode == 1 && addresses) {
        controller.disconnectDevices();
        return Fail(context, QStringLiteral("the device uses DHCP: its address, mask and gateway "
                                            "are not sent; add --mode static"));
    }
    ApplyIpOptions(context, edits);
    const IpConfigTool::Outcome outcome = tool.write(edits);
    const QString status = tool.statusText();
    const std::vector<std::string> skipped = tool.lastSkipped();
    const std::vector<std::uint8_t> datagram = tool.lastDatagram();
    Finish(controller);
    if (outcome != IpConfigTool::Outcome::Sent) {
        return Fail(context, status.isEmpty() ? QStringLiteral("nothing was sent") : status);
    }
    PrintIpDatagram(context, datagram, skipped);
    // The rest went out; what was asked for did not all go.
    return skipped.empty() ? kExitOk : Fail(context, status);
}

int RunWebUrl(const CliContext& context) {
    if (context.mac.isEmpty() || !context.arguments.isEmpty()) {
        return Usage(context, QStringLiteral("--mac MAC"));
    }
    ConnectionController controller;
    if (!ConnectDevice(controller, context)) {
        return kExitFailure;
    }
    IpConfigTool tool(controller);
    const QString address = tool.webAddress();
    controller.disconnectDevices();
    if (address.isEmpty()) {
        return Fail(context, QStringLiteral("the device reports no web page (web port 0)"));
    }
    if (context.json) {
        QJsonObject o;
        o[QStringLiteral("url")] = address;
        out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Indented)));
    } else {
        out(address + QStringLiteral("\n"));
    }
    return kExitOk;
}

} // namespace lvx::cli
