// The whole decode beside the analyzer: the Details tree, the Findings list and the marked
// bytes, for a file, a monitor of this PC and both sides of the comparison. Expected offsets
// come from walking the bytes here, not from the parse.
#include "app/AnalyzerWindow.h"
#include "app/CompareWindow.h"
#include "app/EdidDetailView.h"
#include "app/EdidDetailsWindow.h"
#include "app/MainWindow.h"
#include "app/MonitorsWindow.h"
#include "edid/EdidParse.h"
#include "support/RecordingPrompt.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <optional>

using namespace lvx;
using namespace lvx::test;

namespace {

// An HDMI 2.1 display: FRL, VRR, ALLM, a 4:2:0 capability map, colorimetry with reserved
// bits set.
const QString kHdmi21 = QStringLiteral(LVX_CORPUS_DIR "/14C09D54E714.bin");

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

// The tag byte and length of the first CTA data block of block 1 whose tag (bits 7-5) is
// `tag` and, for tag 7, whose extended tag is `extended`.
std::optional<std::pair<int, int>> DataBlock(const QByteArray& b, int tag, int extended = -1) {
    const auto at = [&](int i) { return static_cast<unsigned char>(b[i]); };
    for (int p = 132; p < 128 + at(130);) {
        const int length = at(p) & 0x1F;
        if ((at(p) >> 5) == tag && (extended < 0 || at(p + 1) == extended)) {
            return std::make_pair(p, length);
        }
        p += 1 + length;
    }
    return std::nullopt;
}

QTreeWidgetItem* Child(QTreeWidgetItem* parent, const QString& label) {
    for (int i = 0; i < parent->childCount(); ++i) {
        if (parent->child(i)->text(0) == label) {
            return parent->child(i);
        }
    }
    return nullptr;
}

void Shoot(QWidget* window, const char* name) {
    const QString folder = qEnvironmentVariable("LVX_SCREENSHOTS");
    if (!folder.isEmpty()) {
        QTest::qWait(100);
        window->grab().save(folder + "/" + name + ".png");
    }
}

} // namespace

class EdidDetailsTest : public QObject {
    Q_OBJECT

private slots:
    void treeNodesAndFindingsMarkTheirBytes() {
        RecordingPrompt prompt;
        EdidDetailsWindow window(prompt);
        QVERIFY(window.openFile(kHdmi21));
        window.show();
        EdidDetailView* view = window.findChild<EdidDetailView*>("EdidDetailView");
        QVERIFY(view != nullptr);
        QVERIFY(window.source()->text().startsWith(kHdmi21 + ": 256 bytes, 2 blocks"));
        QTreeWidget* tree = window.findChild<QTreeWidget*>("Tree_EdidDetails");
        QCOMPARE(tree->topLevelItemCount(), 2);
        QCOMPARE(tree->topLevelItem(1)->text(1), QString("CTA-861 extension"));

        const QByteArray bytes = FileBytes(kHdmi21);
        const auto video = DataBlock(bytes, 2);
        QVERIFY(video.has_value());
        QTreeWidgetItem* videoItem = Child(tree->topLevelItem(1), "Video data block");
        QVERIFY(videoItem != nullptr);
        tree->setCurrentItem(videoItem);
        QCOMPARE(view->marked(), std::make_pair(video->first, video->second + 1));
        auto* hex = window.findChild<QPlainTextEdit*>("Text_EdidHex");
        QCOMPARE(hex->document()->blockCount(), 16);
        QVERIFY(!hex->extraSelections().isEmpty());
        window.resize(1000, 640);
        Shoot(&window, "edid-details-tree");
        // The first VIC of the block is its next byte.
        tree->setCurrentItem(videoItem->child(0));
        QCOMPARE(view->marked(), std::make_pair(video->first + 1, 1));

        // Failures first; the colorimetry finding marks the block's metadata byte.
        auto* tabs = window.findChild<QTabWidget*>("TabWidget_EdidDetails");
        tabs->setCurrentIndex(1);
        QVERIFY(tabs->tabText(1).startsWith("Findings ("));
        QTreeWidget* findings = window.findChild<QTreeWidget*>("List_EdidFindings");
        QVERIFY(findings->topLevelItemCount() > 0);
        bool warningSeen = false;
        QTreeWidgetItem* colorimetry = nullptr;
        for (int i = 0; i < findings->topLevelItemCount(); ++i) {
            QTreeWidgetItem* f = findings->topLevelItem(i);
            warningSeen = warningSeen || f->text(0) == "warning";
            QVERIFY(!(warningSeen && f->text(0) == "failure"));
            QVERIFY(!f->text(1).isEmpty()); // the impact
            if (f->text(2) == "colorimetry-reserved-bits") {
                colorimetry = f;
            }
        }
        QVERIFY(colorimetry != nullptr);
        const auto cdb = DataBlock(bytes, 7, 5);
        QVERIFY(cdb.has_value());
        findings->setCurrentItem(colorimetry);
        QCOMPARE(view->marked(), std::make_pair(cdb->first + 3, 1));
        // Its whole sentence is readable below the list.
        QVERIFY(view->chosen()->text().startsWith("colorimetry-reserved-bits (failure, colour): "));
        Shoot(&window, "edid-details-findings");
    }

    void anyLengthAndUnreadableFiles() {
        RecordingPrompt prompt;
        EdidDetailsWindow window(prompt);
        QTemporaryDir dir;
        QByteArray big = FileBytes(kHdmi21);
        big.resize(64 * 1024);
        Write(dir.filePath("big.bin"), big);
        QVERIFY(window.openFile(dir.filePath("big.bin")));
        QCOMPARE(window.findChild<QTreeWidget*>("Tree_EdidDetails")->topLevelItemCount(), 256);
        QVERIFY(window.source()->text().contains("32768 bytes, 256 blocks"));
        // The last byte of the last block can be marked; nothing past it.
        EdidDetailView* view = window.detailView();
        view->mark(32767, 10);
        QCOMPARE(view->marked(), std::make_pair(32767, 1));

        const std::size_t messages = prompt.messages.size();
        QVERIFY(!window.openFile(dir.filePath("none.bin")));
        QCOMPARE(prompt.messages.size(), messages + 1);
        prompt.openAnswers = {kHdmi21.toStdString()};
        QTest::mouseClick(window.findChild<QPushButton*>("Button_EdidDetails_Open"),
                          Qt::LeftButton);
        QCOMPARE(window.findChild<QTreeWidget*>("Tree_EdidDetails")->topLevelItemCount(), 2);
    }

    // A monitor of this PC with three blocks: the analyzer shows its first two as before,
    // the details all three.
    void aMonitorsWholeEdidBesideTheAnalyzer() {
        QTemporaryDir sysfs;
        QByteArray three = FileBytes(kHdmi21) + QByteArray(128, '\0');
        three[126] = 2;
        int sum = 0;
        for (int i = 0; i < 127; ++i) {
            sum += static_cast<unsigned char>(three[i]);
        }
        three[127] = static_cast<char>((256 - sum % 256) % 256);
        three[256] = 0x02; // a CTA block: tag, revision 3, no data blocks
        three[257] = 0x03;
        three[258] = 0x04;
        three[383] = static_cast<char>(256 - 0x09);
        Write(sysfs.filePath("class/drm/card0-HDMI-A-1/edid"), three);
        qputenv("LINKVEX_SYSFS_ROOT", sysfs.path().toLocal8Bit());
        RecordingPrompt prompt;
        MainWindow window(AppOptions{}, &prompt);
        window.controller().ethernet = false;
        window.show();
        window.findChild<QAction*>("Monitors1")->trigger();
        MonitorsWindow* monitors = window.monitorsWindow();
        monitors->list()->setCurrentItem(monitors->list()->topLevelItem(0));
        QTest::mouseClick(monitors->findChild<QPushButton*>("Button_Monitor_Analyze"),
                          Qt::LeftButton);
        EdidDetailsWindow* details = window.detailsWindow();
        QVERIFY(window.analyzerWindow()->isVisible());
        QVERIFY(details->isVisible());
        QVERIFY(details->source()->text().startsWith("card0-HDMI-A-1: 384 bytes, 3 blocks"));
        QCOMPARE(details->findChild<QTreeWidget*>("Tree_EdidDetails")->topLevelItemCount(), 3);
        // Beside the analyzer, not over it.
        QVERIFY(details->frameGeometry().left() > window.analyzerWindow()->frameGeometry().left());
        qunsetenv("LINKVEX_SYSFS_ROOT");
    }

    void bothSidesOfTheComparison() {
        RecordingPrompt prompt;
        MainWindow window(AppOptions{}, &prompt);
        window.controller().ethernet = false;
        window.findChild<QAction*>("Compare1")->trigger();
        CompareWindow* w = window.compareWindow();
        QVERIFY(w->findChild<QTabWidget*>("TabWidget_Compare_Details") != nullptr);
        EdidDetailView* a = w->findChild<EdidDetailView*>("EdidDetailView_A");
        EdidDetailView* b = w->findChild<EdidDetailView*>("EdidDetailView_B");
        QVERIFY(a != nullptr && b != nullptr);
        QCOMPARE(a->details()->topLevelItemCount(), 0);
        prompt.openAnswers = {kHdmi21.toStdString()};
        QTest::mouseClick(w->findChild<QPushButton*>("Button_Compare_OpenA"), Qt::LeftButton);
        QCOMPARE(a->details()->topLevelItemCount(), 2);
        QCOMPARE(b->details()->topLevelItemCount(), 0);
        const auto video = DataBlock(FileBytes(kHdmi21), 2);
        a->details()->setCurrentItem(Child(a->details()->topLevelItem(1), "Video data block"));
        QCOMPARE(a->marked(), std::make_pair(video->first, video->second + 1));
    }
};

QTEST_MAIN(EdidDetailsTest)
#include "EdidDetailsTest.moc"
