// linkvex-screenshots OUTDIR [--network]: the README's pictures of the program, taken against
// linkvex-devsim: the main window after a Search, the Commander window of the selected
// device, and the analyzer of its first input's EDID. Run by tools/screenshots.sh under Xvfb.
#include "ShotSupport.h"
#include "app/AnalyzerWindow.h"
#include "app/CommanderWindow.h"
#include "app/DeviceGrid.h"
#include "app/EdidControllerTab.h"
#include "app/MainWindow.h"
#include "app/SiteApplyDialog.h"
#include "common/Prompt.h"
#include "protocol/PumpDelay.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QToolButton>

#include <cstdio>

namespace {

// No dialog opens while the pictures are taken.
class SilentPrompt : public lvx::Prompt {
public:
    std::string openFileName(const std::string&) override { return {}; }
    std::string saveFileName(const std::string&, const std::string&) override { return {}; }
    void message(const std::string&, const std::string&) override {}
    bool confirm(const std::string&, const std::string&) override { return false; }
};

int Fail(const QString& text) {
    std::fprintf(stderr, "linkvex-screenshots: %s\n", qPrintable(text));
    return 1;
}

template <typename Done>
bool WaitFor(Done done, int ms) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) {
            return false;
        }
        lvx::PumpDelay(20);
    }
    return true;
}

bool Save(QWidget* window, const QString& path) {
    return shots::SavePicture(window, path);
}

// File > Apply Site File... with the dry run of a site file that changes one user slot and
// one input's source of the serial device.
bool SaveSiteDryRun(lvx::MainWindow& window, const QTemporaryDir& work, const QString& port,
                    const QString& path) {
    const QString edids = QStringLiteral(LVX_SOURCE_DIR "/tests/data/edid");
    QFile site(work.filePath(QStringLiteral("site.yaml")));
    if (!site.open(QIODevice::WriteOnly)) {
        return false;
    }
    site.write(QStringLiteral("edids: %1\n"
                              "devices:\n"
                              "  - name: rack-1\n"
                              "    port: %2\n"
                              "    nodes:\n"
                              "      input1: A2E567512AB1.bin\n"
                              "      user2: 00495CE9E498.bin\n"
                              "    modes:\n"
                              "      input1: user2\n")
                   .arg(edids, port)
                   .toUtf8());
    site.close();
    lvx::SiteApplyDialog* dialog = window.siteDialog();
    if (!dialog->load(site.fileName())) {
        return false;
    }
    dialog->move(60, 80);
    lvx::PumpDelay(200);
    const bool saved = Save(dialog, path);
    dialog->close();
    return saved;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Linkvex"));
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fputs("usage: linkvex-screenshots OUTDIR [--network]\n", stderr);
        return 2;
    }
    const QDir out(args.at(1));
    const bool network = args.contains(QStringLiteral("--network"));
    const QString edid = QStringLiteral(LVX_SOURCE_DIR "/tests/data/edid/A2E567512AB1.bin");

    QTemporaryDir work;
    QJsonObject serial{{"model", "QEM-2"}, {"productString", "EDID Management"},
                       {"inputs", 4},      {"outputs", 2},
                       {"users", 4},       {"internals", 8},
                       {"channels", 0},    {"edids", QJsonObject{{"input1", edid}}}};
    QJsonObject config{{"serial", serial}};
    if (network) {
        const QJsonObject one{{"mac", "00:11:22:33:44:55"}, {"ip", "192.168.1.10"},
                              {"productName", "LVX-NET"},   {"description", "EDID Manager"},
                              {"productId", "2037"},        {"pid", "2037"}};
        const QJsonObject two{{"mac", "00:11:22:33:44:66"}, {"ip", "192.168.1.11"},
                              {"productName", "LVX-AUDIO"}, {"description", "Audio Decoder"},
                              {"productId", "1001"},        {"pid", "1001"}};
        config["network"] = QJsonObject{{"loopback", true}, {"devices", QJsonArray{one, two}}};
    }
    QFile file(work.filePath("devsim.json"));
    if (!file.open(QIODevice::WriteOnly)) {
        return Fail(QStringLiteral("cannot write %1").arg(file.fileName()));
    }
    file.write(QJsonDocument(config).toJson());
    file.close();

    shots::Devsim devsim({QStringLiteral("--config"), file.fileName()});
    const QString port = devsim.path();
    if (port.isEmpty()) {
        return Fail(QStringLiteral("linkvex-devsim does not start"));
    }

    SilentPrompt prompt;
    lvx::AppOptions options;
    options.ports = {port};
    options.loopback = true;
    lvx::MainWindow window(options, &prompt);
    if (network) {
        if (!window.start()) {
            return Fail(QStringLiteral("UDP port 31002 is taken"));
        }
    } else {
        window.controller().ethernet = false;
    }
    window.move(40, 40);
    window.show();
    window.search();
    const int expected = network ? 3 : 1;
    WaitFor([&] { return window.controller().devices().count >= expected; }, 3000);
    lvx::PumpDelay(300);

    int serialRow = 0;
    for (int r = 1; r < window.grid()->rowCount(); ++r) {
        const QTableWidgetItem* item = window.grid()->item(r, 1);
        if (item != nullptr && item->text() == port) {
            serialRow = r;
        }
    }
    if (serialRow == 0) {
        return Fail(QStringLiteral("the simulated serial device is not listed"));
    }
    window.selectRow(serialRow);
    window.grid()->setFocus();
    lvx::CommanderWindow* commander = window.commanderWindow();
    commander->move(window.frameGeometry().right() + 20, 40);
    lvx::PumpDelay(200);
    bool ok = Save(&window, out.filePath(QStringLiteral("main-window.png")));
    ok = Save(commander, out.filePath(QStringLiteral("commander.png"))) && ok;

    commander->edidTab()->nodeList()->setCurrentIndex(0);
    commander->edidTab()->analysisButton()->click();
    lvx::AnalyzerWindow* analyzer = window.analyzerWindow();
    if (!WaitFor([&] { return analyzer->isVisible(); }, 5000)) {
        return Fail(QStringLiteral("the analyzer does not show"));
    }
    lvx::PumpDelay(200);
    ok = Save(analyzer, out.filePath(QStringLiteral("analyzer.png"))) && ok;
    ok = SaveSiteDryRun(window, work, port, out.filePath(QStringLiteral("site-apply.png"))) && ok;

    window.disconnectDevices();
    devsim.stop();
    return ok ? 0 : 1;
}
