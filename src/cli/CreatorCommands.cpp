#include "cli/CreatorCommands.h"

#include "creator/CreatorControls.h"
#include "creator/CreatorModel.h"
#include "creator/HexTableModel.h"
#include "edid/EdidFileIO.h"

#include <QDate>
#include <QJsonDocument>
#include <QJsonObject>

#include <optional>

namespace lvx::cli {

namespace {

// The controls whose values the command line reports and sets: the ones a user changes.
bool HoldsValue(const ControlSpec& spec) {
    return spec.kind == ControlKind::CheckBox || spec.kind == ControlKind::RadioButton ||
           spec.kind == ControlKind::Edit || spec.kind == ControlKind::ComboBox;
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
    const std::optional<EdidImage> image = ReadEdidFile(path);
    if (!image) {
        err(QStringLiteral("linkvex-cli %1: cannot open %2\n").arg(context.command, path));
        return false;
    }
    model.openImage(*image);
    return true;
}

QJsonObject ControlsJson(const CreatorModel& model) {
    QJsonObject controls;
    for (int id = 0; id < CreatorModel::controlCount(); ++id) {
        const ControlSpec& spec = CreatorModel::spec(id);
        if (!HoldsValue(spec)) {
            continue;
        }
        const ControlState& state = model.state(id);
        const QString name = QString::fromStdString(spec.name);
        switch (spec.kind) {
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
        const ControlSpec& spec = CreatorModel::spec(id);
        if (!HoldsValue(spec)) {
            continue;
        }
        const ControlState& state = model.state(id);
        text += QString::fromStdString(spec.name) + QStringLiteral(": ");
        switch (spec.kind) {
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

} // namespace

int RunCreatorLoad(const CliContext& context) {
    if (!CheckSource(context)) {
        return kExitUsage;
    }
    HexTableModel hex;
    CreatorModel model(hex);
    if (!LoadSource(context, model)) {
        return kExitFailure;
    }
    const EdidImage shown = hex.image();
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
