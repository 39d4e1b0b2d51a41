// The Tool menu's windows: Monitors of This PC on a made-up sysfs tree, Back Up and Restore
// Device against linkvex-devsim, and Compare EDIDs. With LVX_SCREENSHOTS set to a folder,
// each window is also saved there as a picture.
#include "app/AnalyzerWindow.h"
#include "app/BackupDialog.h"
#include "app/CommanderWindow.h"
#include "app/CompareWindow.h"
#include "app/EdidCreatorTab.h"
#include "app/MainWindow.h"
#include "app/MonitorsWindow.h"
#include "creator/EdidWorkImage.h"
#include "edid/CompareTool.h"
#include "edid/DeviceBackupTool.h"
#include "edid/EdidControllerTool.h"
#include "edid/EdidFileIO.h"
#include "edid/MonitorsTool.h"
#include "support/Processes.h"
#include "support/RecordingPrompt.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

using namespace lvx;
using namespace lvx::test;

namespace {

const QString kLg = QStringLiteral(LVX_CORPUS_DIR "/002959BBD30B.bin");
const QString kDell = QStringLiteral(LVX_CORPUS_DIR "/00495CE9E498.bin");

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

void Shoot(QWidget* window, const char* name) {
    const QString folder = qEnvironmentVariable("LVX_SCREENSHOTS");
    if (!folder.isEmpty()) {
        QTest::qWait(100);
        window->grab().save(folder + "/" + name + ".png");
    }
}

} // namespace

class BeyondWindowsTest : public QObject {
    Q_OBJECT

    void start(bool withDevice) {
        qputenv("LINKVEX_SYSFS_ROOT", sysfs_.path().toLocal8Bit());
        AppOptions options;
        if (withDevice) {
            device_ = std::make_unique<Devsim>(
                QStringList{"--counts", "2,1,4,8,0", "--edid", "input1=" + kLg});
            QVERIFY(!device_->path().isEmpty());
            options.ports = {device_->path()};
        }
        window_ = std::make_unique<MainWindow>(options, &prompt_);
        window_->controller().ethernet = false;
        window_->show();
        if (withDevice) {
            window_->search();
            QCOMPARE(window_->controller().devices().count, 1);
            window_->selectRow(1);
        }
    }

    QAction* item(const char* name) { return window_->findChild<QAction*>(name); }

    template <typename T>
    T* in(QWidget* w, const char* name) {
        T* found = w->findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr) {
            qWarning("no %s", name);
        }
        return found;
    }

private slots:
    void init() {
        const QString drm = sysfs_.filePath("class/drm");
        Write(drm + "/card0-HDMI-A-1/edid", FileBytes(kLg));
        Write(drm + "/card0-DP-1/edid", QByteArray());
        Write(drm + "/card0-DP-2/edid", FileBytes(kDell));
    }

    void cleanup() {
        window_.reset();
        device_.reset();
        qunsetenv("LINKVEX_SYSFS_ROOT");
    }

    void monitorsAreListedAnalysedCopiedSavedAndUploaded() {
        start(false);
        item("Monitors1")->trigger();
        MonitorsWindow* w = window_->monitorsWindow();
        QVERIFY(w && w->isVisible());
        QTreeWidget* list = w->list();
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->topLevelItem(0)->text(0), QString("DP-1"));
        QCOMPARE(list->topLevelItem(0)->text(1), QString("no EDID (empty)"));
        QCOMPARE(list->topLevelItem(2)->text(3), QString("LG ULTRAGEAR"));
        // A connector without an EDID offers nothing; without a device nothing is uploaded.
        list->setCurrentItem(list->topLevelItem(0));
        QVERIFY(!in<QPushButton>(w, "Button_Monitor_Analyze")->isEnabled());
        QVERIFY(!in<QPushButton>(w, "Button_Monitor_Save")->isEnabled());
        list->setCurrentItem(list->topLevelItem(2));
        QVERIFY(in<QPushButton>(w, "Button_Monitor_Analyze")->isEnabled());
        QVERIFY(!in<QPushButton>(w, "Button_Monitor_Upload")->isEnabled());
        QCOMPARE(w->targets()->count(), 0);

        QTest::mouseClick(in<QPushButton>(w, "Button_Monitor_Analyze"), Qt::LeftButton);
        QVERIFY(window_->analyzerWindow()->isVisible());
        QCOMPARE(in<QLabel>(window_->analyzerWindow(), "Label_Monitor_Name")->text(),
                 QString("LG ULTRAGEAR"));
        QTest::mouseClick(in<QPushButton>(w, "Button_Monitor_Copy"), Qt::LeftButton);
        const QByteArray lg = FileBytes(kLg);
        for (int offset = 0; offset < 256; ++offset) {
            QCOMPARE(int(window_->workImage().byteAt(offset)),
                     int(static_cast<unsigned char>(lg[offset])));
        }

        QTemporaryDir out;
        prompt_.saveAnswers = {out.filePath("monitor").toStdString()};
        QTest::mouseClick(in<QPushButton>(w, "Button_Monitor_Save"), Qt::LeftButton);
        QCOMPARE(prompt_.proposedNames.back(), std::string("HDMI-A-1 EDID"));
        QCOMPARE(FileBytes(out.filePath("monitor.bin")), lg);
        Shoot(w, "monitors");

        // A display with two extension blocks: listed, but the creator cannot take it.
        QByteArray three = lg + QByteArray(128, '\0');
        three[126] = 2;
        int sum = 0;
        for (int i = 0; i < 127; ++i) {
            sum += static_cast<unsigned char>(three[i]);
        }
        three[127] = static_cast<char>((256 - sum % 256) % 256);
        Write(sysfs_.filePath("class/drm/card0-DP-3/edid"), three);
        QTest::mouseClick(in<QPushButton>(w, "Button_Monitor_Refresh"), Qt::LeftButton);
        QCOMPARE(list->topLevelItemCount(), 4);
        QCOMPARE(list->currentItem()->text(0), QString("HDMI-A-1")); // the choice is kept
        list->setCurrentItem(list->topLevelItem(2));
        QCOMPARE(list->topLevelItem(2)->text(1), QString("ok"));
        QTest::mouseClick(in<QPushButton>(w, "Button_Monitor_Copy"), Qt::LeftButton);
        QCOMPARE(w->statusLabel()->text(), QString("Not copied: Edid Over Banks."));
        // Saved whole, all three blocks and nothing more.
        prompt_.saveAnswers = {out.filePath("three").toStdString()};
        QTest::mouseClick(in<QPushButton>(w, "Button_Monitor_Save"), Qt::LeftButton);
        QCOMPARE(FileBytes(out.filePath("three.bin")), three);
    }

    void aMonitorsEdidGoesToAUserSlot() {
        start(true);
        item("Monitors1")->trigger();
        MonitorsWindow* w = window_->monitorsWindow();
        w->list()->setCurrentItem(w->list()->topLevelItem(1)); // DP-2, the Dell
        QCOMPARE(w->targets()->count(), 7);                    // 2 inputs, a separator, 4 users
        // The separator gives way to the input above it.
        w->targets()->setCurrentIndex(2);
        QCOMPARE(w->targets()->currentIndex(), 1);
        w->targets()->setCurrentIndex(4); // User 2
        QVERIFY(in<QPushButton>(w, "Button_Monitor_Upload")->isEnabled());
        QTest::mouseClick(in<QPushButton>(w, "Button_Monitor_Upload"), Qt::LeftButton);
        QCOMPARE(w->statusLabel()->text(), QString("Uploaded to User 2."));
        // Read back from the device through the program's own Save.
        QTemporaryDir out;
        prompt_.saveAnswers = {out.filePath("user2.bin").toStdString()};
        QCOMPARE(window_->edidTool().save({NodeKind::User, 1}, prompt_),
                 EdidControllerTool::Outcome::Done);
        QCOMPARE(FileBytes(out.filePath("user2.bin")), FileBytes(kDell));
    }

    void backupAndRestoreFromTheToolMenu() {
        start(false);
        QVERIFY(!item("Backup1")->isEnabled());
        QVERIFY(!item("Restore1")->isEnabled());
        window_.reset();
        start(true);
        QVERIFY(item("Backup1")->isEnabled());

        QTemporaryDir out;
        const QString folder = out.filePath("backup");
        prompt_.directoryAnswers = {folder.toStdString()};
        item("Backup1")->trigger();
        BackupDialog* dialog = window_->backupDialog();
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->bar()->value(), dialog->bar()->maximum());
        QCOMPARE(dialog->steps()->blockCount(), 18); // 15 nodes, 2 modes, the manifest
        QVERIFY(dialog->closeButton()->isEnabled());
        QVERIFY(!dialog->cancelButton()->isEnabled());
        QCOMPARE(dialog->summaryLabel()->text(), QString("15 EDIDs and 2 modes saved."));
        QCOMPARE(FileBytes(folder + "/input1.bin"), FileBytes(kLg));
        QVERIFY(item("Backup1")->isEnabled());
        Shoot(dialog, "backup");
        dialog->accept();

        // Restore asks first, listing its steps.
        prompt_.directoryAnswers = {folder.toStdString()};
        prompt_.confirmAnswers = {true};
        item("Restore1")->trigger();
        QVERIFY(prompt_.messages.back().text.find("write user1.bin to user1") != std::string::npos);
        QCOMPARE(dialog->summaryLabel()->text(), QString("8 steps done."));
        QCOMPARE(dialog->steps()->blockCount(), 8);
        dialog->accept();

        // A damaged folder: told so, and no dialog runs.
        Write(folder + "/user1.bin", QByteArray(256, '\x01'));
        prompt_.directoryAnswers = {folder.toStdString()};
        const std::size_t messages = prompt_.messages.size();
        item("Restore1")->trigger();
        QCOMPARE(prompt_.messages.size(), messages + 1);
        QVERIFY(prompt_.messages.back().text.rfind("Nothing was sent.", 0) == 0);
        QVERIFY(!dialog->isVisible());

        // Cancel during a backup: the nodes not yet read are listed as not read.
        connect(&window_->backupTool(), &DeviceBackupTool::stepFinished, this,
                [dialog](const QString&, bool) {
                    if (dialog->steps()->blockCount() == 2) {
                        QTest::mouseClick(dialog->cancelButton(), Qt::LeftButton);
                    }
                });
        prompt_.directoryAnswers = {out.filePath("cancelled").toStdString()};
        item("Backup1")->trigger();
        QVERIFY(dialog->summaryLabel()->text().startsWith("The backup is incomplete (2 of 15"));
        QVERIFY(dialog->steps()->toPlainText().contains("not read: cancelled"));
        QVERIFY(!QFile::exists(out.filePath("cancelled/output1.bin")));
    }

    // "What will the build change?" in the creator: the EDID as loaded against its build.
    void creatorBuildIsComparedWithTheLoadedEdid() {
        start(false);
        CommanderWindow* c = window_->commanderWindow();
        EdidCreatorTab* creator = c->creatorTab();
        // A television's EDID (HDMI, ten VICs).
        prompt_.openAnswers = {LVX_CORPUS_DIR "/00495CE9E498.bin"};
        QTest::mouseClick(in<QToolButton>(creator, "SpeedButton_OpenEdid_Creator"), Qt::LeftButton);
        // Take away one VIC the EDID has: the build then differs in its video data block.
        QCheckBox* vic = nullptr;
        for (QCheckBox* box : creator->findChildren<QCheckBox*>()) {
            if (box->objectName().startsWith("CheckBox_VideoIdCode_") && box->isChecked() &&
                box->isEnabled()) {
                vic = box;
                break;
            }
        }
        QVERIFY(vic);
        vic->click();
        QTest::mouseClick(creator->compareButton(), Qt::LeftButton);
        CompareWindow* w = window_->compareWindow();
        QVERIFY(w && w->isVisible());
        QCOMPARE(in<QLabel>(w, "Label_Compare_NameA")->text(), QString("Loaded"));
        QCOMPARE(in<QLabel>(w, "Label_Compare_NameB")->text(), QString("Built"));
        QVERIFY(w->ranges()->topLevelItemCount() > 0);
        bool video = false;
        for (int i = 0; i < w->ranges()->topLevelItemCount(); ++i) {
            video = video || w->ranges()->topLevelItem(i)->text(1) == "Video Data Block";
        }
        QVERIFY(video);
    }

    void compareShowsBothSidesAndTheirDifferences() {
        start(false);
        item("Compare1")->trigger();
        CompareWindow* w = window_->compareWindow();
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->summary()->text(), QString("Open an EDID on each side."));

        QTemporaryDir dir;
        QByteArray changed = FileBytes(kLg);
        changed[149] = 97;
        int sum = 0;
        for (int i = 128; i < 255; ++i) {
            sum += static_cast<unsigned char>(changed[i]);
        }
        changed[255] = static_cast<char>((256 - sum % 256) % 256);
        Write(dir.filePath("changed.bin"), changed);
        prompt_.openAnswers = {kLg.toStdString(), dir.filePath("changed.bin").toStdString()};
        QTest::mouseClick(in<QPushButton>(w, "Button_Compare_OpenA"), Qt::LeftButton);
        QTest::mouseClick(in<QPushButton>(w, "Button_Compare_OpenB"), Qt::LeftButton);
        QCOMPARE(in<QLabel>(w, "Label_Compare_NameB")->text(), QString("changed.bin"));
        QVERIFY(w->summary()->text().startsWith("2 bytes differ; 1 of"));

        // Max Resolution is the sixth fact: marked, the others not.
        QCOMPARE(w->facts()->item(5, 1)->text(), QString("1080p@60Hz"));
        QCOMPARE(w->facts()->item(5, 2)->text(), QString("2160p@60Hz"));
        QCOMPARE(w->facts()->item(5, 0)->background().color(), CompareHexItems::differingColour());
        QVERIFY(w->facts()->item(0, 0)->background().style() == Qt::NoBrush);
        QCOMPARE(w->changes()->topLevelItemCount(), 2);
        QCOMPARE(w->ranges()->topLevelItemCount(), 2);
        QCOMPARE(w->ranges()->topLevelItem(0)->text(1), QString("Video Data Block"));

        // Both tables colour byte 0x95 (row 9, column 5) and only the differing bytes.
        for (int side = 0; side < 2; ++side) {
            QAbstractItemModel* model = w->hexTable(static_cast<CompareTool::Side>(side))->model();
            QCOMPARE(model->data(model->index(9, 5), Qt::BackgroundRole).value<QColor>(),
                     CompareHexItems::differingColour());
            QVERIFY(!model->data(model->index(9, 4), Qt::BackgroundRole).isValid());
        }
        QCOMPARE(w->hexTable(CompareTool::B)
                     ->model()
                     ->data(w->hexTable(CompareTool::B)->model()->index(9, 5)),
                 QVariant(QString("61")));
        // Choosing a run selects its cells on both sides.
        w->ranges()->setCurrentItem(w->ranges()->topLevelItem(1));
        const QModelIndexList selected =
            w->hexTable(CompareTool::A)->selectionModel()->selectedIndexes();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected.front().row() * 16 + selected.front().column(), 255);
        w->resize(w->sizeHint());
        Shoot(w, "compare");

        // The hook for the creator: two images straight in.
        window_->compareImages(*ReadEdidFile(kLg), "Loaded", *ReadEdidFile(kLg), "Built");
        QCOMPARE(w->summary()->text(), QString("The two EDIDs are alike."));
        QCOMPARE(in<QLabel>(w, "Label_Compare_NameA")->text(), QString("Loaded"));
    }

private:
    QTemporaryDir sysfs_;
    std::unique_ptr<Devsim> device_;
    RecordingPrompt prompt_;
    std::unique_ptr<MainWindow> window_;
};

QTEST_MAIN(BeyondWindowsTest)
#include "BeyondWindowsTest.moc"
