// The "EDID Controller" tab driven through its controls by name, against linkvex-devsim:
// the node list's separators and upload picture, and the Mode Select buttons.
#include "app/CommanderWindow.h"
#include "app/MainWindow.h"
#include "app/Pictures.h"
#include "edid/InputModeTool.h"
#include "protocol/Crc16.h"
#include "protocol/Hex.h"
#include "support/DevsimLog.h"
#include "support/Processes.h"
#include "support/RecordingPrompt.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace lvx;
using namespace lvx::test;

namespace {

QString Set(const char* name, const QByteArray& payload) {
    const QByteArray hex = payload.toHex().toUpper();
    return QStringLiteral("$SET %1 %2%3\\r\\n")
        .arg(name, QString::fromLatin1(hex),
             QString::fromStdString(Hex4(Crc16(kCrcInit, hex.toStdString()))));
}

} // namespace

class EdidControllerTabTest : public QObject {
    Q_OBJECT

    // Connects a window to a simulated device with these options.
    void connectTo(const QStringList& deviceOptions) {
        log_ = dir_.filePath(QStringLiteral("device%1.log").arg(++devices_));
        device_ = std::make_unique<Devsim>(QStringList{"--log", log_} + deviceOptions);
        QVERIFY(!device_->path().isEmpty());
        AppOptions options;
        options.ports = {device_->path()};
        window_ = std::make_unique<MainWindow>(options, &prompt_);
        window_->controller().ethernet = false;
        window_->search();
        QCOMPARE(window_->controller().devices().count, 1);
        window_->selectRow(1);
        c_ = window_->commanderWindow();
        mark_ = ReadRequests(log_).size();
    }

    QStringList requests() {
        QTest::qWait(30);
        return RequestTexts(ReadRequests(log_).mid(mark_));
    }

    QRadioButton* button(const char* name) {
        return c_->findChild<QRadioButton*>(QString::fromLatin1(name));
    }

    void press(const char* name) { QTest::mousePress(button(name), Qt::LeftButton); }

private slots:
    void cleanup() {
        window_.reset();
        device_.reset();
    }

    void separatorsGiveWayAndTheUploadPictureFollowsTheNode() {
        connectTo({"--counts", "2,1,4,8,0"});
        QComboBox* all = c_->findChild<QComboBox*>("ComboBox_EdidSel_All");
        QToolButton* open = c_->findChild<QToolButton*>("SpeedButton_OpenEdid");
        QCOMPARE(all->itemText(2), QString("----------------"));
        all->setCurrentIndex(2);
        QCOMPARE(all->currentIndex(), 1);
        QCOMPARE(PictureOf(open), QString("OpenColor"));
        all->setCurrentIndex(3); // Output 1
        QCOMPARE(PictureOf(open), QString("OpenGray"));
        all->setCurrentIndex(9); // the separator before the internal EDIDs
        QCOMPARE(all->currentIndex(), 8);
        QCOMPARE(all->currentText(), QString("User 4"));
        QCOMPARE(PictureOf(open), QString("OpenColor"));
        all->setCurrentIndex(10);
        QCOMPARE(PictureOf(open), QString("OpenGray"));
        QComboBox* upload = c_->findChild<QComboBox*>("ComboBox_EdidSel_Upload");
        QCOMPARE(upload->itemText(2), QString("----------------"));
        upload->setCurrentIndex(2);
        QCOMPARE(upload->currentIndex(), 1);
        // The upload button does nothing for an internal EDID: no dialog, no command.
        QTest::mouseClick(open, Qt::LeftButton);
        QVERIFY(prompt_.filters.empty());
        QCOMPARE(requests(), QStringList());
    }

    void pressesSetTheModeAndReportsMoveTheCheck() {
        connectTo({"--counts", "2,1,4,8,0"});
        InputModeTool& modes = window_->modeTool();
        QVERIFY(button("RadioButton_Set_ExtEdid1")->isEnabled());

        press("RadioButton_Set_ExtEdid1");
        QVERIFY(button("RadioButton_Set_ExtEdid1")->isChecked());
        QCOMPARE(requests(), (QStringList{Set("ND_SEL", QByteArray(2, '\0')),
                                          Set("RXEDMD", QByteArray::fromHex("08"))}));
        // After an External press the next report is applied even when it says 8 again.
        QCOMPARE(modes.currentMode(), 255);
        QVERIFY(modes.handleAnswer("08\x0C"));
        QCOMPARE(modes.currentMode(), 8);

        mark_ = ReadRequests(log_).size();
        press("RadioButton_Set_UserEdid2");
        QCOMPARE(requests().last(), Set("RXEDMD", QByteArray::fromHex("0A")));

        // Choosing the second input reads its mode.
        mark_ = ReadRequests(log_).size();
        QComboBox* inputs = c_->findChild<QComboBox*>("ComboBox_Edid_In");
        QVERIFY(!inputs->isHidden());
        inputs->setCurrentIndex(1);
        emit inputs->activated(1);
        QCOMPARE(requests(), (QStringList{Set("ND_SEL", QByteArray::fromHex("0001")),
                                          "$GET RXEDMD FFFF\\r\\n"}));
        QTRY_VERIFY(button("RadioButton_Set_IntEdid1")->isChecked()); // the device says 00

        QVERIFY(modes.handleAnswer("05\x0C"));
        QVERIFY(button("RadioButton_Set_IntEdid6")->isChecked());
        QVERIFY(!button("RadioButton_Set_IntEdid1")->isChecked());
        // A one-character field changes nothing.
        QVERIFY(!modes.handleAnswer("5\x0C"));
        QVERIFY(button("RadioButton_Set_IntEdid6")->isChecked());
        // An index that names no source checks nothing new; the old check stays.
        QVERIFY(modes.handleAnswer("40\x0C"));
        QVERIFY(button("RadioButton_Set_IntEdid6")->isChecked());
    }

    void aPressTheDeviceDoesNotTakeGoesBack() {
        connectTo({"--counts", "2,1,4,8,0", "--mute", "RXEDMD"});
        press("RadioButton_Set_IntEdid2");
        // The device never answered SET RXEDMD: no source is shown as chosen.
        QVERIFY(!button("RadioButton_Set_IntEdid2")->isChecked());
        QCOMPARE(window_->modeTool().lastError(), QString("the device did not answer SET RXEDMD"));
    }

    void displayOnlyButtonsFollowTheDevice() {
        // The first input's field 5 is "F": the buttons only show the active source.
        connectTo({"--counts", "2,1,4,8,0", "--input-node", "1,0,0,T,F,F,T,F"});
        InputModeTool& modes = window_->modeTool();
        QVERIFY(!button("RadioButton_Set_IntEdid1")->isEnabled());
        QVERIFY(!button("RadioButton_Set_ExtEdid1")->isEnabled());
        modes.apply(2);
        QVERIFY(button("RadioButton_Set_IntEdid3")->isEnabled());
        QVERIFY(button("RadioButton_Set_IntEdid3")->isChecked());
        modes.apply(8);
        QVERIFY(!button("RadioButton_Set_IntEdid3")->isEnabled());
        QVERIFY(button("RadioButton_Set_ExtEdid1")->isEnabled());
        QVERIFY(button("RadioButton_Set_ExtEdid1")->isChecked());
        modes.apply(9);
        QVERIFY(!button("RadioButton_Set_ExtEdid1")->isEnabled());
        QVERIFY(button("RadioButton_Set_UserEdid1")->isChecked());
        // A report beyond the sources still disables the active one.
        modes.apply(20);
        QVERIFY(!button("RadioButton_Set_UserEdid1")->isEnabled());
    }

    void oneInputHidesTheChooserAndUsesSelectorZero() {
        connectTo({"--counts", "1,2,2,6,0"});
        QVERIFY(c_->findChild<QComboBox*>("ComboBox_Edid_In")->isHidden());
        // Six internal EDIDs and two user slots: six rows, 65 + 75 + 6 high, captions shown.
        QCOMPARE(c_->findChild<QGroupBox*>("GroupBox12")->height(), 146);
        QVERIFY(!c_->findChild<QLabel*>("Label30")->isHidden());
        QVERIFY(button("RadioButton_Set_ExtEdid2")->isEnabled());
        QVERIFY(button("RadioButton_Set_IntEdid7")->isHidden());
        press("RadioButton_Set_ExtEdid2");
        QCOMPARE(requests(), (QStringList{Set("ND_SEL", QByteArray(2, '\0')),
                                          Set("RXEDMD", QByteArray::fromHex("07"))}));
    }

    void statusPollAsksForTheModeEvery2500Ms() {
        connectTo({"--counts", "2,1,4,8,2"});
        // With channels the 400 ms poll runs too; the mode poll must still come.
        QTRY_VERIFY_WITH_TIMEOUT(requests().contains("$GET RXEDMD FFFF\\r\\n"), 4000);
        QVERIFY(requests().contains("$GET COM_MSG FFFF\\r\\n"));
    }

    void disconnectDisablesTheButtons() {
        connectTo({"--counts", "2,1,4,8,0"});
        QVERIFY(button("RadioButton_Set_IntEdid8")->isEnabled());
        window_->disconnectDevices();
        for (const char* name : {"RadioButton_Set_IntEdid1", "RadioButton_Set_IntEdid8",
                                 "RadioButton_Set_ExtEdid1", "RadioButton_Set_UserEdid4"}) {
            QVERIFY2(!button(name)->isEnabled(), name);
        }
    }

private:
    QTemporaryDir dir_;
    int devices_ = 0;
    QString log_;
    int mark_ = 0;
    std::unique_ptr<Devsim> device_;
    RecordingPrompt prompt_;
    std::unique_ptr<MainWindow> window_;
    CommanderWindow* c_ = nullptr;
};

QTEST_MAIN(EdidControllerTabTest)
#include "EdidControllerTabTest.moc"
