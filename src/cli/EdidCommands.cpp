#include "cli/EdidCommands.h"

#include "common/Prompt.h"
#include "connection/ConnectionController.h"
#include "edid/EdidControllerTool.h"
#include "edid/EdidFileIO.h"
#include "edid/EdidTransfer.h"
#include "edid/EdidValidation.h"
#include "edid/InputModeTool.h"
#include "protocol/PumpDelay.h"

#include <QElapsedTimer>
#include <QRegularExpression>

#include <functional>
#include <optional>

namespace lvx::cli {

bool ConnectDevice(ConnectionController& controller, const CliContext& context) {
    CliContext search = context;
    if (!context.mac.isEmpty()) {
        search.noSerial = true;
        search.noEthernet = false;
    } else {
        if (context.ports.isEmpty()) {
            err(QStringLiteral("linkvex-cli %1: name the device with --port PATH or --mac MAC\n")
                    .arg(context.command));
            return false;
        }
        search.noEthernet = true;
        search.noSerial = false;
    }
    if (!PrepareSearch(controller, search)) {
        return false;
    }
    RunSearchFlow(controller);
    const auto& rows = controller.rows();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const bool match =
            context.mac.isEmpty()
                ? !rows[i].isp && rows[i].interface != "ETHERNET"
                : QString::fromStdString(rows[i].mac).compare(context.mac, Qt::CaseInsensitive) ==
                      0;
        if (match) {
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
    err(context.mac.isEmpty()
            ? QStringLiteral("linkvex-cli %1: no device answered on the given ports\n")
                  .arg(context.command)
            : QStringLiteral("linkvex-cli %1: %2\n")
                  .arg(context.command, NotListedReason(controller, context.mac)));
    return false;
}

// "input1", "output2", "user3", "internal4": 1-based, as the lists show them.
std::optional<NodeRef> ParseNode(const QString& text) {
    static const QRegularExpression pattern(
        QStringLiteral("^(input|output|user|internal)([1-9][0-9]{0,2})$"));
    const QRegularExpressionMatch match = pattern.match(text.toLower());
    if (!match.hasMatch() || match.captured(2).toInt() > 256) {
        return std::nullopt;
    }
    const QString kind = match.captured(1);
    NodeRef node;
    node.kind = kind == QLatin1String("input")    ? NodeKind::Input
                : kind == QLatin1String("output") ? NodeKind::Output
                : kind == QLatin1String("user")   ? NodeKind::User
                                                  : NodeKind::Internal;
    node.number = static_cast<std::uint8_t>(match.captured(2).toInt() - 1);
    return node;
}

static int NodeCount(const DeviceRecord& r, NodeKind kind) {
    switch (kind) {
    case NodeKind::Input:
        return r.inputCount;
    case NodeKind::Output:
        return r.outputCount;
    case NodeKind::User:
        return r.userEdidCount;
    case NodeKind::Internal:
        return r.internalEdidCount;
    }
    return 0;
}

bool CheckNode(const ConnectionController& controller, const std::optional<NodeRef>& node,
               const CliContext& context) {
    if (!node) {
        err(QStringLiteral("linkvex-cli %1: --node takes input1, output2, user3, internal4, "
                           "...\n")
                .arg(context.command));
        return false;
    }
    const DeviceRecord& r = controller.devices().current();
    if (node->number >= NodeCount(r, node->kind)) {
        const int index = controller.devices().selected;
        const auto& rows = controller.rows();
        const std::string missing = index >= 0 && static_cast<std::size_t>(index) < rows.size()
                                        ? rows[static_cast<std::size_t>(index)].missing
                                        : std::string();
        err(missing.empty()
                ? QStringLiteral("linkvex-cli %1: the device has no %2\n")
                      .arg(context.command, context.node)
                : QStringLiteral("linkvex-cli %1: the device has no %2 listed: it did not send "
                                 "%3\n")
                      .arg(context.command, context.node, QString::fromStdString(missing)));
        return false;
    }
    return true;
}

namespace {

// Dialogs answered by the command line: the file names come from the arguments.
class ArgumentPrompt : public Prompt {
public:
    explicit ArgumentPrompt(QString file) : file_(std::move(file)) {}
    std::string openFileName(const std::string&) override { return file_.toStdString(); }
    std::string saveFileName(const std::string&, const std::string&) override {
        return file_.toStdString();
    }
    void message(const std::string& caption, const std::string& text) override {
        err(QString::fromStdString(caption + ": " + text + "\n"));
    }
    bool confirm(const std::string&, const std::string&) override { return true; }

private:
    QString file_;
};

std::optional<ModeButton> ParseSource(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^(internal|external|user)([1-8])$"));
    const QRegularExpressionMatch match = pattern.match(text.toLower());
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const QString kind = match.captured(1);
    ModeButton button;
    button.column = kind == QLatin1String("internal")   ? ModeColumn::Internal
                    : kind == QLatin1String("external") ? ModeColumn::External
                                                        : ModeColumn::User;
    button.number = match.captured(2).toInt();
    return button;
}

QString SourceName(int mode, const ModeCounts& counts) {
    const std::optional<ModeButton> button = ButtonOfMode(mode, counts);
    if (!button) {
        return QStringLiteral("no source");
    }
    const char* names[] = {"Internal", "External", "User"};
    return QStringLiteral("%1 %2")
        .arg(QString::fromLatin1(names[static_cast<int>(button->column)]))
        .arg(button->number);
}

// Reads the chosen input's mode; -1 when the device did not say.
int ReadMode(InputModeTool& modes, int input) {
    int reported = -1;
    QObject::connect(&modes, &InputModeTool::modeReported, &modes,
                     [&reported](int mode) { reported = mode; });
    modes.chooseInput(input);
    QElapsedTimer clock;
    clock.start();
    while (reported < 0 && clock.elapsed() < 1000) {
        PumpDelay(5);
    }
    QObject::disconnect(&modes, &InputModeTool::modeReported, &modes, nullptr);
    return reported;
}

int InputIndex(const CliContext& context, const DeviceRecord& record, bool* ok) {
    const int input = context.input.isEmpty() ? 1 : context.input.toInt(ok);
    if (context.input.isEmpty()) {
        *ok = true;
    }
    if (!*ok || input < 1 || input > record.inputCount) {
        *ok = false;
        err(QStringLiteral("linkvex-cli %1: --input takes 1 to %2\n")
                .arg(context.command)
                .arg(record.inputCount));
    }
    return input - 1;
}

// Connects the device of the options and reads the --input number: kExitOk or the status
// to end with.
int ConnectInput(ConnectionController& controller, const CliContext& context, int& input) {
    if (!ConnectDevice(controller, context)) {
        return kExitFailure;
    }
    bool ok = false;
    input = InputIndex(context, controller.devices().current(), &ok);
    return ok ? kExitOk : kExitUsage;
}

// Connects the device, runs one flow of the EDID tool on the node with the file as the
// dialog's answer, and reports how it went.
int RunOnNode(
    const CliContext& context, const std::optional<NodeRef>& node, const QString& file,
    const std::function<EdidControllerTool::Outcome(EdidControllerTool&, NodeRef, Prompt&)>& flow) {
    ConnectionController controller;
    if (!ConnectDevice(controller, context) || !CheckNode(controller, node, context)) {
        return kExitFailure;
    }
    EdidTransfer transfer(controller);
    EdidControllerTool tool(controller, transfer);
    ArgumentPrompt prompt(file);
    const EdidControllerTool::Outcome outcome = flow(tool, *node, prompt);
    // Give the last datagram or frame time to leave before the program ends.
    PumpDelay(100);
    const bool linkUp = controller.selectedLinkUp();
    controller.disconnectDevices();
    if (outcome != EdidControllerTool::Outcome::Done) {
        // A flow that did not even start says nothing of its own: the link went meanwhile.
        const QString why = !tool.lastError().isEmpty() ? tool.lastError()
                            : linkUp ? QStringLiteral("the device cannot be used now")
                                     : QStringLiteral("the link to the device was lost");
        err(QStringLiteral("linkvex-cli %1: %2\n").arg(context.command, why));
        return kExitFailure;
    }
    return kExitOk;
}

void PrintMode(int input, int mode, const ModeCounts& counts) {
    out(QStringLiteral("Input %1: mode %2 (%3)\n")
            .arg(input + 1)
            .arg(mode)
            .arg(SourceName(mode, counts)));
}

} // namespace

int RunReadEdid(const CliContext& context) {
    if (context.node.isEmpty() || context.output.isEmpty()) {
        err(QStringLiteral("linkvex-cli read-edid: --node NODE -o FILE are required\n"));
        return kExitUsage;
    }
    return RunOnNode(context, ParseNode(context.node), context.output,
                     [](EdidControllerTool& tool, NodeRef node, Prompt& prompt) {
                         return tool.save(node, prompt);
                     });
}

int RunWriteEdid(const CliContext& context) {
    if (context.node.isEmpty() || context.arguments.size() != 1) {
        err(QStringLiteral("linkvex-cli write-edid: --node NODE FILE are required\n"));
        return kExitUsage;
    }
    const std::optional<NodeRef> node = ParseNode(context.node);
    if (node && !isWritable(node->kind)) {
        err(QStringLiteral("linkvex-cli write-edid: only inputs and user slots can be written\n"));
        return kExitFailure;
    }
    // A file that cannot be used is refused before any device is touched.
    QString why;
    const std::optional<EdidImage> image = ReadEdidFile(context.arguments.first(), &why);
    if (!image) {
        err(QStringLiteral("linkvex-cli write-edid: %1\n").arg(why));
        return kExitFailure;
    }
    if (const std::uint16_t error = ValidationError(*image)) {
        err(QStringLiteral("linkvex-cli write-edid: %1\n")
                .arg(QString::fromStdString(std::string(InvalidStatusMessage(error)))));
        return kExitFailure;
    }
    return RunOnNode(context, node, context.arguments.first(),
                     [](EdidControllerTool& tool, NodeRef node, Prompt& prompt) {
                         return tool.upload(node, prompt);
                     });
}

int RunGetMode(const CliContext& context) {
    if (!context.mac.isEmpty()) {
        err(QStringLiteral("linkvex-cli get-mode: input modes are set over a COM port\n"));
        return kExitUsage;
    }
    ConnectionController controller;
    int input = 0;
    if (const int status = ConnectInput(controller, context, input); status != kExitOk) {
        return status;
    }
    InputModeTool modes(controller);
    const int mode = ReadMode(modes, input);
    controller.disconnectDevices();
    if (mode < 0) {
        err(QStringLiteral("linkvex-cli get-mode: the device did not report a mode\n"));
        return kExitFailure;
    }
    PrintMode(input, mode, modes.counts());
    return kExitOk;
}

int RunSetMode(const CliContext& context) {
    if (!context.mac.isEmpty() || context.arguments.size() != 1) {
        err(QStringLiteral("linkvex-cli set-mode: --input N (internalK|externalK|userK) over "
                           "--port PATH\n"));
        return kExitUsage;
    }
    const std::optional<ModeButton> source = ParseSource(context.arguments.first());
    if (!source) {
        err(QStringLiteral("linkvex-cli set-mode: the source is internalK, externalK or userK "
                           "(K from 1 to 8)\n"));
        return kExitUsage;
    }
    ConnectionController controller;
    int input = 0;
    if (const int status = ConnectInput(controller, context, input); status != kExitOk) {
        return status;
    }
    InputModeTool modes(controller);
    const int wanted = ModeIndexOf(*source, modes.counts());
    if (!ButtonOfMode(wanted, modes.counts())) {
        err(QStringLiteral("linkvex-cli set-mode: the device has no %1\n")
                .arg(context.arguments.first()));
        return kExitFailure;
    }
    modes.chooseInput(input);
    if (!modes.press(*source)) {
        controller.disconnectDevices();
        err(QStringLiteral("linkvex-cli set-mode: %1\n").arg(modes.lastError()));
        return kExitFailure;
    }
    const int mode = ReadMode(modes, input);
    controller.disconnectDevices();
    if (mode != wanted) {
        err(QStringLiteral("linkvex-cli set-mode: the device reports mode %1, not %2\n")
                .arg(mode)
                .arg(wanted));
        return kExitFailure;
    }
    PrintMode(input, mode, modes.counts());
    return kExitOk;
}

int RunValidate(const CliContext& context) {
    if (context.arguments.isEmpty()) {
        err(QStringLiteral("linkvex-cli validate: name one or more .bin files\n"));
        return kExitUsage;
    }
    int status = kExitOk;
    for (const QString& file : context.arguments) {
        QString why;
        const std::optional<EdidImage> image = ReadEdidFile(file, &why);
        if (!image) {
            out(QStringLiteral("%1\n").arg(why));
            status = kExitFailure;
            continue;
        }
        const std::uint16_t error = ValidationError(*image);
        if (error == 0) {
            out(QStringLiteral("%1: OK\n").arg(file));
        } else {
            out(QStringLiteral("%1: %2\n")
                    .arg(file, QString::fromStdString(std::string(InvalidStatusMessage(error)))));
            status = kExitFailure;
        }
    }
    return status;
}

} // namespace lvx::cli
