// The main window and the Commander window, driven by their controls' names, against
// linkvex-devsim (serial devices on pseudo terminals, network devices on loopback).
#include "app/MainWindow.h"
#include "app/CommanderWindow.h"
#include "app/DeviceGrid.h"
#include "app/EdidControllerTab.h"
#include "app/HexTableWindow.h"
#include "app/Pictures.h"
#include "app/SystemTab.h"
#include "support/Processes.h"
#include "support/RecordingPrompt.h"
#include "support/Screenshot.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUdpSocket>

#include <memory>

using namespace lvx;
using namespace lvx::test;

namespace {

template <typename T>
T* Child(const QObject* root, const char* name) {
    T* found = root->findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) {
        qWarning("no control named %s", name);
    }
    return found;
}

// Shown unless explicitly hidden (pages that are not current hide their controls).
bool Shown(const QWidget* widget) {
    return widget != nullptr && !widget->isHidden();
}

QString Cell(const MainWindow& window, int row, int column) {
    const QTableWidgetItem* item = window.grid()->item(row, column);
    return item ? item->text() : QString();
}

QJsonObject NetworkConfig() {
    QJsonObject twice{{"mac", "00:11:22:33:44:55"},
                      {"ip", "192.168.1.10"},
                      {"productName", "LVX-NET"},
                      {"description", "Network EDID Manager"},
                      {"pid", "2037"},
                      {"serialNumber", "SN0001"},
                      {"faults", QJsonObject{{"answerTwice", true}}}};
    QJsonObject other{{"mac", "00:11:22:33:44:66"},
                      {"ip", "192.168.1.11"},
                      {"productName", "LVX-AUDIO"},
                      {"description", "Audio Decoder"},
                      {"pid", "1001"}};
    return QJsonObject{{"loopback", true}, {"devices", QJsonArray{twice, other}}};
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        QFile config(dir_.filePath("net.json"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(QJsonDocument(QJsonObject{{"network", NetworkConfig()}}).toJson());
        config.close();
        network_ = std::make_unique<Devsim>(
            QStringList{"--no-serial", "--config", dir_.filePath("net.json")});
        silent_ = std::make_unique<Devsim>(QStringList{"--silent"});
        device_ = std::make_unique<Devsim>(QStringList{"--counts", "2,1,4,8,3"});
        unused_ = std::make_unique<Devsim>(QStringList{"--log", dir_.filePath("unused.log")});
        QVERIFY(!silent_->path().isEmpty());
        QVERIFY(!device_->path().isEmpty());
    }

    void init() {
        AppOptions options;
        options.loopback = true;
        options.ports = {silent_->path(), device_->path(), unused_->path()};
        window_ = std::make_unique<MainWindow>(options, &prompt_);
        QVERIFY(window_->start());
        window_->show();
    }

    void cleanup() { window_.reset(); }

    void startsWithNothingConnected() {
        MainWindow& w = *window_;
        QCOMPARE(w.windowTitle(), QString("Linkvex"));
        QVERIFY(Child<QPushButton>(&w, "BitBtn_Search")->isEnabled());
        QVERIFY(!Child<QPushButton>(&w, "BitBtn_Disconnect")->isEnabled());
        QVERIFY(!Child<QPlainTextEdit>(&w, "Memo_Debug")->isVisible());
        QVERIFY(!Child<QComboBox>(&w, "ComboBox1")->isVisible());
        QCOMPARE(Cell(w, 0, 0), QString("#"));
        QCOMPARE(Cell(w, 0, 5), QString("MAC Address"));
        QCOMPARE(w.grid()->columnWidth(0), 23);
        QCOMPARE(w.grid()->columnWidth(3), 77);
        QCOMPARE(w.grid()->cellColour(0), QColor(192, 220, 192));
        QVERIFY(Child<QTimer>(&w, "Timer_MultiCom_Polling")->isActive());
        QVERIFY(!Child<QTimer>(&w, "Timer_UART_Rx")->isActive());
        QVERIFY(!Child<QTimer>(&w, "Timer_Poll_Status")->isActive());
        QVERIFY(Child<QAction>(&w, "Ethernet1")->isChecked());
        QVERIFY(Child<QAction>(&w, "ComPort1")->isChecked());
        CommanderWindow* c = w.commanderWindow();
        QCOMPARE(c->windowTitle(), QString("Commander"));
        QTabWidget* pages = Child<QTabWidget>(c, "PageControl1");
        const QStringList captions = {"IP Configure", "EDID Controller", "EDID Analyzer",
                                      "EDID Creator", " Multi-COM ",     "System"};
        const QStringList names = {"TabSheet10", "TabSheet1",  "TabSheet3",
                                   "TabSheet4",  "TabSheet13", "TabSheet2"};
        QCOMPARE(pages->count(), 6);
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(pages->tabText(i), captions[i]);
            QCOMPARE(pages->widget(i)->objectName(), names[i]);
        }
        QVERIFY(!pages->isTabVisible(2));
        QCOMPARE(Child<QGroupBox>(c, "GroupBox3")->title(),
                 QString("Save  /  Upload  /  Analysis"));
        QCOMPARE(PictureOf(Child<QToolButton>(c, "SpeedButton_OpenEdid")), QString("OpenGray"));
        QCOMPARE(PictureOf(Child<QToolButton>(c, "SpeedButton_OpenEdid_New")),
                 QString("BrandNewColor"));
        QVERIFY(!Picture("OpenGray").isNull());
    }

    void searchListsNetworkAndSerialDevices() {
        MainWindow& w = *window_;
        bool searchEnabledWhileBusy = true;
        connect(&w.controller(), &ConnectionController::busyChanged, this, [&](bool busy) {
            if (busy) {
                searchEnabledWhileBusy = Child<QPushButton>(&w, "BitBtn_Search")->isEnabled();
            }
        });
        QTest::mouseClick(Child<QPushButton>(&w, "BitBtn_Search"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(w.grid()->rowCount(), 5, 3000);
        QVERIFY(!searchEnabledWhileBusy);

        // The network device that answered twice is listed once.
        QStringList interfaces;
        for (int r = 1; r <= 3; ++r) {
            interfaces << Cell(w, r, 1);
            QCOMPARE(Cell(w, r, 0), QString::number(r));
        }
        QCOMPARE(interfaces.count("ETHERNET"), 2);
        QCOMPARE(interfaces.count(device_->path()), 1);
        const int serialRow = interfaces.indexOf(device_->path()) + 1;
        QCOMPARE(Cell(w, serialRow, 2), QString("UHD+EDID Manager"));
        QCOMPARE(Cell(w, serialRow, 3), QString(" UHD+EDID Manager "));
        QCOMPARE(Cell(w, serialRow, 4), QString("NC"));
        QCOMPARE(Cell(w, 4, 0), QString());
        for (int r = 1; r <= 3; ++r) {
            if (Cell(w, r, 1) == "ETHERNET" && Cell(w, r, 5) == "00:11:22:33:44:55") {
                QCOMPARE(Cell(w, r, 4), QString("192.168.1.10"));
                QCOMPARE(Cell(w, r, 2), QString("LVX-NET"));
            }
        }

        QVERIFY(!Child<QPushButton>(&w, "BitBtn_Search")->isEnabled());
        QVERIFY(Child<QPushButton>(&w, "BitBtn_Disconnect")->isEnabled());
        QCOMPARE(Child<QComboBox>(&w, "ComboBox1")->count(), 3);
        QCOMPARE(Child<QComboBox>(&w, "ComboBox1")->currentIndex(), 0);
        CommanderWindow* c = w.commanderWindow();
        QCOMPARE(PictureOf(Child<QToolButton>(c, "SpeedButton_OpenEdid")), QString("OpenColor"));
        QCOMPARE(PictureOf(Child<QToolButton>(c, "SpeedButton_SaveEdid")), QString("SaveColor"));
        QCOMPARE(PictureOf(Child<QToolButton>(c, "SpeedButton_AnalysisEdid")),
                 QString("AnalysisColor"));
        QCOMPARE(PictureOf(Child<QToolButton>(c, "SpeedButton_CopyEdid_Creator")),
                 QString("CopyUpColor"));
        QCOMPARE(Child<QGroupBox>(c, "GroupBox4")->height(), 48);
        // The device's mode-select flag enables its source buttons, and only those.
        QVERIFY(Child<QRadioButton>(c, "RadioButton_Set_IntEdid8")->isEnabled());
        QVERIFY(Child<QRadioButton>(c, "RadioButton_Set_UserEdid4")->isEnabled());
        QVERIFY(!Child<QRadioButton>(c, "RadioButton_Set_UserEdid5")->isEnabled());
        QVERIFY(!Child<QRadioButton>(c, "RadioButton_Set_ExtEdid2")->isEnabled());
        QCOMPARE(Child<QComboBox>(c, "ComboBox_EdidSel_All")->count(), 2 + 1 + 1 + 1 + 4 + 1 + 8);
        QVERIFY(Shown(Child<QComboBox>(c, "ComboBox_Edid_In")));

        const QString memo = QString::fromStdString(w.controller().log().text());
        QVERIFY(memo.contains("No Device Detected."));
        QVERIFY(memo.contains("Got One Device."));
        QVERIFY(!memo.contains("Check " + unused_->path()));
        SaveShot(&w, "main-after-search.png");

        // Selecting the serial device fills and shows its tabs.
        QTest::mouseClick(w.grid()->viewport(), Qt::LeftButton, {},
                          w.grid()->visualRect(w.grid()->model()->index(serialRow, 2)).center());
        QCOMPARE(w.controller().devices().selected, serialRow - 1);
        QCOMPARE(w.grid()->cellColour(serialRow), QColor(0, 255, 255));
        QVERIFY(c->isVisible());
        QCOMPARE(c->size(), QSize(460, 480));
        QTabWidget* pages = Child<QTabWidget>(c, "PageControl1");
        QCOMPARE(pages->currentWidget()->objectName(), QString("TabSheet1"));
        QVERIFY(!pages->isTabVisible(0));
        QVERIFY(pages->isTabVisible(4)); // three channels
        QCOMPARE(Child<QLabel>(c, "Label_FW_Version")->text(),
                 QString("Current :    VID- 1A2B     PID- 2037     Version- 1.0"));
        // Eight internal EDIDs and four user slots: eight rows.
        QCOMPARE(Child<QGroupBox>(c, "GroupBox12")->height(), 65 + 15 * 7 + 6);
        QVERIFY(Shown(Child<QLabel>(c, "Label30")));
        QVERIFY(Shown(Child<QRadioButton>(c, "RadioButton_Set_IntEdid8")));
        QVERIFY(!Shown(Child<QRadioButton>(c, "RadioButton_Set_ExtEdid2")));
        QVERIFY(!Shown(Child<QGroupBox>(c, "GroupBox13")));
        QCOMPARE(Child<QLineEdit>(c, "Edit_Product_String")->text(), QString("UHD+EDID Manager"));
        QCOMPARE(Child<QLabel>(c, "Label1")->text(), QString("0%"));
        SaveShot(c, "commander-serial.png");

        // Selecting a network device switches to its tabs.
        int netRow = 0;
        for (int r = 1; r <= 3; ++r) {
            if (Cell(w, r, 5) == "00:11:22:33:44:55") {
                netRow = r;
            }
        }
        QVERIFY(netRow > 0);
        w.selectRow(netRow);
        QCOMPARE(pages->currentWidget()->objectName(), QString("TabSheet10"));
        QVERIFY(pages->isTabVisible(0));
        QVERIFY(!pages->isTabVisible(4));
        QVERIFY(!Shown(Child<QGroupBox>(c, "GroupBox12")));
        QVERIFY(Shown(Child<QGroupBox>(c, "GroupBox13")));
        QVERIFY(!Shown(Child<QToolButton>(c, "SpeedButton_SysDefault")));
        QTRY_VERIFY(Child<QLabel>(c, "Label_SerialNum")->text().startsWith("SN :    "));
        QComboBox* all = Child<QComboBox>(c, "ComboBox_EdidSel_All");
        QCOMPARE(all->itemText(all->count() - 1), QString("Internal 8")); // pid 2037
        QCOMPARE(Child<QLineEdit>(c, "Edit_Product_String")->text(),
                 QString("Network EDID Manager"));

        // The empty row below the last device does nothing.
        w.selectRow(4);
        QCOMPARE(w.controller().devices().selected, netRow - 1);

        // Disconnect forgets everything and closes the companion windows.
        QTest::mouseClick(Child<QPushButton>(&w, "BitBtn_Disconnect"), Qt::LeftButton);
        QVERIFY(Child<QPushButton>(&w, "BitBtn_Search")->isEnabled());
        QVERIFY(!Child<QPushButton>(&w, "BitBtn_Disconnect")->isEnabled());
        QVERIFY(!c->isVisible());
        QVERIFY(!w.hexTableWindow()->isVisible());
        QCOMPARE(Cell(w, 1, 1), QString());
        QCOMPARE(Cell(w, 0, 1), QString("Interface"));
        QCOMPARE(w.grid()->columnWidth(3), 77);
        QCOMPARE(all->count(), 0);
        QCOMPARE(PictureOf(Child<QToolButton>(c, "SpeedButton_OpenEdid")), QString("OpenGray"));
        QVERIFY(!Child<QRadioButton>(c, "RadioButton_Set_IntEdid1")->isEnabled());
        QCOMPARE(w.controller().devices().count, 0);

        // Disconnect with nothing listed does nothing.
        w.disconnectDevices();
        QVERIFY(Child<QPushButton>(&w, "BitBtn_Search")->isEnabled());
    }

    void loaderModeDeviceIsListedAndSelected() {
        Devsim loader({"--isp", "091", "--model", "QX-AE118"});
        window_->controller().givenPorts = {loader.path(), device_->path()};
        window_->controller().ethernet = false;
        window_->search();
        MainWindow& w = *window_;
        QCOMPARE(w.grid()->rowCount(), 4);
        QCOMPARE(Cell(w, 1, 2), QString("QX-AE118"));
        QCOMPARE(Cell(w, 1, 3), QString("ISP Mode"));
        QCOMPARE(Cell(w, 1, 4), QString("NC"));
        QCOMPARE(w.controller().devices().at(0).ispKind, 2);
        CommanderWindow* c = w.commanderWindow();
        QCOMPARE(Child<QGroupBox>(c, "GroupBox4")->height(), 155);
        w.selectRow(1);
        QTabWidget* pages = Child<QTabWidget>(c, "PageControl1");
        QVERIFY(!pages->isTabVisible(1));
        QVERIFY(!pages->isTabVisible(3));
        QVERIFY(!Shown(Child<QGroupBox>(c, "GroupBox11")));
        QCOMPARE(Child<QLabel>(c, "Label_FW_Version")->text(), QString("Target :"));
        SaveShot(c, "commander-isp.png");
        w.disconnectDevices();
        QCOMPARE(Child<QGroupBox>(c, "GroupBox4")->height(), 155);
    }

    void debugMemoWidthRoundTrip() {
        MainWindow& w = *window_;
        const int width = w.width();
        QWidget* panel = Child<QWidget>(&w, "Panel_Debug");
        QTest::mouseDClick(panel, Qt::LeftButton);
        QVERIFY(Child<QPlainTextEdit>(&w, "Memo_Debug")->isVisible());
        QCOMPARE(w.width(), width + MainWindow::kMemoWidth + 25);
        QPlainTextEdit* memo = Child<QPlainTextEdit>(&w, "Memo_Debug");
        w.controller().log().addLine("hello");
        QTRY_VERIFY(memo->toPlainText().contains("hello"));
        // Appends reach the memo piece by piece, and it still shows the whole log in order.
        w.controller().log().appendText("one ");
        QTest::qWait(80);
        w.controller().log().appendText("two");
        QTRY_VERIFY(memo->toPlainText().endsWith("one two"));
        QCOMPARE(memo->toPlainText().count("hello"), 1);
        QTest::mouseClick(Child<QPushButton>(&w, "Button_debug_clear"), Qt::LeftButton);
        QVERIFY(w.controller().log().text().empty());
        QTRY_VERIFY(memo->toPlainText().isEmpty());
        QTest::mouseDClick(panel, Qt::LeftButton);
        QVERIFY(!Child<QPlainTextEdit>(&w, "Memo_Debug")->isVisible());
        QCOMPARE(w.width(), width);
    }

    void commanderSizeFollowsTheMultiComTab() {
        CommanderWindow* c = window_->commanderWindow();
        QTabWidget* pages = Child<QTabWidget>(c, "PageControl1");
        c->activate(" Multi-COM ");
        // The test's screen (2560 x 1440) has room for the whole page.
        QCOMPARE(c->size(), QSize(1154, 787));
        pages->setCurrentIndex(pages->indexOf(Child<QWidget>(c, "TabSheet2")));
        QCOMPARE(c->size(), QSize(460, 480));
    }

    void menusToggleInterfacesAndTheHexTable() {
        MainWindow& w = *window_;
        Child<QAction>(&w, "Ethernet1")->trigger();
        QVERIFY(!w.controller().ethernet);
        Child<QAction>(&w, "ComPort1")->trigger();
        QVERIFY(!w.controller().comPort);
        // Nothing to search: the list stays empty.
        w.search();
        QCOMPARE(w.controller().devices().count, 0);
        QVERIFY(Child<QPushButton>(&w, "BitBtn_Search")->isEnabled());

        QAction* hex = Child<QAction>(&w, "Hex1");
        hex->trigger();
        QVERIFY(hex->isChecked());
        QVERIFY(w.hexTableWindow()->isVisible());
        hex->trigger();
        QVERIFY(!hex->isChecked());
        QVERIFY(!w.hexTableWindow()->isVisible());
        hex->trigger();
        w.hexTableWindow()->close();
        QVERIFY(!hex->isChecked());
    }

    void aboutBox() {
        MainWindow& w = *window_;
        Child<QAction>(&w, "About2")->trigger();
        QMessageBox* box = w.findChild<QMessageBox*>("AboutBox");
        QVERIFY(box);
        QCOMPARE(box->text(), QString("Linkvex   v1.0L"));
        QCOMPARE(box->pos(), w.pos() + QPoint(210, 170));
        box->close();
    }

    void takenReplyPortEndsTheProgram() {
        window_.reset();
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::AnyIPv4, 31002, QUdpSocket::DontShareAddress));
        RecordingPrompt prompt;
        AppOptions options;
        options.loopback = true;
        MainWindow w(options, &prompt);
        QVERIFY(!w.start());
        QCOMPARE(prompt.messages.size(), size_t(1));
        QCOMPARE(QString::fromStdString(prompt.messages[0].caption), QString("Warning"));
        QCOMPARE(QString::fromStdString(prompt.messages[0].text),
                 QString("VEXA already executed !"));
        // Why, in the box's details: the port and who may hold it.
        const QString details = QString::fromStdString(prompt.messages[0].details);
        QVERIFY2(details.contains("31002") && details.contains("another copy of Linkvex"),
                 qPrintable(details));
    }

    void withoutADisplayTheProgramSaysSoInOneLine() {
        // No environment at all: no DISPLAY, no WAYLAND_DISPLAY, no platform chosen.
        QProcess program;
        program.setProcessEnvironment(QProcessEnvironment());
        program.start(BinDir() + "/linkvex", {"--loopback"});
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 1);
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        QCOMPARE(err.count('\n'), 1);
        QVERIFY2(err.startsWith("linkvex: no display"), qPrintable(err));
        QVERIFY(program.readAllStandardOutput().isEmpty());
    }

    void secondCopyEndsAndTheFirstStays() {
        window_.reset();
        // A runtime directory of the test's own: a copy the user runs meanwhile is not ours.
        QTemporaryDir runtime;
        QVERIFY(QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner |
                                                          QFileDevice::WriteOwner |
                                                          QFileDevice::ExeOwner));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_RUNTIME_DIR", runtime.path());
        QProcess first;
        first.setProcessEnvironment(env);
        first.start(BinDir() + "/linkvex", {"--loopback"});
        QVERIFY(first.waitForStarted());
        QTest::qWait(1500);
        QCOMPARE(first.state(), QProcess::Running);
        QProcess second;
        second.setProcessEnvironment(env);
        second.start(BinDir() + "/linkvex", {"--loopback"});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QTest::qWait(300);
        QCOMPARE(first.state(), QProcess::Running);
        first.terminate();
        first.waitForFinished(5000);
    }

private:
    QTemporaryDir dir_;
    std::unique_ptr<Devsim> network_;
    std::unique_ptr<Devsim> silent_;
    std::unique_ptr<Devsim> device_;
    std::unique_ptr<Devsim> unused_;
    RecordingPrompt prompt_;
    std::unique_ptr<MainWindow> window_;
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
