// The activity log below the device list: what the flows and the connection leave in it, its
// colours, Copy and Save, its open or closed state across runs, the reasons of an empty
// Search and the message of a lost connection; against linkvex-devsim.
#include "connection/ActivityLog.h"
#include "LoopbackWindow.h"
#include "app/ActivityLogView.h"
#include "app/MainWindow.h"
#include "edid/EdidControllerTool.h"
#include "support/Processes.h"
#include "support/RecordingPrompt.h"
#include "support/Screenshot.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace lvx;
using namespace lvx::test;

namespace {

QStringList Texts(const ActivityLog& log) {
    QStringList texts;
    for (const ActivityEntry& e : log.entries()) {
        texts << e.text;
    }
    return texts;
}

const ActivityEntry* Find(const ActivityLog& log, const QString& start) {
    for (const ActivityEntry& e : log.entries()) {
        if (e.text.startsWith(start)) {
            return &e;
        }
    }
    return nullptr;
}

} // namespace

class ActivityLogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<MainWindow> open(const QStringList& ports) {
        return OpenLoopbackWindow(ports, &prompt_, dir_.filePath(QStringLiteral("settings.ini")));
    }

private slots:
    void initTestCase() { QVERIFY(dir_.isValid()); }

    void init() { prompt_ = RecordingPrompt(); }

    void aSessionOfWorkAndTheLostDevice() {
        Devsim device(QStringList{"--counts", "2,1,4,8,3", "--product", "Lab Switch"});
        QVERIFY(!device.path().isEmpty());
        auto window = open({device.path()});
        QVERIFY(window);
        window->controller().ethernet = false;
        window->search();
        window->selectRow(1);
        const ActivityLog& log = window->activityLog();
        QVERIFY2(Find(log, "Search found 1 device"), qPrintable(Texts(log).join('|')));
        const ActivityEntry* connected = Find(log, "Connected to");
        QVERIFY2(connected, qPrintable(Texts(log).join('|')));
        QCOMPARE(connected->device, device.path());

        // A successful Save names the node and the file; the upload of that file the other way.
        const QString saved = dir_.filePath(QStringLiteral("tv.bin"));
        prompt_.saveAnswers = {saved.toStdString()};
        QCOMPARE(window->edidTool().save({NodeKind::Input, 0}, prompt_),
                 EdidControllerTool::Outcome::Done);
        const ActivityEntry& save = log.entries().back();
        QCOMPARE(save.text, QString("Saved Input 1 EDID to %1").arg(saved));
        QCOMPARE(save.node, QString("Input 1"));
        QCOMPARE(save.device, device.path());
        QCOMPARE(save.severity, Severity::Success);
        prompt_.openAnswers = {saved.toStdString()};
        prompt_.confirmAnswers = {true};
        QCOMPARE(window->edidTool().upload({NodeKind::User, 1}, prompt_),
                 EdidControllerTool::Outcome::Done);
        QCOMPARE(log.entries().back().text, QString("Uploaded tv.bin to User 2"));
        QCOMPARE(log.entries().back().node, QString("User 2"));
        // Progress and empty statuses stay out of the log.
        for (const ActivityEntry& e : log.entries()) {
            QVERIFY(!e.text.endsWith('%'));
            QVERIFY(!e.text.isEmpty());
        }

        // The view shows each line in the colour of its severity.
        QListWidget* list = window->findChild<QListWidget*>("ActivityLog_List");
        QVERIFY(list != nullptr);
        QCOMPARE(list->count(), static_cast<int>(log.entries().size()));
        const QListWidgetItem* last = list->item(list->count() - 1);
        QVERIFY(last->text().endsWith("Uploaded tv.bin to User 2"));
        QCOMPARE(last->foreground().color(), ActivityColour(Severity::Success));
        QVERIFY(ActivityColour(Severity::Failure) != ActivityColour(Severity::Success));
        SaveShot(window.get(), QStringLiteral("activity-log-session.png"));

        // The device goes away: the message names its port and what to check, the list
        // empties, the log keeps the same words in red.
        device.stop();
        QTRY_COMPARE_WITH_TIMEOUT(window->controller().devices().count, 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!prompt_.messages.empty() &&
                                     prompt_.messages.back().caption == "Connection Lost",
                                 5000);
        const QString said = QString::fromStdString(prompt_.messages.back().text);
        QVERIFY2(said.contains(device.path()) && said.contains("power") && said.contains("cable") &&
                     said.contains("Search again"),
                 qPrintable(said));
        QCOMPARE(log.entries().back().text, said);
        QCOMPARE(log.entries().back().severity, Severity::Failure);
        QVERIFY(window->controller().rows().empty());
        SaveShot(window.get(), QStringLiteral("activity-log-lost.png"));
    }

    void anEmptySearchSaysWhyPerPortAndInterface() {
        Devsim silent(QStringList{"--silent"});
        QVERIFY(!silent.path().isEmpty());
        const QString missing = dir_.filePath(QStringLiteral("no-such-port"));
        auto window = open({missing, silent.path()});
        QVERIFY(window);
        window->search();
        QCOMPARE(window->controller().devices().count, 0);
        const QStringList texts = Texts(window->activityLog());
        const QString all = texts.join('\n');
        QVERIFY2(texts.contains("Search found no device"), qPrintable(all));
        QVERIFY2(all.contains("Cannot open " + missing + ": it does not exist"), qPrintable(all));
        QVERIFY2(texts.contains(silent.path() + ": no device answered."), qPrintable(all));
        QVERIFY2(all.contains("Ethernet: no device replied") && all.contains("31002/udp"),
                 qPrintable(all));
        for (const ActivityEntry& e : window->activityLog().entries()) {
            QCOMPARE(e.severity, Severity::Failure);
        }
        SaveShot(window.get(), QStringLiteral("activity-log-empty-search.png"));

        // Only the Com Port searched: no word about the network.
        window->controller().ethernet = false;
        window->activityLog().clear();
        window->search();
        QVERIFY(!Texts(window->activityLog()).join('\n').contains("Ethernet"));
    }

    void theNewestLineShowsWholeUnlessTheUserScrolledBack() {
        auto window = open({});
        QVERIFY(window);
        ActivityLog& log = window->activityLog();
        QListWidget* list = window->findChild<QListWidget*>("ActivityLog_List");
        QVERIFY(list != nullptr && list->isVisible());
        // Lines long enough to wrap over several rows of the narrow list.
        const QString reason = QString("a reason that goes on ").repeated(8);
        for (int i = 0; i < 12; ++i) {
            log.add(Severity::Failure, QString::number(i) + ' ' + reason, "/dev/ttyUSB0");
        }
        const auto lastBottom = [list] {
            return list->visualItemRect(list->item(list->count() - 1)).bottom();
        };
        QTRY_VERIFY(lastBottom() <= list->viewport()->height());
        QVERIFY(list->visualItemRect(list->item(list->count() - 1)).height() >
                list->fontMetrics().height() * 2);

        // Scrolled back to the top, the user keeps reading there while lines come in.
        list->verticalScrollBar()->setValue(0);
        log.add(Severity::Info, "one more " + reason);
        QTest::qWait(50);
        QCOMPARE(list->verticalScrollBar()->value(), 0);
    }

    void copySaveAndTheRememberedState() {
        auto window = open({});
        QVERIFY(window);
        ActivityLog& log = window->activityLog();
        log.clear();
        log.add(Severity::Info, "first", "/dev/ttyUSB0", "Input 1");
        log.add(Severity::Failure, "second");
        log.add(Severity::Success, "third");
        ActivityLogView* view = window->activityView();
        const QString whole = log.text();
        QCOMPARE(whole.count('\n'), 3);
        QVERIFY(whole.section('\n', 0, 0).endsWith("/dev/ttyUSB0  Input 1  first"));
        QVERIFY(whole.section('\n', 1, 1).endsWith("FAILED:  second"));
        // Nothing chosen: Copy takes all; chosen lines: only those.
        QCOMPARE(view->copyText(), whole);
        view->list()->item(1)->setSelected(true);
        QCOMPARE(view->copyText(), whole.section('\n', 1, 1) + '\n');

        // Save writes the whole log; a folder that cannot be written is said, not hidden.
        const QString target = dir_.filePath(QStringLiteral("activity.txt"));
        prompt_.saveAnswers = {target.toStdString()};
        view->save();
        QFile saved(target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(saved.readAll()), whole);
        prompt_.saveAnswers = {dir_.filePath("no-folder/activity.txt").toStdString()};
        view->save();
        QVERIFY(!prompt_.messages.empty());
        QVERIFY(QString::fromStdString(prompt_.messages.back().text).startsWith("The log was not"));

        // Closing it makes the window smaller, and the next window starts closed.
        QVERIFY(view->isOpen());
        const int openHeight = window->height();
        window->findChild<QToolButton*>("ActivityLog_Header")->click();
        QVERIFY(!view->isOpen());
        QCOMPARE(window->height(), openHeight - ActivityLogView::kListHeight);
        window.reset();
        window = open({});
        QVERIFY(!window->activityView()->isOpen());
        QCOMPARE(window->height(), openHeight - ActivityLogView::kListHeight);
        window->findChild<QToolButton*>("ActivityLog_Header")->click();
        QVERIFY(window->activityView()->isOpen());
    }

    void verbosePrintsEachLineOnStandardError() {
        QProcess program;
        program.setProgram(BinDir() + QStringLiteral("/linkvex"));
        program.setArguments({"--verbose", "--loopback", "--search", "--port",
                              dir_.filePath(QStringLiteral("absent")), "-platform", "offscreen"});
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", dir_.path());
        env.insert("XDG_CONFIG_HOME", dir_.filePath("config"));
        env.insert("XDG_RUNTIME_DIR", dir_.path());
        program.setProcessEnvironment(env);
        program.start();
        QVERIFY(program.waitForStarted(5000));
        QByteArray err;
        QElapsedTimer clock;
        clock.start();
        while (!err.contains("Search found no device") && clock.elapsed() < 15000) {
            program.waitForReadyRead(500);
            err += program.readAllStandardError();
        }
        program.kill();
        program.waitForFinished(5000);
        QVERIFY2(err.contains("linkvex: ") && err.contains("Search found no device"),
                 err.constData());
        QVERIFY2(err.contains("absent: it does not exist"), err.constData());
    }

private:
    QTemporaryDir dir_;
    RecordingPrompt prompt_;
};

QTEST_MAIN(ActivityLogTest)
#include "ActivityLogTest.moc"
