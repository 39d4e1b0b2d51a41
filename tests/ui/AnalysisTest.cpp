// Analysis EDID against linkvex-devsim: the node's EDID is read, the analyzer window shows its
// facts, and "Copy to EDID Creator" hands it to the creator's hex table.
#include "app/AnalyzerWindow.h"
#include "app/CommanderWindow.h"
#include "app/EdidDetailsWindow.h"
#include "app/MainWindow.h"
#include "app/Pictures.h"
#include "creator/CreatorModel.h"
#include "creator/EdidWorkImage.h"
#include "edid/AnalyzerReport.h"
#include "edid/EdidFileIO.h"
#include "support/Processes.h"
#include "support/RecordingPrompt.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

using namespace lvx;
using namespace lvx::test;

namespace {
const QString kRich = QStringLiteral(LVX_CORPUS_DIR "/A2E567512AB1.bin");
}

class AnalysisTest : public QObject {
    Q_OBJECT

    void connectTo(const QString& inputEdid) {
        device_ = std::make_unique<Devsim>(
            QStringList{"--counts", "2,1,4,8,0", "--edid", "input1=" + inputEdid});
        QVERIFY(!device_->path().isEmpty());
        AppOptions options;
        options.ports = {device_->path()};
        window_ = std::make_unique<MainWindow>(options, &prompt_);
        window_->controller().ethernet = false;
        window_->show();
        window_->search();
        QCOMPARE(window_->controller().devices().count, 1);
        window_->selectRow(1);
    }

    QString label(const char* name) {
        return window_->analyzerWindow()->findChild<QLabel*>(QString::fromLatin1(name))->text();
    }

private slots:
    void cleanup() {
        window_.reset();
        device_.reset();
    }

    void analysisShowsTheNodesFactsAndCopiesThemToTheCreator() {
        connectTo(kRich);
        CommanderWindow* c = window_->commanderWindow();
        c->findChild<QComboBox*>("ComboBox_EdidSel_All")->setCurrentIndex(0);
        // Far from the analyzer window, which then follows it.
        c->move(900, 300);
        QTest::mouseClick(c->findChild<QToolButton*>("SpeedButton_AnalysisEdid"), Qt::LeftButton);

        AnalyzerWindow* analyzer = window_->analyzerWindow();
        QVERIFY(analyzer->isVisible());
        QCOMPARE(analyzer->windowTitle(), QString("EDID Analyzer"));
        // The labels say what the decoder says of the file itself.
        EdidRecord record;
        const AnalyzerReport expected = AnalyzeImage(record, *ReadEdidFile(kRich));
        QVERIFY(expected.valid);
        for (const auto& [name, text] : expected.labels) {
            if (name != "Label_Audio_Formats") {
                QCOMPARE(label(name.c_str()), QString::fromStdString(text));
            }
        }
        QCOMPARE(label("Label_Edid_Header"), QString("Good"));
        QToolButton* copy = analyzer->findChild<QToolButton*>("SpeedButton_OpenEdid_Analysis");
        QCOMPARE(PictureOf(copy), QString("ModifyColor"));
        // The analyzer moved beside the Commander window.
        QCOMPARE(analyzer->pos(), c->pos() + QPoint(465, 0));
        // The node's whole decode shows beside the analyzer.
        EdidDetailsWindow* details = window_->detailsWindow();
        QVERIFY(details->isVisible());
        QVERIFY(details->source()->text().startsWith("Input 1: 256 bytes, 2 blocks"));
        QCOMPARE(details->findChild<QTreeWidget*>("Tree_EdidDetails")->topLevelItemCount(), 2);

        QTest::mouseClick(copy, Qt::LeftButton);
        QVERIFY(!analyzer->isVisible());
        QFile file(kRich);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const EdidWorkImage& hex = window_->workImage();
        for (int offset = 0; offset < 256; ++offset) {
            QCOMPARE(int(hex.byteAt(offset)), int(static_cast<unsigned char>(bytes[offset])));
        }
        QCOMPARE(hex.colourAt(127), kCellWhite);
        QCOMPARE(window_->creatorRecord().status & 0x0180, 0x0100);
        // The load ran: the creator's controls show the copied EDID.
        QCOMPARE(QString::fromStdString(window_->creatorModel().text("Edit_Creator_Manufac_Name")),
                 label("Label_Manufac_Name"));
        QCOMPARE(c->findChild<QTabWidget*>("PageControl1")->currentWidget()->objectName(),
                 QString("TabSheet4"));
        QCOMPARE(c->findChild<QTabWidget*>("PageControl2")->currentWidget()->objectName(),
                 QString("TabSheet5"));
    }

    void invalidEdidIsShownAsIllegalAndNotCopied() {
        QTemporaryDir dir;
        QFile broken(dir.filePath("broken.bin"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write(QByteArray(256, '\x11'));
        broken.close();
        connectTo(broken.fileName());
        CommanderWindow* c = window_->commanderWindow();
        QTest::mouseClick(c->findChild<QToolButton*>("SpeedButton_AnalysisEdid"), Qt::LeftButton);
        QCOMPARE(label("Label_Edid_Header"), QString("Illegal"));
        QCOMPARE(label("Label_CEC_Address"), QString("-"));
        QToolButton* copy =
            window_->analyzerWindow()->findChild<QToolButton*>("SpeedButton_OpenEdid_Analysis");
        QCOMPARE(PictureOf(copy), QString("ModifyGray"));
        QTest::mouseClick(copy, Qt::LeftButton);
        QVERIFY(window_->analyzerWindow()->isVisible());
        QVERIFY(!window_->workImage().holdsByte(0));
        QCOMPARE(int(window_->creatorRecord().status & 0x0100), 0);
    }

private:
    std::unique_ptr<Devsim> device_;
    RecordingPrompt prompt_;
    std::unique_ptr<MainWindow> window_;
};

QTEST_MAIN(AnalysisTest)
#include "AnalysisTest.moc"
