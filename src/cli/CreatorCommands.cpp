#include "cli/CreatorCommands.h"

#include "cli/EdidCommands.h"
#include "common/Prompt.h"
#include "connection/ConnectionController.h"
#include "creator/CreatorControls.h"
#include "creator/CreatorModel.h"
#include "creator/CreatorTool.h"
#include "creator/EdidWorkImage.h"
#include "edid/EdidFileIO.h"
#include "edid/EdidTransfer.h"
#include "protocol/PumpDelay.h"

#include <QDate>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace lvx::cli {

namespace {

// The controls whose values the command line reports and sets: the ones a user changes.
bool HoldsValue(const ControlDef& def) {
    return def.kind == ControlKind::CheckBox || def.kind == ControlKind::RadioButton ||
           def.kind == ControlKind::Edit || def.kind == ControlKind::ComboBox;
}

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<int>(text.size()));
}

QString HexDigits(const EdidImage& image) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    QString text;
    text.reserve(2 * static_cast<int>(image.size()));
    for (std::uint8_t byte : image) {
        text += QLatin1Char(kDigits[byte >> 4]);
        text += QLatin1Char(kDigits[byte & 0x0F]);
    }
    return text;
}

std::optional<CalendarDate> ParseDate(const QString& text) {
    const QDate date = QDate::fromString(text, Qt::ISODate);
    if (!date.isValid() || text.size() != 10) {
        return std::nullopt;
    }
    return CalendarDate{date.year(), date.month(), date.day()};
}

// Checks the source arguments: FILE or --brand-new (with an optional --date).
bool CheckSource(const CliContext& context) {
    const bool file = context.arguments.size() == 1;
    if (context.arguments.size() > 1 || file == context.brandNew) {
        err(QStringLiteral("linkvex-cli %1: give one FILE or --brand-new\n").arg(context.command));
        return false;
    }
    if (!context.date.isEmpty()) {
        if (!context.brandNew) {
            err(QStringLiteral("linkvex-cli %1: --date goes with --brand-new\n")
                    .arg(context.command));
            return false;
        }
        if (!ParseDate(context.date)) {
            err(QStringLiteral("linkvex-cli %1: --date takes YYYY-MM-DD\n").arg(context.command));
            return false;
        }
    }
    return true;
}

// Loads the source into the model as a freshly started program would: FILE as "Open EDID",
// --brand-new as "Brand New EDID". False (with a message) when the file cannot be read.
bool LoadSource(const CliContext& context, CreatorModel& model) {
    if (context.brandNew) {
        if (!context.date.isEmpty()) {
            const CalendarDate date = *ParseDate(context.date);
            model.setClock([date] { return date; });
        }
        model.brandNew();
        return true;
    }
    const QString path = context.arguments.first();
    QString why;
    const std::optional<EdidImage> image = ReadEdidFile(path, &why);
    if (!image) {
        err(QStringLiteral("linkvex-cli %1: %2\n").arg(context.command, why));
        return false;
    }
    model.openImage(*image);
    return true;
}

// One --set: a control that holds a value and what it is to hold.
struct Setting {
    int id = -1;
    QString name;
    QString value;
};

// Reads the --set options: NAME=VALUE with a known name and a value its kind takes (check
// boxes and radio buttons 1 or 0, combo boxes an item index, edits any text). False (with a
// message) for the first that is not.
bool ParseSettings(const CliContext& context, std::vector<Setting>& settings) {
    for (const QString& set : context.sets) {
        const int equals = set.indexOf(QLatin1Char('='));
        Setting s;
        s.name = equals < 0 ? set : set.left(equals);
        s.value = equals < 0 ? QString() : set.mid(equals + 1);
        s.id = CreatorModel::idOf(s.name.toStdString());
        auto refuse = [&](const QString& why) {
            err(QStringLiteral("linkvex-cli %1: --set %2: %3\n").arg(context.command, set, why));
            return false;
        };
        if (equals < 0) {
            return refuse(QStringLiteral("write NAME=VALUE"));
        }
        if (s.id < 0 || !HoldsValue(CreatorModel::definition(s.id)) ||
            CreatorModel::definition(s.id).hidden) {
            return refuse(QStringLiteral("no creator control has that name"));
        }
        bool ok = true;
        switch (CreatorModel::definition(s.id).kind) {
        case ControlKind::CheckBox:
            ok = s.value == QLatin1String("0") || s.value == QLatin1String("1");
            break;
        case ControlKind::RadioButton:
            if (s.value == QLatin1String("0")) {
                return refuse(QStringLiteral("a radio button is unchecked by checking the other"));
            }
            ok = s.value == QLatin1String("1");
            break;
        case ControlKind::ComboBox: {
            const int index = s.value.toInt(&ok);
            ok = ok && index >= 0 && index < static_cast<int>(CreatorModel::presetItems().size());
            break;
        }
        default:
            break;
        }
        if (!ok) {
            return refuse(QStringLiteral("check boxes and radio buttons take 1 or 0, the preset "
                                         "lists an item index from 0 to 10"));
        }
        settings.push_back(s);
    }
    return true;
}

// Applies the settings in order through the rules, as a user's clicks and typing would. A
// rule's message (a text that is no number) is shown on standard error; the run goes on, as
// the program goes on after its message box.
void ApplySettings(const CliContext& context, CreatorModel& model,
                   const std::vector<Setting>& settings) {
    const QMetaObject::Connection shown =
        QObject::connect(&model, &CreatorModel::conversionError, [&context](const QString& text) {
            err(QStringLiteral("linkvex-cli %1: %2\n").arg(context.command, text));
        });
    for (const Setting& s : settings) {
        switch (CreatorModel::definition(s.id).kind) {
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
            model.setChecked(s.id, s.value == QLatin1String("1"));
            break;
        case ControlKind::ComboBox:
            model.setIndex(s.id, s.value.toInt());
            break;
        default:
            model.setText(s.id, s.value.toLatin1().toStdString());
            break;
        }
    }
    QObject::disconnect(shown);
}

// The save dialog answered by -o.
class OutputPrompt : public Prompt {
public:
    explicit OutputPrompt(QString file) : file_(std::move(file)) {}
    std::string openFileName(const std::string&) override { return {}; }
    std::string saveFileName(const std::string&, const std::string&) override {
        return file_.toStdString();
    }
    void message(const std::string&, const std::string& text) override {
        err(QString::fromStdString(text + "\n"));
    }
    bool confirm(const std::string&, const std::string&) override { return false; }

private:
    QString file_;
};

void PrintLeftOut(const CliContext& context, ConnectionController& controller) {
    for (const QString& line :
         QString::fromStdString(controller.log().text()).split(QStringLiteral("\r\n"))) {
        if (line.startsWith(QLatin1String("Left out: "))) {
            err(QStringLiteral("linkvex-cli %1: %2\n").arg(context.command, line));
        }
    }
}

QJsonObject ControlsJson(const CreatorModel& model) {
    QJsonObject controls;
    for (int id = 0; id < CreatorModel::controlCount(); ++id) {
        const ControlDef& def = CreatorModel::definition(id);
        if (!HoldsValue(def)) {
            continue;
        }
        const ControlState& state = model.state(id);
        const QString name = QString::fromStdString(def.name);
        switch (def.kind) {
        case ControlKind::Edit:
            controls[name] = Latin1(state.text);
            break;
        case ControlKind::ComboBox:
            controls[name] = state.index;
            break;
        default:
            controls[name] = state.checked;
            break;
        }
    }
    return controls;
}

void PrintControls(const CreatorModel& model) {
    QString text;
    for (int id = 0; id < CreatorModel::controlCount(); ++id) {
        const ControlDef& def = CreatorModel::definition(id);
        if (!HoldsValue(def)) {
            continue;
        }
        const ControlState& state = model.state(id);
        text += QString::fromStdString(def.name) + QStringLiteral(": ");
        switch (def.kind) {
        case ControlKind::Edit:
            text += QLatin1Char('"') + Latin1(state.text) + QLatin1Char('"');
            break;
        case ControlKind::ComboBox:
            text += QStringLiteral("%1 (%2)")
                        .arg(state.index)
                        .arg(QString::fromStdString(
                            CreatorModel::presetItems()[static_cast<std::size_t>(state.index)]));
            break;
        default:
            text += state.checked ? QStringLiteral("true") : QStringLiteral("false");
            break;
        }
        text += QLatin1Char('\n');
    }
    out(text);
}

void PrintHex(const EdidImage& image) {
    const QString digits = HexDigits(image);
    QString text;
    for (int row = 0; row < 16; ++row) {
        text += QStringLiteral("%1:").arg(row * 16, 2, 16, QLatin1Char('0')).toUpper();
        for (int column = 0; column < 16; ++column) {
            text += QLatin1Char(' ') + digits.mid((row * 16 + column) * 2, 2);
        }
        text += QLatin1Char('\n');
    }
    out(text);
}

// Loads the source and applies the settings, as the program does before Save or Write.
// kExitOk, or the status to end with.
int Prepare(const CliContext& context, CreatorModel& model, const std::vector<Setting>& settings) {
    if (!LoadSource(context, model)) {
        return kExitFailure;
    }
    ApplySettings(context, model, settings);
    return kExitOk;
}

} // namespace

namespace {

// Save EDID when there is somewhere to save; otherwise only the build. The image, or none
// with the reason in `error`.
std::optional<EdidImage> SaveOrBuild(const CliContext& context, ConnectionController& controller,
                                     CreatorTool& tool, CreatorModel& model, QString& error) {
    if (!context.output.isEmpty()) {
        OutputPrompt prompt(context.output);
        std::optional<EdidImage> built;
        if (tool.save(prompt) == CreatorTool::Outcome::Done) {
            built = tool.lastBuilt();
        } else {
            error = tool.lastError();
            if (model.record().status & kStatusCreatorLoaded && error.isEmpty()) {
                error = QStringLiteral("nothing saved");
            }
        }
        PrintLeftOut(context, controller);
        return built;
    }
    const BuildResult result = model.build();
    if (!result.ok) {
        error = QString::fromStdString(result.error);
    }
    for (const std::string& line : result.leftOut) {
        err(QStringLiteral("linkvex-cli %1: Left out: %2\n")
                .arg(context.command, QString::fromStdString(line)));
    }
    return result.ok ? std::optional<EdidImage>(result.image) : std::nullopt;
}

void PrintBuilt(const CliContext& context, const CreatorModel& model, const QString& error,
                const std::optional<EdidImage>& built) {
    if (context.json) {
        QJsonObject o;
        o[QStringLiteral("file")] =
            context.brandNew ? QJsonValue() : QJsonValue(context.arguments.first());
        o[QStringLiteral("status")] = model.record().status;
        o[QStringLiteral("error")] = error.isEmpty() ? QJsonValue() : QJsonValue(error);
        o[QStringLiteral("warning")] = Latin1(model.text(names::kWarningLabel));
        o[QStringLiteral("flag")] = model.fieldError();
        o[QStringLiteral("hex")] = built ? QJsonValue(HexDigits(*built)) : QJsonValue();
        out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
    } else if (built) {
        if (!model.text(names::kWarningLabel).empty()) {
            out(QStringLiteral("warning: %1\n").arg(Latin1(model.text(names::kWarningLabel))));
        }
        PrintHex(*built);
    }
}

} // namespace

int RunCreatorBuild(const CliContext& context) {
    std::vector<Setting> settings;
    if (!CheckSource(context) || !ParseSettings(context, settings)) {
        return kExitUsage;
    }
    ConnectionController controller;
    EdidTransfer transfer(controller);
    EdidWorkImage hex;
    CreatorModel model(hex);
    CreatorTool tool(controller, transfer, model);
    tool.messageWaits = false;
    if (const int status = Prepare(context, model, settings); status != kExitOk) {
        return status;
    }
    QString error;
    const std::optional<EdidImage> built = SaveOrBuild(context, controller, tool, model, error);
    PrintBuilt(context, model, error, built);
    if (!built) {
        err(QStringLiteral("linkvex-cli %1: %2\n").arg(context.command, error));
        return kExitFailure;
    }
    return kExitOk;
}

int RunCreatorWrite(const CliContext& context) {
    std::vector<Setting> settings;
    if (!CheckSource(context) || !ParseSettings(context, settings)) {
        return kExitUsage;
    }
    const std::optional<NodeRef> node = ParseNode(context.node);
    if (!node || !isWritable(node->kind)) {
        err(QStringLiteral("linkvex-cli creator-write: --node takes inputN or userN\n"));
        return kExitUsage;
    }
    ConnectionController controller;
    if (!ConnectDevice(controller, context) || !CheckNode(controller, node, context)) {
        return kExitFailure;
    }
    EdidTransfer transfer(controller);
    EdidWorkImage hex;
    CreatorModel model(hex);
    CreatorTool tool(controller, transfer, model);
    tool.messageWaits = false;
    int status = Prepare(context, model, settings);
    if (status == kExitOk) {
        const CreatorTool::Outcome outcome = tool.writeToDevice(*node);
        PrintLeftOut(context, controller);
        if (outcome != CreatorTool::Outcome::Done) {
            err(QStringLiteral("linkvex-cli creator-write: %1\n").arg(tool.lastError()));
            status = kExitFailure;
        }
    }
    // Give the last datagram or frame time to leave before the program ends.
    PumpDelay(100);
    controller.disconnectDevices();
    return status;
}

int RunCreatorLoad(const CliContext& context) {
    if (!CheckSource(context)) {
        return kExitUsage;
    }
    EdidWorkImage hex;
    CreatorModel model(hex);
    if (!LoadSource(context, model)) {
        return kExitFailure;
    }
    const EdidImage shown = hex.bytes();
    if (context.json) {
        QJsonObject o;
        o[QStringLiteral("file")] =
            context.brandNew ? QJsonValue() : QJsonValue(context.arguments.first());
        o[QStringLiteral("status")] = model.record().status;
        o[QStringLiteral("controls")] = ControlsJson(model);
        o[QStringLiteral("hex")] = HexDigits(shown);
        out(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
        return kExitOk;
    }
    out(QStringLiteral("file: %1\nstatus: 0x%2\n")
            .arg(context.brandNew ? QStringLiteral("(brand new)") : context.arguments.first())
            .arg(model.record().status, 4, 16, QLatin1Char('0')));
    PrintControls(model);
    PrintHex(shown);
    return kExitOk;
}

} // namespace lvx::cli
