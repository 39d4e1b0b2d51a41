#include "app/AppOptions.h"

#include "common/Version.h"

#include <QCommandLineParser>
#include <QRegularExpression>

namespace lvx {

namespace {

struct Parser {
    QCommandLineParser parser;
    const QCommandLineOption port{QStringLiteral("port"),
                                  QStringLiteral("Search exactly this serial port (repeatable)."),
                                  QStringLiteral("path")};
    const QCommandLineOption loopback{
        QStringLiteral("loopback"),
        QStringLiteral("Keep the network endpoints on loopback (tests and demos).")};
    const QCommandLineOption search{QStringLiteral("search"),
                                    QStringLiteral("Search right after start-up.")};
    const QCommandLineOption verbose{
        QStringLiteral("verbose"),
        QStringLiteral("Print each line of the activity log on standard error.")};
    const QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Print this text.")};
    const QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Print the version.")};

    Parser() {
        // "-stylesheet" or "-reverse" (Qt's) must not read as -h or -v run together.
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOptions({port, loopback, search, verbose, help, version});
    }
};

// The options QApplication takes for itself (with one dash or two).
const QStringList& QtOwnOptions() {
    static const QStringList options = {
        QStringLiteral("platform"),
        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),
        QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"),
        QStringLiteral("qwindowtitle"),
        QStringLiteral("qmljsdebugger"),
        QStringLiteral("display"),
        QStringLiteral("geometry"),
        QStringLiteral("name"),
        QStringLiteral("title"),
        QStringLiteral("visual"),
        QStringLiteral("ncols"),
        QStringLiteral("cmap"),
        QStringLiteral("im"),
        QStringLiteral("inputstyle"),
        QStringLiteral("style"),
        QStringLiteral("stylesheet"),
        QStringLiteral("session"),
        QStringLiteral("widgetcount"),
        QStringLiteral("reverse"),
        QStringLiteral("nograb"),
        QStringLiteral("dograb"),
        QStringLiteral("sync"),
        QStringLiteral("dialogs"),
        QStringLiteral("fontengine"),
        QStringLiteral("testability"),
        QStringLiteral("graphicssystem"),
        QStringLiteral("fn"),
        QStringLiteral("font"),
        QStringLiteral("bg"),
        QStringLiteral("background"),
        QStringLiteral("fg"),
        QStringLiteral("foreground"),
        QStringLiteral("btn"),
        QStringLiteral("button"),
        QStringLiteral("qdevel"),
        QStringLiteral("nocrashhandler"),
        QStringLiteral("psn"),
    };
    return options;
}

} // namespace

QString AppOptions::HelpText() {
    return QStringLiteral(
        "Usage: linkvex [options]\n"
        "\n"
        "The desktop program for HDMI devices (EDID managers, audio decoders, inserters and\n"
        "extractors, HDBaseT transmitters) on a COM port or the local network: Search lists\n"
        "them; the selected device's EDIDs are saved, uploaded, analyzed and created.\n"
        "\n"
        "Options:\n"
        "  --port PATH     search exactly this serial port (repeatable, in order)\n"
        "  --loopback      keep the network endpoints on loopback (tests and demos)\n"
        "  --search        search right after start-up\n"
        "  --verbose       print each line of the activity log on standard error\n"
        "  -h, --help      print this text\n"
        "  -v, --version   print the version\n"
        "\n"
        "Qt's own options (-platform, -display, -style, ...) are accepted too.\n"
        "Serial ports need membership of the group that owns them (often \"dialout\");\n"
        "the network devices answer on UDP port 31002. See linkvex(1) and linkvex-cli(1).\n");
}

QString AppOptions::VersionText() {
    return QStringLiteral("linkvex %1\n").arg(QLatin1String(kVersion));
}

AppOptions::EarlyAnswer AppOptions::AnswerBeforeStart(const QStringList& arguments) {
    const QStringList& qtOptions = QtOwnOptions();
    Parser p;
    EarlyAnswer answer;
    const bool parsed = p.parser.parse(arguments);
    if (p.parser.isSet(p.help)) {
        answer.exitCode = 0;
        answer.out = HelpText();
        return answer;
    }
    if (p.parser.isSet(p.version)) {
        answer.exitCode = 0;
        answer.out = VersionText();
        return answer;
    }
    if (!parsed) {
        const QStringList unknown = p.parser.unknownOptionNames();
        for (const QString& name : unknown) {
            if (!qtOptions.contains(name)) {
                answer.exitCode = 2;
                answer.err = QStringLiteral("linkvex: Unknown option '%1'.\nTry linkvex --help.\n")
                                 .arg(name);
                return answer;
            }
        }
        if (unknown.isEmpty()) {
            // A known option without its value.
            answer.exitCode = 2;
            answer.err =
                QStringLiteral("linkvex: %1\nTry linkvex --help.\n").arg(p.parser.errorText());
            return answer;
        }
    }
    return answer;
}

bool AppOptions::Parse(const QStringList& arguments, AppOptions& options, QString* error) {
    Parser p;
    if (!p.parser.parse(arguments)) {
        if (error) {
            *error = p.parser.errorText();
        }
        return false;
    }
    options.ports = p.parser.values(p.port);
    options.loopback = p.parser.isSet(p.loopback);
    options.search = p.parser.isSet(p.search);
    options.verbose = p.parser.isSet(p.verbose);
    return true;
}

QString AppOptions::NoDisplayReason(const QStringList& arguments,
                                    const QHash<QString, QString>& environment,
                                    const std::function<bool(const QString&)>& exists) {
    for (const QString& argument : arguments) {
        // The toolkit's -platform and -display choose for the user.
        for (const char* option : {"-platform", "--platform", "-display", "--display"}) {
            const QLatin1String name(option);
            if (argument == name || argument.startsWith(name + QLatin1Char('='))) {
                return {};
            }
        }
    }
    if (!environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty()) {
        return {};
    }
    const QString wayland = environment.value(QStringLiteral("WAYLAND_DISPLAY"));
    if (!wayland.isEmpty()) {
        const QString runtime = environment.value(QStringLiteral("XDG_RUNTIME_DIR"));
        const QString socket =
            wayland.startsWith(QLatin1Char('/')) ? wayland : runtime + QLatin1Char('/') + wayland;
        if (exists(socket)) {
            return {};
        }
    }
    const QString display = environment.value(QStringLiteral("DISPLAY"));
    if (display.isEmpty()) {
        return wayland.isEmpty()
                   ? QStringLiteral("no display: DISPLAY and WAYLAND_DISPLAY are not set "
                                    "(start linkvex in a desktop session; linkvex-cli needs none)")
                   : QStringLiteral("no display: the Wayland display %1 is not there and "
                                    "DISPLAY is not set")
                         .arg(wayland);
    }
    // A local X display (":0", ":1.0", "unix:0") has its socket in /tmp/.X11-unix; a display
    // on another host cannot be checked here and is left to the toolkit.
    static const QRegularExpression local(QStringLiteral("^(unix)?:(\\d+)(\\.\\d+)?$"));
    const QRegularExpressionMatch match = local.match(display);
    if (match.hasMatch() && !exists(QStringLiteral("/tmp/.X11-unix/X") + match.captured(2))) {
        return QStringLiteral("no display: the X display %1 is not running").arg(display);
    }
    return {};
}

} // namespace lvx
