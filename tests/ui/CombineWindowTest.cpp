// Tool > Combine EDIDs...: a file, this PC's monitor (a made-up sysfs tree) and the device's
// output (linkvex-devsim) combined; the features table, an intent, the result saved and
// sent to the creator. With LVX_SCREENSHOTS set to a folder the window is saved there.
#include "app/CombineWindow.h"
#include "app/MainWindow.h"
#include "edid/CombineTool.h"
#include "support/Processes.h"
#include "support/RecordingPrompt.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace lvx;
using namespace lvx::test;

namespace {

const QString kTv = QStringLiteral(LVX_CORPUS_DIR "/0146DD9202CC.bin");
const QString kLg = QStringLiteral(LVX_CORPUS_DIR "/002959BBD30B.bin");
const QString kOther = QStringLiteral(LVX_CORPUS_DIR "/242C30E096F2.bin");

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class CombineWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir sysfs_;
    QTemporaryDir files_;
    RecordingPrompt prompt_;
    std::unique_ptr<Devsim> device_;
    std::unique_ptr<MainWindow> window_;

    template <typename T>
    T* in(QWidget* w, const char* name) {
        return w->findChild<T*>(QString::fromLatin1(name));
    }

private slots:
    void cleanup() {
        window_.reset();
        device_.reset();
        qunsetenv("LINKVEX_SYSFS_ROOT");
    }

    void threeDisplaysCombinedAndTheResultGoesOut() {
        const QString drm = sysfs_.filePath("class/drm/card0-HDMI-A-1");
        QDir().mkpath(drm);
        QFile edid(drm + "/edid");
        QVERIFY(edid.open(QIODevice::WriteOnly));
        edid.write(FileBytes(kLg));
        edid.close();
        qputenv("LINKVEX_SYSFS_ROOT", sysfs_.path().toLocal8Bit());
        device_ = std::make_unique<Devsim>(
            QStringList{"--counts", "2,1,4,8,0", "--edid", "output1=" + kOther});
        QVERIFY(!device_->path().isEmpty());
        AppOptions options;
        options.ports = {device_->path()};
        window_ = std::make_unique<MainWindow>(options, &prompt_);
        window_->controller().ethernet = false;
        window_->show();
        window_->search();
        QCOMPARE(window_->controller().devices().count, 1);
        window_->selectRow(1);

        window_->findChild<QAction*>("Combine1")->trigger();
        CombineWindow* w = window_->combineWindow();
        QVERIFY(w && w->isVisible());
        prompt_.openAnswers.push_back(kTv.toStdString());
        QTest::mouseClick(in<QPushButton>(w, "CombineAddFile"), Qt::LeftButton);
        QCOMPARE(in<QComboBox>(w, "CombineMonitors")->count(), 1);
        QTest::mouseClick(in<QPushButton>(w, "CombineAddMonitor"), Qt::LeftButton);
        QCOMPARE(in<QComboBox>(w, "CombineOutputs")->count(), 1);
        QTest::mouseClick(in<QPushButton>(w, "CombineAddOutput"), Qt::LeftButton);
        QVERIFY2(prompt_.messages.empty(),
                 prompt_.messages.empty() ? "" : prompt_.messages.front().text.c_str());
        QCOMPARE(w->sourcesTable()->rowCount(), 3);
        // Area, feature, three displays, result, why.
        QCOMPARE(w->featuresTable()->columnCount(), 7);
        QVERIFY(w->featuresTable()->rowCount() > 10);
        QCOMPARE(w->featuresTable()->horizontalHeaderItem(2)->text(), QString("0146DD9202CC.bin"));
        QVERIFY(w->summary()->text().startsWith("Result:"));

        // The 4K television as the video-only display; an intent ticked.
        w->sourcesTable()->item(0, 1)->setCheckState(Qt::Checked);
        w->intentBox(static_cast<std::size_t>(CombineIntent::Audio2ch))->setChecked(true);
        QTest::qWait(50);
        const QString folder = qEnvironmentVariable("LVX_SCREENSHOTS");
        if (!folder.isEmpty()) {
            w->grab().save(folder + "/combine.png");
        }

        const QString out = files_.filePath("combined.bin");
        prompt_.saveAnswers.push_back(out.toStdString());
        QTest::mouseClick(in<QPushButton>(w, "CombineSave"), Qt::LeftButton);
        const QByteArray saved = FileBytes(out);
        QVERIFY(saved.size() == 256 || saved.size() == 128);
        QTest::mouseClick(in<QPushButton>(w, "CombineToCreator"), Qt::LeftButton);
        QVERIFY2(prompt_.messages.empty(),
                 prompt_.messages.empty() ? "" : prompt_.messages.front().text.c_str());
    }
};

QTEST_MAIN(CombineWindowTest)
#include "CombineWindowTest.moc"
