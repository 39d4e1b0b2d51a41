#include "cli/CliOptions.h"

#include <QCommandLineParser>

namespace lvx::cli {

namespace {

// The column where an option's description starts.
constexpr int kTextColumn = 30;

CliOption Flag(QStringList names, bool CliContext::*field, QString synopsis, QString text) {
    return {std::move(names), QString(), field, std::move(synopsis), std::move(text)};
}

template <typename Field>
CliOption Value(QStringList names, QString valueName, Field field, QString synopsis, QString text) {
    return {std::move(names), std::move(valueName), field, std::move(synopsis), std::move(text)};
}

QString L(const char* text) {
    return QString::fromLatin1(text);
}

// The table itself: data, one entry per option.
std::vector<CliOption> MakeOptions() {
    using C = CliContext;
    return {
        Value({L("port")}, L("path"), &C::ports, L("--port PATH"),
              L("search exactly this port (repeatable, in order)")),
        Flag({L("no-ethernet")}, &C::noEthernet, L("--no-ethernet"),
             L("do not search the network")),
        Flag({L("no-serial")}, &C::noSerial, L("--no-serial"), L("do not search the COM ports")),
        Value({L("mac")}, L("mac"), &C::mac, L("--mac MAC"),
              L("the network device to work with (00:11:22:33:44:55)")),
        Value({L("node")}, L("node"), &C::node, L("--node NODE"),
              L("the EDID node (read-edid, write-edid, creator-write)")),
        Value({L("o"), L("output")}, L("file"), &C::output, L("-o, --output FILE"),
              L("the file to save (read-edid, creator-build; \".bin\" is added\nwhen missing)")),
        Value({L("input")}, L("n"), &C::input, L("--input N"),
              L("the input (get-mode, set-mode; 1 when not given)")),
        Value({L("connector")}, L("name"), &C::connector, L("--connector NAME"),
              L("the display connector (monitors)")),
        Flag({L("force")}, &C::force, L("--force"),
             L("restore a backup of another model, other counts or an\nincomplete one")),
        Value({L("channel")}, L("A-G"), &C::channels, L("--channel A-G"),
              L("a serial channel (multicom: repeatable; all when not given)")),
        Value({L("seconds")}, L("n"), &C::seconds, L("--seconds N"),
              L("how long multicom shows the channels (until Ctrl+C if not given)")),
        Value({L("log")}, L("file"), &C::logFile, L("--log FILE"),
              L("multicom also writes what it shows to FILE")),
        Value({L("baud")}, L("n"), &C::baud, L("--baud N, --data N, --parity P"),
              L("the settings multicom-config sends")),
        Value({L("data")}, L("n"), &C::dataBits, QString(), QString()),
        Value({L("parity")}, L("p"), &C::parity, QString(), QString()),
        Flag({L("loopback")}, &C::loopback, L("--loopback"),
             L("keep the network endpoints on loopback (tests, demos)")),
        Flag({L("brand-new")}, &C::brandNew, L("--brand-new"),
             L("creator: start from the brand-new template")),
        Value({L("date")}, L("date"), &C::date, L("--date YYYY-MM-DD"),
              L("creator: the day a brand-new EDID is made (today otherwise)")),
        Value({L("set")}, L("name=value"), &C::sets, L("--set NAME=VALUE"),
              L("creator: a control's new value, applied through its rule (check\nboxes 1 or 0, "
                "edits their text, preset lists an item index)")),
        Flag({L("json")}, &C::json, L("--json"), L("print JSON")),
        Flag({L("full")}, &C::full, L("--full"),
             L("analyze: the whole decode instead of the analyzer's facts")),
        Flag({L("yes")}, &C::yes, L("--yes"), L("do not ask before fw-update or factory-default")),
        Value({L("mode")}, L("mode"), &C::ipMode,
              L("--mode static|dhcp, --ip A.B.C.D, --mask A.B.C.D, --gateway A.B.C.D, --dns "
                "A.B.C.D,\n--web-port N, --telnet-port N"),
              L("SETTINGS of ip-config: only these change")),
        Value({L("ip")}, L("address"), &C::ip, QString(), QString()),
        Value({L("mask")}, L("address"), &C::mask, QString(), QString()),
        Value({L("gateway")}, L("address"), &C::gateway, QString(), QString()),
        Value({L("dns")}, L("address"), &C::dns, QString(), QString()),
        Value({L("web-port")}, L("n"), &C::webPort, QString(), QString()),
        Value({L("telnet-port")}, L("n"), &C::telnetPort, QString(), QString()),
        Flag({L("trace")}, &C::trace, L("--trace"),
             L("print the protocol trace to standard error")),
        Flag({L("h"), L("help")}, &C::help, L("-h, --help"), L("this text")),
        Flag({L("v"), L("version")}, &C::version, L("-v, --version"), L("the version")),
    };
}

// Lines after the first, each led by `indent`.
QString Indented(const QString& text, const QString& indent) {
    QString lines = text;
    return lines.replace(QLatin1Char('\n'), QLatin1Char('\n') + indent);
}

} // namespace

QCommandLineOption CliOption::option() const {
    return valueName.isEmpty() ? QCommandLineOption(names)
                               : QCommandLineOption(names, QString(), valueName);
}

const std::vector<CliOption>& CliOptions() {
    static const std::vector<CliOption> options = MakeOptions();
    return options;
}

QString OptionsUsage() {
    const QString column(kTextColumn, QLatin1Char(' '));
    QString usage;
    for (const CliOption& o : CliOptions()) {
        if (o.text.isEmpty()) {
            continue;
        }
        QString left = QStringLiteral("  ") + Indented(o.synopsis, QStringLiteral("  "));
        if (o.synopsis.contains(QLatin1Char('\n'))) {
            left += QLatin1Char('\n') + column;
        } else if (left.size() < kTextColumn) {
            left = left.leftJustified(kTextColumn);
        } else {
            left += QStringLiteral("   ");
        }
        usage += left + Indented(o.text, column) + QLatin1Char('\n');
    }
    return usage;
}

void AddCliOptions(QCommandLineParser& parser) {
    for (const CliOption& o : CliOptions()) {
        parser.addOption(o.option());
    }
}

void ReadCliOptions(const QCommandLineParser& parser, CliContext& context) {
    for (const CliOption& o : CliOptions()) {
        const QString& name = o.names.constLast();
        if (const auto* flag = std::get_if<bool CliContext::*>(&o.field)) {
            context.** flag = parser.isSet(name);
        } else if (const auto* text = std::get_if<QString CliContext::*>(&o.field)) {
            context.** text = parser.value(name);
        } else if (const auto* list = std::get_if<QStringList CliContext::*>(&o.field)) {
            context.** list = parser.values(name);
        }
    }
}

} // namespace lvx::cli
