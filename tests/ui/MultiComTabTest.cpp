// The " Multi-COM " tab of the program, driven by its controls' names: its layout and first
// states, Listen and the memo colours, and against linkvex-devsim over a pseudo terminal the
// text of two channels shown in order with nothing lost, the settings the device reports, a
// user's change the device then reports, the cap, Clear and Save log.
#include "app/MultiComTab.h"
#include "app/CommanderWindow.h"
#include "app/MainWindow.h"
#include "multicom/MultiComTool.h"
#include "support/Processes.h"
#include "support/RecordingPrompt.h"
#include "support/Screenshot.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>

#include <memory>

using namespace lvx;
using namespace lvx::test;

namespace {

template <typename T>
T* Child(const QObject* root, const QString& name) {
    T* found = root->findChild<T*>(name);
    if (found == nullptr) {
        qWarning("no control named %s", qPrintable(name));
    }
    return found;
}

QString N(const char* prefix, int n) {
    return QString::fromLatin1(prefix) + QString::number(n);
}

QColor Base(const QPlainTextEdit* memo, QPalette::ColorGroup group) {
    return memo->palette().color(group, QPalette::Base);
}

// The numbered lines the simulator streams on a channel, `count` bytes of them.
QByteArray Stream(char letter, int count) {
    QByteArray all;
    for (int line = 1; all.size() < count; ++line) {
        all += letter + QByteArray::number(line).rightJustified(6, '0') +
               " abcdefghijklmnopqrstuvwxyz 0123456789\r\n";
    }
    return all.left(count);
}

// A memo shows "\r\n" as one line break, and a "\r" on its own (the bytes received so far may
// end between the two) as one too.
QString Shown(const QByteArray& bytes) {
    return QString::fromLatin1(QByteArray(bytes).replace("\r\n", "\n").replace('\r', '\n'));
}

} // namespace

class MultiComTabTest : public QObject {
    Q_OBJECT

    void open(const QStringList& device = {}) {
        if (!device.isEmpty()) {
            device_ = std::make_unique<Devsim>(device);
            QVERIFY(!device_->path().isEmpty());
        }
        AppOptions options;
        if (device_) {
            options.ports = {device_->path()};
        }
        window_ = std::make_unique<MainWindow>(options, &prompt_);
        window_->controller().ethernet = false;
        window_->show();
        commander_ = window_->commanderWindow();
        tab_ = commander_->multiComTab();
        if (device_) {
            window_->search();
            QCOMPARE(window_->controller().devices().count, 1);
            window_->selectRow(1);
            QVERIFY(commander_->tabShown(tab_));
            commander_->activate(" Multi-COM ");
        }
    }

    QPlainTextEdit* memo(int n) { return Child<QPlainTextEdit>(tab_, N("Memo_MCom_Ch", n)); }
    QComboBox* list(const char* prefix, int n) { return Child<QComboBox>(tab_, N(prefix, n)); }

private slots:
    void cleanup() {
        window_.reset();
        device_.reset();
        prompt_ = RecordingPrompt{};
    }

    void layoutNamesItemsAndFirstStates() {
        open();
        const struct {
            const char* name;
            int left, top;
            const char* caption;
        } groups[] = {{"GroupBox15", 5, 4, "  Main  "},      {"GroupBox2", 5, 185, "Channel A"},
                      {"GroupBox8", 5, 366, "Channel B"},    {"GroupBox14", 5, 547, "Channel C"},
                      {"GroupBox16", 575, 4, "Channel D"},   {"GroupBox17", 575, 185, "Channel E"},
                      {"GroupBox18", 575, 366, "Channel F"}, {"GroupBox19", 575, 547, "Channel G"}};
        for (const auto& g : groups) {
            QGroupBox* box = Child<QGroupBox>(tab_, g.name);
            QVERIFY(box);
            QCOMPARE(box->geometry(), QRect(g.left, g.top, 555, 175));
            QCOMPARE(box->title(), QString(g.caption));
        }
        QCOMPARE(tab_->objectName(), QString("TabSheet13"));

        for (int n = 1; n <= 7; ++n) {
            QGroupBox* group = tab_->channelGroup(n);
            QCheckBox* listen = Child<QCheckBox>(group, N("CheckBox_MCom_Listen", n));
            QVERIFY(listen);
            QCOMPARE(listen->text(), QString("Listen"));
            QVERIFY(!listen->isChecked());
            QComboBox* baud = list("ComboBox_MCom_Baud", n);
            QComboBox* data = list("ComboBox_MCom_DLen", n);
            QComboBox* parity = list("ComboBox_MCom_Parity", n);
            QCOMPARE(baud->count(), 9);
            QCOMPARE(baud->itemText(0), QString("2400"));
            QCOMPARE(baud->itemText(8), QString("115200"));
            QCOMPARE(baud->maxVisibleItems(), 5);
            QCOMPARE(data->itemText(3), QString("8bits"));
            QCOMPARE(parity->count(), 3);
            QCOMPARE(parity->itemText(2), QString("Even"));
            for (QComboBox* box : {baud, data, parity}) {
                QCOMPARE(box->currentIndex(), 0);
                QVERIFY(!box->isEditable());
                QVERIFY(box->isEnabled());
                QCOMPARE(box->parentWidget(), group);
            }
            QPlainTextEdit* m = memo(n);
            QVERIFY(m->isReadOnly());
            QVERIFY(m->isEnabled());
            QCOMPARE(m->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
            QCOMPARE(Base(m, QPalette::Active), QColor(Qt::white));
            // A memo that follows a channel for hours keeps no undo history.
            QVERIFY(!m->document()->isUndoRedoEnabled());
            QCOMPARE(Child<QToolButton>(group, N("SpeedButton_MCom_Log", n))->toolTip(),
                     QString("Save Log"));
            QCOMPARE(Child<QToolButton>(group, N("SpeedButton_MCom_Clear", n))->toolTip(),
                     QString("Clear"));
        }

        // The "  Main  " group: its controls, none of which does anything.
        QGroupBox* main = Child<QGroupBox>(tab_, "GroupBox15");
        QCOMPARE(Child<QLineEdit>(main, "Edit1")->text(), QString("Edit1"));
        const char* boxes[] = {"CheckBox1", "CheckBox2", "CheckBox3", "CheckBox5",
                               "CheckBox6", "CheckBox7", "CheckBox8"};
        for (int n = 0; n < 7; ++n) {
            QCOMPARE(Child<QCheckBox>(main, boxes[n])->text(),
                     QString("Channel %1").arg(QChar('A' + n)));
        }
        QVERIFY(!main->findChild<QCheckBox*>("CheckBox4"));
        QCOMPARE(Child<QToolButton>(main, "SpeedButton_MCom_Send")->toolTip(),
                 QString("Send Message"));
        QCOMPARE(Child<QToolButton>(main, "SpeedButton_MCom_Broad")->toolTip(),
                 QString("Brostcast Message"));
        bool broadcastLabel = false;
        bool messageLabel = false;
        for (const QLabel* label : main->findChildren<QLabel*>()) {
            broadcastLabel = broadcastLabel || label->text() == "Broadcast";
            messageLabel = messageLabel || label->text() == "Message :";
        }
        QVERIFY(broadcastLabel && messageLabel);
        QTest::mouseClick(Child<QToolButton>(main, "SpeedButton_MCom_Send"), Qt::LeftButton);
        QTest::mouseClick(Child<QToolButton>(main, "SpeedButton_MCom_Broad"), Qt::LeftButton);
        QVERIFY(prompt_.messages.empty() && prompt_.filters.empty());

        // While the tab is the current page the Commander window is 1154 x 787.
        commander_->activate(" Multi-COM ");
        QCOMPARE(commander_->size(), QSize(1154, 787));
        commander_->activate("System");
        QCOMPARE(commander_->size(), QSize(460, 480));
    }

    void listenColoursAndTheFirstClick() {
        open();
        for (int n : {1, 7}) {
            QCheckBox* listen = Child<QCheckBox>(tab_, N("CheckBox_MCom_Listen", n));
            // The first click checks the box and changes nothing visible.
            QTest::mouseClick(listen, Qt::LeftButton);
            QVERIFY(listen->isChecked());
            QVERIFY(memo(n)->isEnabled());
            QVERIFY(list("ComboBox_MCom_Parity", n)->isEnabled());
            QCOMPARE(Base(memo(n), QPalette::Active), QColor(Qt::white));
            // Unchecked: the memo and the lists are off, the memo grey.
            QTest::mouseClick(listen, Qt::LeftButton);
            QVERIFY(!listen->isChecked());
            for (QWidget* w : std::initializer_list<QWidget*>{
                     memo(n), list("ComboBox_MCom_Baud", n), list("ComboBox_MCom_DLen", n),
                     list("ComboBox_MCom_Parity", n)}) {
                QVERIFY(!w->isEnabled());
            }
            const QColor grey = n == 7 ? QColor(224, 224, 224) : QColor(160, 160, 164);
            QCOMPARE(Base(memo(n), QPalette::Disabled), grey);
            QCOMPARE(Base(memo(n), QPalette::Active), grey);
            QTest::mouseClick(listen, Qt::LeftButton);
            QVERIFY(memo(n)->isEnabled());
            QCOMPARE(Base(memo(n), QPalette::Active), QColor(Qt::white));
        }
        // Channel B's memo was never touched.
        QVERIFY(memo(2)->isEnabled());
        for (int n : {2, 7}) {
            QTest::mouseClick(Child<QCheckBox>(tab_, N("CheckBox_MCom_Listen", n)), Qt::LeftButton);
            QTest::mouseClick(Child<QCheckBox>(tab_, N("CheckBox_MCom_Listen", n)), Qt::LeftButton);
        }
        commander_->show();
        commander_->activate(" Multi-COM ");
        SaveShot(commander_, "multicom-listen-off.png");
    }

    void twoChannelsShownInOrderWithNothingLost() {
        // A little less than the polls can take, on two channels at once.
        open({"--counts", "2,1,4,8,2", "--channel-rate", "A=700", "--channel-rate", "B=500",
              "--channel-chunk", "1014"});
        MultiComTool& tool = window_->multiComTool();
        QTRY_VERIFY_WITH_TIMEOUT(
            tool.channel(1).text.size() >= 2000 && tool.channel(2).text.size() >= 1500, 15000);
        for (int n : {1, 2}) {
            const QByteArray received = QByteArray::fromStdString(
                std::string(window_->multiComTool().channel(n).text.bytes()));
            QCOMPARE(received, Stream(char('A' + n - 1), received.size()));
            QCOMPARE(memo(n)->toPlainText(), Shown(received));
            const QScrollBar* bar = memo(n)->verticalScrollBar();
            QCOMPARE(bar->value(), bar->maximum());
        }
        QCOMPARE(tool.channel(3).text.size(), std::size_t(0));
        SaveShot(commander_, "multicom-two-channels.png");
    }

    void reportedSettingsAndAUsersChangeTheDeviceThenReports() {
        QTemporaryDir dir;
        const QString log = dir.filePath("device.log");
        open({"--counts", "2,1,4,8,4", "--channel-config", "A=8,3,0", "--channel-config", "D=3,3,0",
              "--log", log});
        QCOMPARE(list("ComboBox_MCom_Baud", 1)->currentText(), QString("115200"));
        QCOMPARE(list("ComboBox_MCom_Baud", 4)->currentText(), QString("9600"));
        QCOMPARE(list("ComboBox_MCom_DLen", 4)->currentText(), QString("8bits"));
        QCOMPARE(list("ComboBox_MCom_Parity", 4)->currentText(), QString("None"));

        // The user moves channel D's parity to "Odd".
        QComboBox* parity = list("ComboBox_MCom_Parity", 4);
        parity->setFocus();
        QTest::keyClick(parity, Qt::Key_Down);
        QCOMPARE(parity->currentText(), QString("Odd"));
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray requests = file.readAll();
        QCOMPARE(requests.count("RX $SET COM_CONFIG "), 1);
        QVERIFY(requests.contains("RX $SET COM_CONFIG 03030301"));

        // A new window asks the device again: the lists show what it reports now.
        window_->disconnectDevices();
        window_.reset();
        open();
        QCOMPARE(list("ComboBox_MCom_Parity", 4)->currentText(), QString("Odd"));
        QCOMPARE(list("ComboBox_MCom_Baud", 4)->currentText(), QString("9600"));
        QCOMPARE(list("ComboBox_MCom_Baud", 1)->currentText(), QString("115200"));
        QCOMPARE(list("ComboBox_MCom_Parity", 2)->currentText(), QString("None"));
    }

    void capNoteClearAndSaveLog() {
        open({"--counts", "2,1,4,8,3", "--channel-text", "B=caf\\xe9\\r\\n\\x80end"});
        MultiComTool& tool = window_->multiComTool();
        QTRY_COMPARE_WITH_TIMEOUT(tool.channel(2).text.size(), std::size_t(10), 5000);
        QCOMPARE(memo(2)->toPlainText(), QString::fromLatin1("caf\xE9\n\x80"
                                                             "end"));

        // Save log: "Log (*.txt)", "ChannelB Log", the bytes as they came.
        QTemporaryDir dir;
        prompt_.saveAnswers = {dir.filePath("trace.TXT").toStdString()};
        QTest::mouseClick(Child<QToolButton>(tab_, "SpeedButton_MCom_Log2"), Qt::LeftButton);
        QCOMPARE(prompt_.filters.back(), std::string("Log (*.txt)|*.txt"));
        QCOMPARE(prompt_.proposedNames.back(), std::string("ChannelB Log"));
        QFile saved(dir.filePath("trace.TXT.txt"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("caf\xE9\r\n\x80"
                                             "end"));

        // A channel past its cap: the oldest text goes, the memo says so once at its top.
        const std::string line = std::string(62, 'z') + "\r\n";
        std::string piece;
        while (piece.size() + line.size() <= kChannelAnswerTextMax) {
            piece += line;
        }
        for (std::size_t total = 0; total <= kChannelTextCap + 4 * piece.size();
             total += piece.size()) {
            tool.receive(3, piece);
        }
        QCOMPARE(tool.channel(3).text.size(), kChannelTextCap);
        const QString shown = memo(3)->toPlainText();
        QVERIFY(
            shown.startsWith(QString::fromLatin1(kDroppedNote.data(), int(kDroppedNote.size()))));
        QCOMPARE(shown.count("dropped"), 1);
        QCOMPARE(shown, QString::fromStdString(tool.channel(3).text.memoText()));
        SaveShot(commander_, "multicom-cap.png");

        // Clear empties the memo, the note and the channel's text.
        QTest::mouseClick(Child<QToolButton>(tab_, "SpeedButton_MCom_Clear3"), Qt::LeftButton);
        QCOMPARE(memo(3)->toPlainText(), QString());
        QCOMPARE(tool.channel(3).text.size(), std::size_t(0));
        QCOMPARE(memo(2)->toPlainText(), QString::fromLatin1("caf\xE9\n\x80"
                                                             "end"));

        // Disconnect empties the first channel's memo, not the others.
        tool.receive(1, "first");
        window_->disconnectDevices();
        QCOMPARE(memo(1)->toPlainText(), QString());
        QCOMPARE(memo(2)->toPlainText(), QString::fromLatin1("caf\xE9\n\x80"
                                                             "end"));
    }

private:
    RecordingPrompt prompt_;
    std::unique_ptr<Devsim> device_;
    std::unique_ptr<MainWindow> window_;
    CommanderWindow* commander_ = nullptr;
    MultiComTab* tab_ = nullptr;
};

QTEST_MAIN(MultiComTabTest)
#include "MultiComTabTest.moc"
