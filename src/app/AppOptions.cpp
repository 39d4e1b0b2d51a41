#include "app/AppOptions.h"

#include "common/Version.h"

#include <QCommandLineParser>

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

} // namespace lvx
