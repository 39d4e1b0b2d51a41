// The "System" tab driven through its controls by name, against linkvex-devsim: a firmware
// update of a loader-mode device with the window alive throughout, and the configuration
// group of a normal device.
#include "app/SystemTab.h"
#include "app/CommanderWindow.h"
#include "app/DeviceGrid.h"
#include "app/EdidControllerTab.h"
#include "app/MainWindow.h"
#include "connection/ActivityLog.h"
#include "support/DevsimLog.h"
#include "support/Processes.h"
#include "support/RecordingPrompt.h"
#include "support/Screenshot.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <memory>

using namespace lvx;
using namespace lvx::test;

namespace {

// A firmware image with its header at 512.
QByteArray FirmwareFile(int size) {
    QByteArray file(size, '\0');
    for (int i = 0; i < size; ++i) {
        file[i] = static_cast<char>(i * 31 + 7);
    }
    const QByteArray header = QByteArray("FW VER:x") + QByteArray("3.10\0\0\0\0", 8) + "1A2B2037";
    file.replace(512, header.size(), header);
    return file;
}

} // namespace

class SystemTabTest : public QObject {
    Q_OBJECT

    void connectTo(const QStringList& deviceOptions) {
        log_ = dir_.filePath(QStringLiteral("device%1.log").arg(++devices_));
        device_ = std::make_unique<Devsim>(QStringList{"--log", log_} + deviceOptions);
        QVERIFY(!device_->path().isEmpty());
        AppOptions options;
        options.ports = {device_->path()};
        window_ = std::make_unique<MainWindow>(options, &prompt_);
        window_->controller().ethernet = false;
        window_->show();
        window_->search();
        QCOMPARE(window_->controller().devices().count, 1);
        window_->selectRow(1);
        c_ = window_->commanderWindow();
        tab_ = c_->systemTab();
        c_->activate(QStringLiteral("System"));
    }

    template <typename T>
    T* child(const char* name) {
        T* found = c_->findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr) {
            qWarning("no control named %s", name);
        }
        return found;
    }

private slots:
    void cleanup() {
        window_.reset();
        device_.reset();
        prompt_ = RecordingPrompt();
    }

    void updateMovesTheBarWhileTheWindowLives() {
        const QString flash = dir_.filePath(QStringLiteral("flash.bin"));
        connectTo({"--isp", "091", "--flash-file", flash});
        QCOMPARE(child<QGroupBox>("GroupBox4")->height(), 155);
        QCOMPARE(child<QLabel>("Label_FW_Version")->text(), QString("Target :"));
        QVERIFY(!c_->tabShown(c_->edidTab()));
        QVERIFY(child<QGroupBox>("GroupBox11")->isHidden());

        const QString path = dir_.filePath(QStringLiteral("fw.bin"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        const QByteArray image = FirmwareFile(5000);
        file.write(image);
        file.close();
        prompt_.openAnswers = {path.toStdString()};
        QTest::mouseClick(child<QToolButton>("SpeedButton_OpenFw"), Qt::LeftButton);
        QCOMPARE(child<QLineEdit>("Edit_Fw_Path")->text(), path);
        QCOMPARE(child<QLabel>("Label_FW_Version")->text(),
                 QString("Target :   VID-1A2B     PID-2037     Version-3.10"));
        QCOMPARE(prompt_.kinds, std::vector<FileKind>{FileKind::Firmware});

        // A timer of the window keeps firing while the transfer runs, and sees the bar move.
        QProgressBar* bar = child<QProgressBar>("ProgressBar_Fw");
        QLabel* label = child<QLabel>("Label1");
        int ticks = 0;
        QList<int> seen;
        bool shot = false;
        QTimer watcher;
        connect(&watcher, &QTimer::timeout, this, [&] {
            ++ticks;
            if (seen.isEmpty() || seen.last() != bar->value()) {
                seen << bar->value();
            }
            if (!shot && bar->value() >= 50) {
                shot = true;
                QCOMPARE(label->text(), QString::number(bar->value()) + "%");
                SaveShot(c_, QStringLiteral("system-tab-updating.png"));
            }
        });
        watcher.start(50);
        prompt_.confirmAnswers = {true};
        QElapsedTimer clock;
        clock.start();
        QTest::mouseClick(child<QToolButton>("SpeedButton_UpdateFw"), Qt::LeftButton);
        const qint64 took = clock.elapsed();
        watcher.stop();
        // The question names the file, the header's target and the row, Cancel first; the
        // end says what comes next.
        QCOMPARE(prompt_.irreversible.size(), std::size_t{1});
        const QString question = QString::fromStdString(prompt_.irreversible.front());
        QVERIFY(question.startsWith("Warning!\r\nUpdate system firmware.\r\n"));
        QVERIFY2(question.contains(path) && question.contains("VID 1A2B") &&
                     question.contains("PID 2037") && question.contains("version 3.10") &&
                     question.contains("row 1"),
                 qPrintable(question));
        QCOMPARE(prompt_.messages.back().caption, std::string("Firmware"));
        QCOMPARE(prompt_.messages.back().text,
                 std::string("Firmware 3.10 written; the device restarts: Search again."));
        QCOMPARE(label->text(), QString("100%"));
        QCOMPARE(bar->value(), 100);
        // About 3 s of pacing: the timer fired all along, and saw the bar at several places.
        QVERIFY2(ticks >= took / 50 / 2,
                 qPrintable(QString("%1 ticks in %2 ms").arg(ticks).arg(took)));
        QVERIFY(seen.size() >= 5);
        QVERIFY(std::is_sorted(seen.begin(), seen.end()));
        SaveShot(c_, QStringLiteral("system-tab-updated.png"));

        QFile flashed(flash);
        QVERIFY(flashed.open(QIODevice::ReadOnly));
        QByteArray expected = image;
        expected.append(QByteArray(6144 + 128 - 5000, '\xFF'));
        QCOMPARE(flashed.readAll().left(5120), expected.left(5120));
    }

    void aFailedUpdateNamesPageAndCause() {
        // Page 1 (address 0x800) always answers its check with a wrong sum.
        connectTo({"--isp", "091", "--check-wrong", "1:all"});
        const QString path = dir_.filePath(QStringLiteral("bad-page.bin"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(FirmwareFile(5000));
        file.close();
        prompt_.openAnswers = {path.toStdString()};
        QTest::mouseClick(child<QToolButton>("SpeedButton_OpenFw"), Qt::LeftButton);
        prompt_.confirmAnswers = {true};
        QTest::mouseClick(child<QToolButton>("SpeedButton_UpdateFw"), Qt::LeftButton);
        QCOMPARE(child<QLabel>("Label1")->text(), QString("Update Fw Failed."));
        const QString said = QString::fromStdString(prompt_.messages.back().text);
        QVERIFY2(said.contains("page 0x800") && said.contains("Search"), qPrintable(said));
        SaveShot(c_, QStringLiteral("system-tab-update-failed.png"));
        // The log has the start and the failure with its page, on the device's port.
        const auto& entries = window_->activityLog().entries();
        QVERIFY(entries.size() >= 2);
        const ActivityEntry& last = entries.back();
        QCOMPARE(last.severity, Severity::Failure);
        QCOMPARE(last.device, device_->path());
        QVERIFY2(last.text.startsWith("Update Fw Failed.") && last.text.contains("page 0x800"),
                 qPrintable(last.text));
        QVERIFY(entries[entries.size() - 2].text.startsWith("Writing firmware bad-page.bin"));
    }

    void refusalsShowInRed() {
        connectTo({"--isp", "029"});
        QLabel* label = child<QLabel>("Label1");
        QTest::mouseClick(child<QToolButton>("SpeedButton_UpdateFw"), Qt::LeftButton);
        QCOMPARE(label->text(), QString("Illegal FW."));
        QVERIFY(label->styleSheet().contains("red"));
        prompt_.openAnswers = {dir_.filePath("nothing-here.bin").toStdString()};
        QTest::mouseClick(child<QToolButton>("SpeedButton_OpenFw"), Qt::LeftButton);
        QCOMPARE(label->text(), QString("Update Fw Failed."));
        SaveShot(c_, QStringLiteral("system-tab-failed.png"));
        // Selecting the device again starts from "0%" in black, the bar empty.
        window_->selectRow(1);
        QCOMPARE(label->text(), QString("0%"));
        QVERIFY(label->styleSheet().contains("black"));
        QCOMPARE(child<QProgressBar>("ProgressBar_Fw")->value(), 0);
        QCOMPARE(child<QLineEdit>("Edit_Fw_Path")->text(), QString());
    }

    void configurationGroupOfANormalDevice() {
        connectTo({"--product", "Meeting Room"});
        QCOMPARE(child<QGroupBox>("GroupBox4")->height(), 48);
        QVERIFY(!child<QGroupBox>("GroupBox11")->isHidden());
        QVERIFY(!child<QToolButton>("SpeedButton_SysDefault")->isHidden());
        QVERIFY(child<QGroupBox>("GroupBox13")->isHidden());
        QLineEdit* edit = child<QLineEdit>("Edit_Product_String");
        QLabel* status = child<QLabel>("Label9");
        QCOMPARE(edit->text(), QString("Meeting Room"));

        edit->setText(QString(63, 'a'));
        QCOMPARE(status->text(), QString());
        QTest::keyClick(edit, Qt::Key_B);
        QCOMPARE(edit->text().size(), 64);
        QCOMPARE(status->text(), QString("63 Letters Limited!"));
        QVERIFY(status->styleSheet().contains("red"));
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(status->text(), QString());

        edit->setText(QStringLiteral("Board Room"));
        QTest::mouseClick(child<QToolButton>("SpeedButton_SysConfig"), Qt::LeftButton);
        QCOMPARE(window_->grid()->item(1, 3)->text(), QString(" Board Room "));
        QCOMPARE(window_->grid()->selectedRow(), 0);
        QTest::mouseClick(child<QToolButton>("SpeedButton_SysConfig"), Qt::LeftButton);
        QCOMPARE(status->text(), QString("No Changed."));
        SaveShot(c_, QStringLiteral("system-tab-configuration.png"));

        prompt_.confirmAnswers = {true};
        QTest::mouseClick(child<QToolButton>("SpeedButton_SysDefault"), Qt::LeftButton);
        const QString question = QString::fromStdString(prompt_.messages.back().text);
        QVERIFY(question.startsWith("Warning!\r\nReset system to default.\r\n"));
        // It names the device as it is now, before the reset gives it its old text back.
        QVERIFY2(question.contains("row 1") && question.contains("Board Room") &&
                     question.contains("settings are lost"),
                 qPrintable(question));
        QCOMPARE(prompt_.irreversible.size(), std::size_t{1});
        QCOMPARE(edit->text(), QString("Meeting Room"));
        QCOMPARE(window_->grid()->item(1, 3)->text(), QString(" Meeting Room "));
        const QStringList sent = RequestTexts(ReadRequests(log_));
        QVERIFY(sent.contains(QStringLiteral("$SET SYS_DEF 555E8C\\r\\n")));
        QVERIFY(sent.last().startsWith(QStringLiteral("$GET SYS_DSCPT")));
    }

    void aWriteTheDeviceDoesNotAnswerShowsInRed() {
        connectTo({"--product", "Meeting Room", "--mute", "SYS_STR", "--mute", "SYS_DEF"});
        QLineEdit* edit = child<QLineEdit>("Edit_Product_String");
        QLabel* status = child<QLabel>("Label9");
        edit->setText(QStringLiteral("Board Room"));
        QTest::mouseClick(child<QToolButton>("SpeedButton_SysConfig"), Qt::LeftButton);
        QCOMPARE(status->text(), QString("Write Fail."));
        QVERIFY(status->styleSheet().contains("red"));
        // The list keeps what the device has.
        QCOMPARE(window_->grid()->item(1, 3)->text(), QString(" Meeting Room "));
        QCOMPARE(window_->controller().devices().current().productString,
                 std::string("Meeting Room"));

        prompt_.confirmAnswers = {true};
        QTest::mouseClick(child<QToolButton>("SpeedButton_SysDefault"), Qt::LeftButton);
        QCOMPARE(status->text(), QString("Default Fail."));
        QVERIFY(status->styleSheet().contains("red"));
    }

    void warningStandsBesideTheCommanderWindow() {
        // The program's own dialogs: no prepared answers.
        device_ = std::make_unique<Devsim>(QStringList{"--log", dir_.filePath("w.log")});
        AppOptions options;
        options.ports = {device_->path()};
        window_ = std::make_unique<MainWindow>(options);
        window_->controller().ethernet = false;
        window_->show();
        window_->search();
        window_->selectRow(1);
        c_ = window_->commanderWindow();
        c_->move(300, 200);
        QString text;
        QPoint at;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
        QTimer::singleShot(200, this, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box == nullptr) {
                return;
            }
            text = box->text();
            at = box->pos();
            defaultButton = box->standardButton(box->defaultButton());
            box->button(QMessageBox::Cancel)->click();
        });
        QTest::mouseClick(child<QToolButton>("SpeedButton_SysDefault"), Qt::LeftButton);
        QVERIFY2(text.startsWith("Warning!\r\nReset system to default.\r\n") &&
                     text.contains(device_->path()),
                 qPrintable(text));
        // What cannot be undone waits for an explicit OK.
        QCOMPARE(defaultButton, QMessageBox::Cancel);
        QCOMPARE(at, c_->pos() + QPoint(115, 130));
        QVERIFY(!RequestTexts(ReadRequests(dir_.filePath("w.log"))).join(' ').contains("SYS_DEF"));
    }

private:
    QTemporaryDir dir_;
    RecordingPrompt prompt_;
    std::unique_ptr<Devsim> device_;
    std::unique_ptr<MainWindow> window_;
    CommanderWindow* c_ = nullptr;
    SystemTab* tab_ = nullptr;
    QString log_;
    int devices_ = 0;
};

QTEST_MAIN(SystemTabTest)
#include "SystemTabTest.moc"
