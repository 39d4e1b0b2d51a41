// The program's manners on a desktop: windows placed by their rules stay on a 1024 x 768
// screen, the device list works from the keyboard, and each kind of file dialog starts in
// the folder last used for it.
#include "app/AnalyzerView.h"
#include "app/AnalyzerWindow.h"
#include "app/CommanderWindow.h"
#include "app/DeviceGrid.h"
#include "app/MainWindow.h"
#include "app/RecentFolders.h"
#include "app/WidgetPrompt.h"
#include "edid/AnalyzerReport.h"
#include "support/Processes.h"
#include "support/RecordingPrompt.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using namespace lvx;
using namespace lvx::test;

namespace {

// Dark pixels on the line just inside the top of a device list row: the keyboard's dotted
// frame, which a plain white row does not have.
int DarkPixelsAtTopOf(DeviceGrid* grid, int row) {
    const QImage image = grid->viewport()->grab().toImage();
    const int y = grid->visualRect(grid->model()->index(row, 0)).top() + 1;
    int dark = 0;
    for (int x = 0; x < image.width(); ++x) {
        if (image.pixelColor(x, y).lightness() < 60) {
            ++dark;
        }
    }
    return dark;
}

QRect Area() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// Answers the next file dialog: notes the folder it shows, then picks `path` (or cancels
// with an empty one).
class DialogAnswer {
public:
    explicit DialogAnswer(const QString& path) {
        timer_.setInterval(10);
        QObject::connect(&timer_, &QTimer::timeout, [this, path] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr) {
                return;
            }
            // The dialog settles (its folder loads, its first name is set) after it shows:
            // answer from the next tick on, and again while it stays open.
            if (!seen_) {
                seen_ = true;
                folder = dialog->directory().absolutePath();
                return;
            }
            if (path.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->selectFile(path);
            if (auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
                name->setText(QFileInfo(path).fileName());
            }
            QMetaObject::invokeMethod(dialog, "accept");
        });
        timer_.start();
    }
    QString folder;

private:
    QTimer timer_;
    bool seen_ = false;
};

} // namespace

class DesktopMannersTest : public QObject {
    Q_OBJECT

    // Shows an analysis with the Commander window at `commander`, the analyzer far away
    // first so that the rule moves it.
    QRect analyzerFrameBeside(QPoint commander) {
        QWidget commanderWindow;
        commanderWindow.move(commander);
        analyzer_->move(5000, 5000);
        EdidRecord record;
        analyzer_->showAnalysis(view_, BuildAnalyzerReport(record), &commanderWindow);
        return analyzer_->frameGeometry();
    }

private slots:
    void initTestCase() {
        QCOMPARE(Area(), QRect(0, 0, 1024, 768));
        analyzer_ = std::make_unique<AnalyzerWindow>();
        view_ = new AnalyzerView;
    }

    void analyzerStaysOnScreenAtEachEdge() {
        // Its rule: the Commander window's top, its left edge + 465.
        QRect frame = analyzerFrameBeside({700, 100}); // right edge
        QVERIFY(Area().contains(frame));
        QCOMPARE(frame.right(), Area().right());
        QCOMPARE(frame.top(), 100);

        frame = analyzerFrameBeside({-700, 100}); // left edge: the rule gives x = -235
        QVERIFY(Area().contains(frame));
        QCOMPARE(frame.left(), 0);
        QCOMPARE(frame.top(), 100);

        frame = analyzerFrameBeside({100, -150}); // top edge
        QVERIFY(Area().contains(frame));
        QCOMPARE(frame.top(), 0);
        QCOMPARE(frame.left(), 565);

        frame = analyzerFrameBeside({100, 600}); // bottom edge
        QVERIFY(Area().contains(frame));
        QCOMPARE(frame.bottom(), Area().bottom());
        QCOMPARE(frame.left(), 565);

        // Where the rule's place is on screen, it is taken as it is.
        frame = analyzerFrameBeside({50, 120});
        QCOMPARE(frame.topLeft(), QPoint(515, 120));
        analyzer_->close();
    }

    void commanderStaysOnScreenBesideAMainWindowNearTheCorner() {
        QWidget mainWindow;
        mainWindow.move(900, 600);
        CommanderWindow commander;
        commander.move(-3000, 0);
        // No room right of the main window: left of it, 8 pixels apart, tops aligned and then
        // kept on screen.
        commander.showNear(&mainWindow);
        QVERIFY(Area().contains(commander.frameGeometry()));
        QCOMPARE(commander.frameGeometry().right(), 900 - 8 - 1);
        QCOMPARE(commander.frameGeometry().bottom(), Area().bottom());
        QCOMPARE(mainWindow.pos(), QPoint(900, 600));

        // The Multi-COM size is larger than the screen: the window takes the whole screen
        // (its page scrolls), its title bar in reach.
        commander.activate(QStringLiteral(" Multi-COM "));
        QCOMPARE(commander.frameGeometry(), Area());
        commander.close();
    }

    void aboutBoxStaysOnScreen() {
        RecordingPrompt prompt;
        MainWindow window(AppOptions{}, &prompt);
        window.show();
        window.move(700, 560);
        window.findChild<QAction*>(QStringLiteral("About2"))->trigger();
        auto* box = window.findChild<QMessageBox*>(QStringLiteral("AboutBox"));
        QVERIFY(box);
        // Its rule puts it at 910, 730: past both the right and the bottom edge.
        QVERIFY(Area().contains(box->frameGeometry()));
        QCOMPARE(box->frameGeometry().bottomRight(), Area().bottomRight());
        box->close();
    }

    void deviceListFromTheKeyboard() {
        // A loader-mode port is listed and the Search goes on: two rows.
        Devsim loader({"--isp", "091", "--model", "QX-AE118"});
        Devsim device({"--counts", "2,1,4,8,0"});
        RecordingPrompt prompt;
        AppOptions options;
        options.ports = {loader.path(), device.path()};
        MainWindow window(options, &prompt);
        window.controller().ethernet = false;
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        DeviceGrid* grid = window.grid();
        QCOMPARE(grid->highlightedRow(), 0); // nothing listed
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->highlightedRow(), 0);

        window.search();
        QCOMPARE(window.controller().devices().count, 2);
        grid->setFocus();
        QVERIFY(grid->hasFocus());
        // The keyboard starts on the first device.
        QCOMPARE(grid->highlightedRow(), 1);
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->highlightedRow(), 2);
        // The highlight shows where it is, and only there.
        QVERIFY(DarkPixelsAtTopOf(grid, 2) > 50);
        QCOMPARE(DarkPixelsAtTopOf(grid, 1), 0);
        // Neither the empty row below the devices nor the header row.
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->highlightedRow(), 2);
        QTest::keyClick(grid, Qt::Key_Up);
        QTest::keyClick(grid, Qt::Key_Up);
        QCOMPARE(grid->highlightedRow(), 1);
        QTest::keyClick(grid, Qt::Key_End);
        QCOMPARE(grid->highlightedRow(), 2);
        QTest::keyClick(grid, Qt::Key_Home);
        QCOMPARE(grid->highlightedRow(), 1);
        // Moving the highlight selects nothing.
        QCOMPARE(grid->selectedRow(), 0);
        QVERIFY(!window.commanderWindow()->isVisible());

        // Enter chooses as a click does: the device is selected and its tabs show.
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Return);
        QCOMPARE(window.controller().devices().selected, 1);
        QCOMPARE(grid->selectedRow(), 2);
        QCOMPARE(grid->cellColour(2), QColor(0, 255, 255));
        QVERIFY(window.commanderWindow()->isVisible());
        // The keypad's Enter too, on the loader-mode device.
        QTest::keyClick(grid, Qt::Key_Up);
        QTest::keyClick(grid, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(window.controller().devices().selected, 0);
        QCOMPARE(grid->selectedRow(), 1);

        // Tab leaves the list instead of walking its cells.
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key_Tab);
        QVERIFY(!grid->hasFocus());
        window.disconnectDevices();
        QCOMPARE(grid->highlightedRow(), 0);
    }

    void fileDialogsStartInTheFolderLastUsedForTheirKind() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString settings = dir.filePath("config/linkvex.conf");
        auto folder = [&](const char* name) {
            QDir(dir.path()).mkpath(name);
            return QDir(dir.filePath(name)).absolutePath();
        };
        const QString edids = folder("edids");
        const QString saved = folder("saved");
        const QString firmware = folder("firmware");
        const QString logs = folder("logs");
        QFile tv(edids + "/tv.bin");
        QVERIFY(tv.open(QIODevice::WriteOnly));
        tv.close();
        QFile image(firmware + "/fw.bin");
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.close();
        const std::string bin = "EDID (*.bin)|*.bin";

        {
            WidgetPrompt prompt(nullptr, settings);
            {
                DialogAnswer answer(edids + "/tv.bin");
                QCOMPARE(QString::fromStdString(prompt.openFileName(bin)), edids + "/tv.bin");
                QCOMPARE(answer.folder, QDir::homePath()); // nothing used yet
            }
            {
                // The save dialog of the same kind starts there, with the proposed name.
                DialogAnswer answer(saved + "/Input 1.bin");
                QCOMPARE(
                    QString::fromStdString(prompt.saveFileNameFor(FileKind::Edid, bin, "Input 1")),
                    saved + "/Input 1.bin");
                QCOMPARE(answer.folder, edids);
            }
            {
                DialogAnswer answer{QString()}; // cancelled: the folder stays
                QCOMPARE(prompt.openFileNameFor(FileKind::Edid, bin), std::string());
                QCOMPARE(answer.folder, saved);
            }
            {
                // Firmware has a folder of its own, not the EDID one.
                DialogAnswer answer(firmware + "/fw.bin");
                QCOMPARE(QString::fromStdString(prompt.openFileNameFor(FileKind::Firmware, bin)),
                         firmware + "/fw.bin");
                QCOMPARE(answer.folder, QDir::homePath());
            }
            {
                DialogAnswer answer(logs + "/channel1.txt");
                prompt.saveFileNameFor(FileKind::Log, "Log (*.txt)|*.txt", "channel1");
                QCOMPARE(answer.folder, QDir::homePath());
            }
        }
        // The next run starts each kind where the last one left it.
        WidgetPrompt later(nullptr, settings);
        const std::pair<FileKind, QString> expected[] = {
            {FileKind::Edid, saved}, {FileKind::Firmware, firmware}, {FileKind::Log, logs}};
        for (const auto& [kind, where] : expected) {
            DialogAnswer answer{QString()};
            later.openFileNameFor(kind, bin);
            QCOMPARE(answer.folder, where);
        }
        QCOMPARE(later.folders().lastFolder(FileKind::Edid), saved);
    }

    void cleanupTestCase() { analyzer_.reset(); }

private:
    std::unique_ptr<AnalyzerWindow> analyzer_;
    AnalyzerView* view_ = nullptr;
};

QTEST_MAIN(DesktopMannersTest)
#include "DesktopMannersTest.moc"
