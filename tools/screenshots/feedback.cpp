// linkvex-feedback-shots OUTDIR: pictures of what the program tells the technician, taken
// against linkvex-devsim with the program's own message boxes: a Search that finds nothing,
// a session of work in the activity log, a lost connection, a firmware update that fails on a
// page and one that finishes. Run by tools/feedback-shots.sh under Xvfb, in a network
// namespace of its own (the Search also asks the network, on loopback).
#include "ShotSupport.h"
#include "app/CommanderWindow.h"
#include "app/MainWindow.h"
#include "app/WidgetPrompt.h"
#include "edid/EdidControllerTool.h"
#include "protocol/PumpDelay.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cstdio>
#include <deque>
#include <memory>

namespace {

QDir g_out;

bool Save(QWidget* window, const QString& name) {
    return shots::SavePicture(window, g_out.filePath(name));
}

// The program's own dialogs are answered as they show (a message with OK, a question with
// OK), each photographed first under the next name given; the file dialogs are answered from a
// list, unseen.
using shots::Devsim;

class GrabbingPrompt : public lvx::WidgetPrompt {
public:
    explicit GrabbingPrompt(const QString& settings) : WidgetPrompt(nullptr, settings) {
        // Some windows make their own boxes: a timer answers whatever modal box is up.
        answerer_.setInterval(400);
        QObject::connect(&answerer_, &QTimer::timeout, [this] { answer(); });
        answerer_.start();
    }

    std::deque<std::string> files;
    QStringList names; // the picture of each dialog in turn; "" for none

    std::string openFileNameFor(lvx::FileKind, const std::string&) override { return next(); }
    std::string openFileName(const std::string&) override { return next(); }
    std::string saveFileNameFor(lvx::FileKind, const std::string&, const std::string&) override {
        return next();
    }
    std::string saveFileName(const std::string&, const std::string&) override { return next(); }

private:
    std::string next() {
        std::string file;
        if (!files.empty()) {
            file = files.front();
            files.pop_front();
        }
        return file;
    }
    void answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) {
            return;
        }
        const QString name = names.isEmpty() ? QString() : names.takeFirst();
        if (!name.isEmpty()) {
            Save(box, name);
        }
        QAbstractButton* ok = box->button(QMessageBox::Ok);
        (ok != nullptr ? ok : box->buttons().value(0))->click();
    }

    QTimer answerer_;
};

// A firmware image for target 1A2B, product 2037, version 3.10, its header at 512.
QByteArray FirmwareFile(int size) {
    QByteArray file(size, '\0');
    for (int i = 0; i < size; ++i) {
        file[i] = static_cast<char>(i * 31 + 7);
    }
    const QByteArray header = QByteArray("FW VER:x") + QByteArray("3.10\0\0\0\0", 8) + "1A2B2037";
    file.replace(512, header.size(), header);
    return file;
}

struct Scene {
    QTemporaryDir work;
    GrabbingPrompt prompt{work.filePath(QStringLiteral("settings.ini"))};
    std::unique_ptr<lvx::MainWindow> window;

    bool open(const QStringList& ports, bool network) {
        window.reset();
        lvx::AppOptions options;
        options.ports = ports;
        options.loopback = true;
        options.settingsFile = work.filePath(QStringLiteral("settings.ini"));
        window = std::make_unique<lvx::MainWindow>(options, &prompt);
        if (network && !window->start()) {
            return false;
        }
        window->controller().ethernet = network;
        window->move(40, 40);
        window->show();
        window->search();
        lvx::PumpDelay(300);
        return true;
    }
};

bool EmptySearch(Scene& scene) {
    Devsim silent({QStringLiteral("--silent")});
    const QString missing = QStringLiteral("/dev/ttyUSB7");
    return scene.open({missing, silent.path()}, true) &&
           Save(scene.window.get(), QStringLiteral("feedback-empty-search.png"));
}

bool SessionAndLoss(Scene& scene) {
    const QString edid = QStringLiteral(LVX_SOURCE_DIR "/tests/data/edid/A2E567512AB1.bin");
    Devsim device({QStringLiteral("--counts"), QStringLiteral("2,1,4,8,3"),
                   QStringLiteral("--product"), QStringLiteral("Lab Switch")});
    if (!scene.open({device.path()}, false) || scene.window->controller().devices().count != 1) {
        return false;
    }
    scene.window->selectRow(1);
    lvx::PumpDelay(300);
    const QString saved = scene.work.filePath(QStringLiteral("tv.bin"));
    scene.prompt.files = {saved.toStdString(), edid.toStdString()};
    scene.prompt.names = {QStringLiteral("feedback-upload-question.png")};
    scene.window->edidTool().save({lvx::NodeKind::Input, 0}, scene.prompt);
    scene.window->edidTool().upload({lvx::NodeKind::User, 1}, scene.prompt);
    lvx::PumpDelay(1600);
    bool ok = Save(scene.window.get(), QStringLiteral("feedback-session.png"));
    scene.prompt.names = {QStringLiteral("feedback-connection-lost.png")};
    device.stop();
    QElapsedTimer clock;
    clock.start();
    while (scene.window->controller().devices().count > 0 && clock.elapsed() < 10000) {
        lvx::PumpDelay(50);
    }
    lvx::PumpDelay(1500);
    ok = Save(scene.window.get(), QStringLiteral("feedback-after-loss.png")) && ok;
    return ok;
}

bool Firmware(Scene& scene, const QStringList& fault, const QString& shot) {
    Devsim loader(QStringList{QStringLiteral("--isp"), QStringLiteral("091")} + fault);
    if (!scene.open({loader.path()}, false) || scene.window->controller().devices().count != 1) {
        return false;
    }
    scene.window->selectRow(1);
    lvx::CommanderWindow* commander = scene.window->commanderWindow();
    commander->activate(QStringLiteral("System"));
    lvx::PumpDelay(300);
    const QString path = scene.work.filePath(QStringLiteral("fw-3.10.bin"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(FirmwareFile(5000));
    file.close();
    scene.prompt.files = {path.toStdString()};
    commander->findChild<QToolButton*>(QStringLiteral("SpeedButton_OpenFw"))->click();
    scene.prompt.names = {shot + QStringLiteral("-question.png"), shot + QStringLiteral(".png")};
    commander->findChild<QToolButton*>(QStringLiteral("SpeedButton_UpdateFw"))->click();
    lvx::PumpDelay(300);
    return Save(commander, shot + QStringLiteral("-tab.png"));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Linkvex"));
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fputs("usage: linkvex-feedback-shots OUTDIR\n", stderr);
        return 2;
    }
    g_out = QDir(args.at(1));
    Scene scene;
    bool ok = EmptySearch(scene);
    ok = SessionAndLoss(scene) && ok;
    ok = Firmware(scene, {QStringLiteral("--check-wrong"), QStringLiteral("1:all")},
                  QStringLiteral("feedback-firmware-failed")) &&
         ok;
    ok = Firmware(scene, {}, QStringLiteral("feedback-firmware-done")) && ok;
    scene.window.reset();
    return ok ? 0 : 1;
}
