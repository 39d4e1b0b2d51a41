// Windows that fit the screen they are on, run on a 1366 x 768 laptop screen and at scale 2
// on a 2560 x 1440 screen (1280 x 720 to the program): the Commander opens beside the main
// window, not over its device list; the Multi-COM page, larger than either screen, scrolls
// inside a Commander that stays on the screen; closing the main window closes the Commander
// and the device is polled no more.
#include "app/CommanderWindow.h"
#include "app/MainWindow.h"
#include "app/MultiComTab.h"
#include "support/DevsimLog.h"
#include "support/Processes.h"
#include "support/RecordingPrompt.h"
#include "support/Screenshot.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

using namespace lvx;
using namespace lvx::test;

namespace {

QRect Area() {
    return QGuiApplication::primaryScreen()->availableGeometry();
}

} // namespace

class WindowFitTest : public QObject {
    Q_OBJECT

    void open() {
        QVERIFY(dir_.isValid());
        log_ = dir_.filePath("device.log");
        device_ = std::make_unique<Devsim>(QStringList{"--counts", "2,1,4,8,3", "--log", log_});
        QVERIFY(!device_->path().isEmpty());
        AppOptions options;
        options.ports = {device_->path()};
        window_ = std::make_unique<MainWindow>(options, &prompt_);
        window_->controller().ethernet = false;
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        window_->search();
        QCOMPARE(window_->controller().devices().count, 1);
        window_->selectRow(1);
        commander_ = window_->commanderWindow();
        QVERIFY(commander_->isVisible());
    }

private slots:
    void initTestCase() {
        // Either screen gives the program less room than the Multi-COM page needs.
        const QRect area = Area();
        QVERIFY2(area.width() == 1366 || area.width() == 1280,
                 qPrintable(QString::number(area.width())));
        QVERIFY(area.height() < 787);
    }

    void cleanup() {
        window_.reset();
        device_.reset();
        prompt_ = RecordingPrompt{};
    }

    void theCommanderOpensBesideTheMainWindow() {
        open();
        const QRect main = window_->frameGeometry();
        const QRect commander = commander_->frameGeometry();
        QVERIFY2(!main.intersects(commander),
                 qPrintable(QStringLiteral("main %1,%2 %3x%4, commander %5,%6 %7x%8")
                                .arg(main.x())
                                .arg(main.y())
                                .arg(main.width())
                                .arg(main.height())
                                .arg(commander.x())
                                .arg(commander.y())
                                .arg(commander.width())
                                .arg(commander.height())));
        QVERIFY(Area().contains(main));
        QVERIFY(Area().contains(commander));
        QCOMPARE(commander.top(), main.top());
        // Beside: the frames 8 pixels apart, one way or the other.
        QVERIFY(commander.left() == main.right() + 9 || commander.right() == main.left() - 9);

        // Moved by the user near the main window, it stays where it was put.
        const QPoint chosen = commander_->pos() + QPoint(-20, 30);
        commander_->move(chosen);
        window_->selectRow(1);
        QCOMPARE(commander_->pos(), chosen);
    }

    void theMultiComPageScrollsInsideTheScreen() {
        open();
        commander_->activate(" Multi-COM ");
        const QRect frame = commander_->frameGeometry();
        QVERIFY2(Area().contains(frame), qPrintable(QStringLiteral("%1x%2 at %3,%4")
                                                        .arg(frame.width())
                                                        .arg(frame.height())
                                                        .arg(frame.x())
                                                        .arg(frame.y())));
        // As wide as asked (both screens are wider than 1154), as high as the screen allows.
        QCOMPARE(commander_->width(), 1154);
        QCOMPARE(frame.bottom(), Area().bottom());
        QVERIFY(commander_->height() < 787);

        MultiComTab* tab = commander_->multiComTab();
        QScrollArea* scroll = tab->scrollArea();
        // The groups need 1135 x 727 (the last ones at 575, 547, each 555 x 175, and a margin
        // of 5): whatever the page's viewport lacks of that, it scrolls.
        QTest::qWait(50);
        const QSize viewport = scroll->viewport()->size();
        QCOMPARE(scroll->verticalScrollBar()->maximum(), std::max(0, 727 - viewport.height()));
        QCOMPARE(scroll->horizontalScrollBar()->maximum(), std::max(0, 1135 - viewport.width()));
        // At scale 2 the window is 720 high at most: the last row of groups is below the fold
        // and can be brought into view. (The test screens have no panel and the window a thin
        // frame, so on 1366 x 768 the page just fits.)
        QGroupBox* channelC = tab->channelGroup(3);
        if (Area().height() == 720) {
            QVERIFY(viewport.height() < 727);
            QVERIFY(channelC->visibleRegion().boundingRect().height() < channelC->height());
        }
        SaveShot(commander_,
                 QStringLiteral("multicom-%1x%2.png").arg(Area().width()).arg(Area().height()));
        scroll->ensureWidgetVisible(channelC);
        QTRY_COMPARE(channelC->visibleRegion().boundingRect().height(), channelC->height());

        // A window made smaller still by the user: both ways.
        commander_->resize(700, 400);
        QTRY_VERIFY(scroll->verticalScrollBar()->maximum() > 0);
        QVERIFY(scroll->horizontalScrollBar()->maximum() > 0);

        // Back on a small tab: the normal size again.
        commander_->activate("System");
        QCOMPARE(commander_->size(), QSize(460, 480));
    }

    void closingTheMainWindowEndsTheProgram() {
        open();
        commander_->activate(" Multi-COM ");
        // The channels are polled while the Commander shows them.
        QTRY_VERIFY_WITH_TIMEOUT(RequestTexts(ReadRequests(log_)).join('\n').contains("COM_MSG"),
                                 5000);
        QVERIFY(window_->close());
        // No window is left open, so the application's event loop ends with the main window.
        QVERIFY(QApplication::quitOnLastWindowClosed());
        for (const QWidget* window : QApplication::topLevelWidgets()) {
            QVERIFY2(!window->isVisible(), qPrintable(window->objectName()));
        }
        QVERIFY(window_->controller().polls().paused());
        // Nothing more goes to the device.
        QTest::qWait(200);
        const int sent = ReadRequests(log_).size();
        QTest::qWait(1200);
        QCOMPARE(ReadRequests(log_).size(), sent);
    }

private:
    QTemporaryDir dir_;
    QString log_;
    std::unique_ptr<Devsim> device_;
    std::unique_ptr<MainWindow> window_;
    CommanderWindow* commander_ = nullptr;
    RecordingPrompt prompt_;
};

QTEST_MAIN(WindowFitTest)
#include "WindowFitTest.moc"
