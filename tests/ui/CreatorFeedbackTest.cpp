// The creator in the whole program against linkvex-devsim: "Write EDID to Device" asks first,
// its "Ok." is shown black on a page that stays enabled while the write runs, the write and
// the save reach the activity log, and the "Select" group opens the hex table window.
#include "LoopbackWindow.h"
#include "app/CommanderWindow.h"
#include "app/EdidCreatorTab.h"
#include "app/HexTableWindow.h"
#include "app/MainWindow.h"
#include "connection/ActivityLog.h"
#include "connection/ConnectionController.h"
#include "creator/CreatorControls.h"
#include "creator/CreatorModel.h"
#include "support/Processes.h"
#include "support/RecordingPrompt.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace lvx;
using namespace lvx::test;

class CreatorFeedbackTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MainWindow> open(const QStringList& ports) {
        return OpenLoopbackWindow(ports, &prompt_, dir_.filePath(QStringLiteral("settings.ini")));
    }

    template <typename T>
    static T* in(QWidget* parent, const char* name) {
        return parent->findChild<T*>(QString::fromLatin1(name));
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }
    void init() { prompt_ = RecordingPrompt(); }

    void theWriteAsksShowsOkInBlackAndIsLogged() {
        Devsim device(QStringList{"--counts", "2,1,4,8,3", "--product", "Lab Switch"});
        QVERIFY(!device.path().isEmpty());
        auto window = open({device.path()});
        QVERIFY(window);
        window->controller().ethernet = false;
        window->search();
        window->selectRow(1);
        QVERIFY(window->controller().connected());
        EdidCreatorTab* tab = window->commanderWindow()->creatorTab();
        window->commanderWindow()->activate(QStringLiteral("EDID Creator"));
        QToolButton* write = in<QToolButton>(tab, "SpeedButton_CopyEdid_Creator");
        QLabel* label3 = in<QLabel>(tab, "Label3");
        QVERIFY(write && label3);
        window->creatorModel().brandNew();

        // Cancel, the default answer, sends nothing.
        prompt_.confirmAnswers = {false};
        QTest::mouseClick(write, Qt::LeftButton);
        QCOMPARE(prompt_.irreversible.size(), std::size_t{1});
        const QString question = QString::fromStdString(prompt_.irreversible[0]);
        QVERIFY2(question.contains("Input 1") && question.contains(device.path()) &&
                     question.contains("Lab Switch"),
                 qPrintable(question));
        QCOMPARE(label3->text(), QString());

        // Yes: while "Ok." shows, the label is enabled and black, the page with it, and the
        // buttons that start another flow are not.
        bool sawOk = false;
        bool labelEnabled = false;
        bool black = false;
        bool buttonsOff = true;
        QObject guard; // ends the watch before the flags it writes
        connect(&window->creatorModel(), &CreatorModel::controlsChanged, &guard, [&] {
            if (label3->text() != QLatin1String("Ok.") || sawOk) {
                return;
            }
            sawOk = true;
            labelEnabled = label3->isEnabled() && tab->isEnabled();
            black = label3->styleSheet().contains(QLatin1String("black"));
            for (const char* name :
                 {"SpeedButton_OpenEdid_Creator", "SpeedButton_OpenEdid_New",
                  "SpeedButton_SaveEdid_Creator", "SpeedButton_CopyEdid_Creator"}) {
                buttonsOff = buttonsOff && !in<QToolButton>(tab, name)->isEnabled();
            }
            if (const QString shots = qEnvironmentVariable("LVX_SCREENSHOT_DIR");
                !shots.isEmpty()) {
                window->commanderWindow()->grab().save(shots + QStringLiteral("/creator-ok.png"));
            }
        });
        prompt_.confirmAnswers = {true};
        QTest::mouseClick(write, Qt::LeftButton);
        QVERIFY(sawOk);
        QVERIFY(labelEnabled);
        QVERIFY(black);
        QVERIFY(buttonsOff);
        QCOMPARE(label3->text(), QString()); // emptied once the write is done
        QVERIFY(write->isEnabled());
        QVERIFY(in<QToolButton>(tab, "SpeedButton_OpenEdid_Creator")->isEnabled());
        const ActivityEntry& result = window->activityLog().entries().back();
        QVERIFY2(result.text.startsWith("Wrote the created EDID to Input 1 of Lab Switch"),
                 qPrintable(result.text));
        QCOMPARE(result.node, QString("Input 1"));
        QCOMPARE(result.device, device.path());

        // Save through its button reaches the log too.
        const QString saved = dir_.filePath(QStringLiteral("made.bin"));
        prompt_.saveAnswers = {saved.toStdString()};
        QTest::mouseClick(in<QToolButton>(tab, "SpeedButton_SaveEdid_Creator"), Qt::LeftButton);
        QCOMPARE(window->activityLog().entries().back().text,
                 QString("Saved the created EDID to %1").arg(saved));
    }

    // A field left red, then a valid edit typed in another: the write is refused and the log
    // names the red one.
    void aRedFieldRefusesTheWriteAfterATypedValidEdit() {
        Devsim device(QStringList{"--counts", "2,1,4,8,3"});
        QVERIFY(!device.path().isEmpty());
        auto window = open({device.path()});
        QVERIFY(window);
        window->controller().ethernet = false;
        window->search();
        window->selectRow(1);
        EdidCreatorTab* tab = window->commanderWindow()->creatorTab();
        window->commanderWindow()->activate(QStringLiteral("EDID Creator"));
        window->creatorModel().brandNew();
        auto* year = in<QLineEdit>(tab, "Edit_Creator_Manufac_Year");
        auto* week = in<QLineEdit>(tab, "Edit_Creator_Manufac_Week");
        year->selectAll();
        QTest::keyClicks(year, "1989");
        QVERIFY(year->styleSheet().contains("red"));
        week->selectAll();
        QTest::keyClicks(week, "12");
        QVERIFY(!week->styleSheet().contains("red"));
        prompt_.confirmAnswers = {true};
        QTest::mouseClick(in<QToolButton>(tab, "SpeedButton_CopyEdid_Creator"), Qt::LeftButton);
        QVERIFY(prompt_.irreversible.empty());
        const ActivityEntry& refusal = window->activityLog().entries().back();
        QCOMPARE(refusal.severity, Severity::Failure);
        QVERIFY2(refusal.text.contains("Create Error!") &&
                     refusal.text.contains("Year (1990~2245 Limited!)"),
                 qPrintable(refusal.text));
    }

    void theSelectGroupOpensTheHexTable() {
        auto window = open({});
        QVERIFY(window);
        HexTableWindow* hex = window->hexTableWindow();
        QVERIFY(!hex->isVisible());
        auto* button = in<QToolButton>(window->commanderWindow()->creatorTab(),
                                       "SpeedButton_HexTable_Creator");
        QVERIFY(button);
        QVERIFY(!button->toolTip().isEmpty());
        QCOMPARE(button->accessibleName(), button->toolTip());
        window->commanderWindow()->activate(QStringLiteral("EDID Creator"));
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(hex->isVisible());
        QVERIFY(window->findChild<QAction*>("Hex1")->isChecked());
        // Pressed again it stays up (and comes to the front).
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(hex->isVisible());
    }

private:
    QTemporaryDir dir_;
    RecordingPrompt prompt_;
};

QTEST_MAIN(CreatorFeedbackTest)
#include "CreatorFeedbackTest.moc"
