// The "IP Configure" tab driven through its controls by name, against simulated network
// devices on loopback (in the test's own network namespace).
#include "app/IpConfigTab.h"
#include "app/CommanderWindow.h"
#include "app/MainWindow.h"
#include "app/SystemTab.h"
#include "support/Processes.h"
#include "support/RecordingPrompt.h"
#include "support/Screenshot.h"
#include "system/IpConfigTool.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace lvx;
using namespace lvx::test;

class IpConfigTabTest : public QObject {
    Q_OBJECT

    template <typename T>
    T* child(const char* name) {
        T* found = c_->findChild<T*>(QString::fromLatin1(name));
        if (found == nullptr) {
            qWarning("no control named %s", name);
        }
        return found;
    }

    // Search, then the device with this MAC.
    void selectDevice(const QString& mac) {
        window_->search();
        MainWindow& w = *window_;
        QTRY_VERIFY_WITH_TIMEOUT(w.controller().rows().size() == 2, 3000);
        for (std::size_t i = 0; i < w.controller().rows().size(); ++i) {
            if (QString::fromStdString(w.controller().rows()[i].mac) == mac) {
                w.selectRow(static_cast<int>(i) + 1);
            }
        }
        c_ = w.commanderWindow();
    }

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        const QJsonObject first{{"mac", "00:11:22:33:44:55"}, {"ip", "192.168.1.10"},
                                {"productName", "LVX-NET"},   {"description", "Lobby"},
                                {"serialNumber", "SN0001"},   {"webPort", 80}};
        const QJsonObject second{{"mac", "00:11:22:33:44:66"},
                                 {"ip", "192.168.1.11"},
                                 {"ipMode", "dhcp"},
                                 {"webPort", 8080}};
        QFile config(dir_.filePath("net.json"));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(
            QJsonDocument(
                QJsonObject{{"network", QJsonObject{{"loopback", true},
                                                    {"devices", QJsonArray{first, second}}}}})
                .toJson());
        config.close();
        network_ = std::make_unique<Devsim>(
            QStringList{"--no-serial", "--config", dir_.filePath("net.json")});
        QVERIFY(network_->process().state() == QProcess::Running);
    }

    void init() {
        AppOptions options;
        options.loopback = true;
        window_ = std::make_unique<MainWindow>(options, &prompt_);
        window_->controller().comPort = false;
        QVERIFY(window_->start());
        window_->show();
        opened_.clear();
        window_->commanderWindow()->ipTab()->openUrl = [this](const QUrl& url) {
            opened_ << url.toString();
            return true;
        };
    }

    void cleanup() { window_.reset(); }

    void selectionFillsTheTab() {
        selectDevice("00:11:22:33:44:55");
        QVERIFY(c_->tabShown(c_->ipTab()));
        QCOMPARE(c_->pages()->currentWidget(), c_->ipTab());
        QCOMPARE(child<QLabel>("Label_Product_Name")->text(), QString("LVX-NET"));
        QCOMPARE(child<QLabel>("Label_MAC_Addr")->text(), QString("00:11:22:33:44:55"));
        QCOMPARE(child<QComboBox>("ComboBox_IP_Mode")->currentText(), QString("STATIC"));
        QCOMPARE(child<QLineEdit>("Edit_IP_Address")->text(), QString("192.168.1.10"));
        QVERIFY(child<QLineEdit>("Edit_IP_Address")->isEnabled());
        QCOMPARE(child<QLineEdit>("Edit_WebGUI_Port")->text(), QString("80"));
        QVERIFY(!child<QLineEdit>("Edit_WebGUI_Port")->isEnabled());
        QVERIFY(child<QLineEdit>("Edit_DNS")->isHidden());
        QCOMPARE(child<QLabel>("Label_Serial_Num")->text(), QString("SN0001"));
        QCOMPARE(child<QLabel>("Label_Description")->text(), QString("Lobby"));
        // The System tab shows the serial number of a network device.
        QVERIFY(!c_->systemTab()->serialNumberGroup()->isHidden());
        QCOMPARE(child<QLabel>("Label_SerialNum")->text(), QString("SN :          SN0001"));
        QVERIFY(c_->systemTab()->defaultButton()->isHidden());
        SaveShot(c_, QStringLiteral("ip-configure-tab.png"));

        // The mode rule.
        child<QComboBox>("ComboBox_IP_Mode")->setCurrentIndex(1);
        QVERIFY(!child<QLineEdit>("Edit_IP_Address")->isEnabled());
        QVERIFY(!child<QLineEdit>("Edit_SubNet_Mask")->isEnabled());
        QVERIFY(!child<QLineEdit>("Edit_GateWay_IP")->isEnabled());
        child<QComboBox>("ComboBox_IP_Mode")->setCurrentIndex(0);
        QVERIFY(child<QLineEdit>("Edit_GateWay_IP")->isEnabled());

        QTest::mouseClick(child<QToolButton>("SpeedButton1"), Qt::LeftButton);
        QCOMPARE(opened_, QStringList{"http://192.168.1.10/"});

        // The other device is in DHCP mode and has its page on 8080.
        window_->disconnectDevices();
        selectDevice("00:11:22:33:44:66");
        QCOMPARE(child<QComboBox>("ComboBox_IP_Mode")->currentText(), QString("DHCP"));
        QVERIFY(!child<QLineEdit>("Edit_IP_Address")->isEnabled());
        QTest::mouseClick(child<QToolButton>("SpeedButton1"), Qt::LeftButton);
        QCOMPARE(opened_.last(), QString("http://192.168.1.11:8080/"));
    }

    void refusedAndSkippedWritesSaySo() {
        selectDevice("00:11:22:33:44:55");
        QLabel* status = child<QLabel>("Label_IP_Status");
        child<QLineEdit>("Edit_IP_Address")->setText("192.168.1.300");
        QTest::mouseClick(child<QToolButton>("SpeedButton2"), Qt::LeftButton);
        QVERIFY(status->text().contains("300 is above 255"));
        QVERIFY(status->styleSheet().contains("red"));
        QCOMPARE(window_->ipTool().lastDatagram().size(), 0u);
        SaveShot(c_, QStringLiteral("ip-configure-refused.png"));

        child<QLineEdit>("Edit_IP_Address")->setText("10..0.1");
        child<QLineEdit>("Edit_GateWay_IP")->setText("192.168.1.254");
        QTest::mouseClick(child<QToolButton>("SpeedButton2"), Qt::LeftButton);
        QVERIFY(status->text().contains("10..0.1"));
        const std::vector<std::uint8_t>& sent = window_->ipTool().lastDatagram();
        QCOMPARE(sent.size(), std::size_t(2 + 8 + 6 + 2));
        QCOMPARE(sent[10], std::uint8_t(5));

        // The device took the gateway: a new Search lists it.
        window_->disconnectDevices();
        selectDevice("00:11:22:33:44:55");
        QCOMPARE(child<QLineEdit>("Edit_GateWay_IP")->text(), QString("192.168.1.254"));
        QCOMPARE(child<QLineEdit>("Edit_IP_Address")->text(), QString("192.168.1.10"));
        QCOMPARE(status->text(), QString());
    }

private:
    QTemporaryDir dir_;
    RecordingPrompt prompt_;
    std::unique_ptr<Devsim> network_;
    std::unique_ptr<MainWindow> window_;
    CommanderWindow* c_ = nullptr;
    QStringList opened_;
};

QTEST_MAIN(IpConfigTabTest)
#include "IpConfigTabTest.moc"
