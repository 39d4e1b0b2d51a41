// The analyzer's "EDID Information" group and the "EDID Analyzer" window, found by their
// controls' names, filled from real EDIDs and from images built here.
#include "app/AnalyzerView.h"
#include "app/AnalyzerWindow.h"
#include "app/CommanderWindow.h"
#include "app/Pictures.h"
#include "edid/AnalyzerReport.h"
#include "edid/EdidFile.h"

#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <initializer_list>
#include <vector>

using namespace lvx;

namespace {

const QStringList kValueLabels = {
    "Label_Edid_Header",    "Label_Edid_Checksum",  "Label_Edid_Format",    "Label_Manufac_Name",
    "Label_Monitor_Name",   "Label_Max_Resolution", "Label_Max_ColorDepth", "Label_Support_3D",
    "Label_Support_YUV420", "Label_Support_SCDC",   "Label_Support_600MHz", "Label_Support_HDR",
    "Label_Audio_Formats",  "Label_Audio_Channel",  "Label_CEC_Address"};

QString Text(const QWidget* root, const QString& name) {
    const QLabel* label = root->findChild<QLabel*>(name);
    return label ? label->text() : QStringLiteral("<no %1>").arg(name);
}

QFrame* AudioPanel(const QWidget* root) {
    return root->findChild<QFrame*>("Panel10");
}

QToolButton* CopyButton(const QWidget* root) {
    return root->findChild<QToolButton*>("SpeedButton_OpenEdid_Analysis");
}

EdidImage ReadCorpusFile(const QString& name) {
    QFile file(QDir(LVX_CORPUS_DIR).filePath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("cannot open %s", qPrintable(file.fileName()));
        return {};
    }
    const QByteArray bytes = file.read(256);
    return ImageFromFileBytes(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                              static_cast<std::size_t>(bytes.size()));
}

AnalyzerReport ReportOf(const EdidImage& image) {
    EdidRecord record;
    return AnalyzeImage(record, image);
}

// A valid base block: the fixed header, manufacturer "DBB" (0x10 0x42), a monitor name
// descriptor "TV", no extension.
EdidImage BaseBlock() {
    EdidImage image{};
    const std::uint8_t header[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::copy(std::begin(header), std::end(header), image.begin());
    image[8] = 0x10;
    image[9] = 0x42;
    image[18] = 1;
    image[19] = 3;
    const std::uint8_t name[] = {0x00, 0x00, 0x00, 0xFC, 0x00, 'T', 'V', 0x0A};
    std::copy(std::begin(name), std::end(name), image.begin() + 72);
    image[127] = BlockChecksum(image, 0);
    return image;
}

// The base block with one CTA extension holding the given data blocks.
EdidImage WithExtension(std::initializer_list<std::vector<std::uint8_t>> blocks) {
    EdidImage image = BaseBlock();
    image[126] = 1;
    image[127] = BlockChecksum(image, 0);
    image[128] = 0x02;
    image[129] = 0x03;
    std::size_t at = 132;
    for (const auto& block : blocks) {
        std::copy(block.begin(), block.end(), image.begin() + static_cast<long>(at));
        at += block.size();
    }
    image[130] = static_cast<std::uint8_t>(at - 128);
    image[255] = BlockChecksum(image, 1);
    return image;
}

// Seven audio formats: L-PCM 2ch and 8ch, AC-3, E-AC-3, MAT, DTS, DTS-HD.
const std::vector<std::uint8_t> kAudioBlock = {0x20 | 21, 0x09, 0x07, 0x07, 0x0F, 0x07, 0x07, 0x15,
                                               0x07,      0x50, 0x55, 0x07, 0x00, 0x65, 0x07, 0x00,
                                               0x3D,      0x07, 0xC0, 0x5D, 0x07, 0x00};
// HDMI VSDB with the physical address 2.0.0.0.
const std::vector<std::uint8_t> kHdmiVsdb = {0x60 | 5, 0x03, 0x0C, 0x00, 0x20, 0x00};

} // namespace

class AnalyzerViewTest : public QObject {
    Q_OBJECT

private slots:
    // Fifteen rows of 23 stacked from the top, values at 188, the copy button below them.
    void rowsAndCopyButton() {
        AnalyzerView view;
        view.resize(406, 460);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QCOMPARE(view.objectName(), QString("GroupBox5"));
        QCOMPARE(view.title(), QString("EDID Information"));
        int previousBottom = -1;
        for (const QString& name : kValueLabels) {
            QLabel* value = view.findChild<QLabel*>(name);
            QVERIFY2(value, qPrintable(name));
            const QWidget* row = value->parentWidget();
            QCOMPARE(row->height(), 23);
            QCOMPARE(value->mapTo(row, QPoint(0, 0)).x(), AnalyzerView::kValueLeft);
            const int top = row->mapTo(&view, QPoint(0, 0)).y();
            QVERIFY2(top >= previousBottom, qPrintable(name));
            previousBottom = top + row->height();
        }
        QCOMPARE(AudioPanel(&view), view.findChild<QLabel*>("Label_Audio_Formats")->parentWidget());
        QToolButton* copy = CopyButton(&view);
        QCOMPARE(copy->toolTip(), QString("Copy to EDID Creator"));
        QVERIFY(copy->mapTo(&view, QPoint(0, 0)).y() >= previousBottom);
        QSignalSpy copies(&view, &AnalyzerView::copyRequested);
        QTest::mouseClick(copy, Qt::LeftButton);
        QCOMPARE(copies.count(), 1);
    }

    // Every corpus file: each label shows its report's text, the audio row follows the
    // report (an invalid one keeps the previous height), the picture goes with validity.
    void everyCorpusFile() {
        AnalyzerView view;
        view.show(ReportOf(ReadCorpusFile("002959BBD30B.bin")));
        const QStringList lg = {"Good",       "Good",       "DVI",   "GSM", "LG ULTRAGEAR",
                                "1080p@60Hz", "8bit",       "No",    "No",  "No",
                                "No",         "SDR,ST2084", "2PCM,", "2CH", "0000"};
        for (int i = 0; i < kValueLabels.size(); ++i) {
            QCOMPARE(Text(&view, kValueLabels[i]), lg[i]);
        }
        const QStringList files = QDir(LVX_CORPUS_DIR).entryList({"*.bin"}, QDir::Files);
        QVERIFY(files.size() >= 1000);
        int wrapped = 0;
        int invalid = 0;
        for (const QString& file : files) {
            const int heightBefore = AudioPanel(&view)->maximumHeight();
            const AnalyzerReport report = ReportOf(ReadCorpusFile(file));
            view.show(report);
            for (const QString& name : kValueLabels) {
                QCOMPARE(Text(&view, name),
                         QString::fromLatin1(report.text(name.toStdString()).c_str()));
            }
            // One line is 23 pixels high, a wrapped text 38; an invalid EDID keeps the row.
            const int expected =
                report.valid ? (report.audioFormats.find("\r\n") != std::string::npos ? 38 : 23)
                             : heightBefore;
            QCOMPARE(AudioPanel(&view)->maximumHeight(), expected);
            QCOMPARE(PictureOf(CopyButton(&view)),
                     QString(report.valid ? "ModifyColor" : "ModifyGray"));
            wrapped += expected == 38 && report.valid;
            invalid += !report.valid;
        }
        QVERIFY(wrapped > 0);
        QVERIFY(invalid > 0);
    }

    void audioWrapsOnceAndInvalidKeepsTheHeight() {
        AnalyzerView view;
        view.resize(406, 460);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.show(ReportOf(WithExtension({kAudioBlock})));
        QCOMPARE(Text(&view, "Label_Audio_Formats"),
                 QString("2PCM,MPCM,DolbyD,DolbyD+,DolbyHD,\r\nDTS,DTSHD,"));
        QCOMPARE(Text(&view, "Label_Audio_Channel"), QString("8CH"));
        QFrame* audio = AudioPanel(&view);
        QTRY_COMPARE(audio->height(), 38);
        // The rows below move down with it; the label fills the taller row.
        QTRY_COMPARE(view.findChild<QLabel*>("Label_Audio_Channel")->parentWidget()->y(),
                     audio->y() + 38);
        QCOMPARE(view.findChild<QLabel*>("Label_Audio_Formats")->height(), 38);

        EdidImage broken = BaseBlock();
        broken[0] = 0x01;
        view.show(ReportOf(broken));
        QCOMPARE(Text(&view, "Label_Edid_Header"), QString("Illegal"));
        for (const QString& name : kValueLabels.mid(1)) {
            QCOMPARE(Text(&view, name), QString("-"));
        }
        QCOMPARE(PictureOf(CopyButton(&view)), QString("ModifyGray"));
        QCOMPARE(audio->maximumHeight(), 38);

        view.show(ReportOf(BaseBlock()));
        QCOMPARE(audio->maximumHeight(), 23);
        QCOMPARE(Text(&view, "Label_Monitor_Name"), QString("TV"));
        QCOMPARE(PictureOf(CopyButton(&view)), QString("ModifyColor"));
    }

    // The group starts on the Commander window's hidden analyzer tab and moves into the
    // analyzer window's Panel1 with the first analysis; later ones refresh it in place.
    void firstAnalysisMovesTheGroupIntoTheWindow() {
        CommanderWindow commander;
        AnalyzerWindow window;
        QCOMPARE(window.windowTitle(), QString("EDID Analyzer"));
        QCOMPARE(window.size(), QSize(422, 481));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        AnalyzerView* view = commander.analyzerView();
        QCOMPARE(commander.analyzerTab()->findChild<AnalyzerView*>("GroupBox5"), view);
        QVERIFY(!commander.tabShown(commander.analyzerTab()));

        window.showAnalysis(view, ReportOf(WithExtension({kAudioBlock, kHdmiVsdb})), &commander);
        QCOMPARE(view->parentWidget(), window.findChild<QFrame*>("Panel1"));
        QVERIFY(!commander.analyzerTab()->findChild<AnalyzerView*>());
        QVERIFY(window.isVisible() && !window.isModal() && view->isVisible());
        QCOMPARE(Text(&window, "Label_CEC_Address"), QString("2000"));

        // A receiver with a long audio list, the second time round.
        window.showAnalysis(view, ReportOf(ReadCorpusFile("7430BBB47285.bin")), &commander);
        QCOMPARE(window.findChildren<AnalyzerView*>().size(), 1);
        QCOMPARE(Text(&window, "Label_Monitor_Name"), QString("AV Receiver"));
        QTRY_COMPARE(AudioPanel(&window)->height(), 38);
        QVERIFY(CopyButton(&window)->geometry().bottom() < view->height());
        // Every value is readable whole: no line wider than its label, no label past the
        // window's edge.
        for (const QString& name : kValueLabels) {
            const QLabel* label = window.findChild<QLabel*>(name);
            QVERIFY(label->mapTo(&window, QPoint(label->width(), 0)).x() <= window.width());
            for (const QString& line : label->text().split("\r\n")) {
                QVERIFY2(label->fontMetrics().horizontalAdvance(line) <= label->width(),
                         qPrintable(name + ": " + line));
            }
        }
        const QString shots = qEnvironmentVariable("LVX_SCREENSHOT_DIR");
        if (!shots.isEmpty()) {
            window.grab().save(QDir(shots).filePath("analyzer-window.png"));
        }
    }

    void placementFollowsTheCommanderWindowOnlyWhenFar() {
        QWidget commander;
        commander.move(100, 100);
        AnalyzerWindow window;
        auto* view = new AnalyzerView; // the window takes it
        const AnalyzerReport report = ReportOf(BaseBlock());
        const QPoint home(100 + 465, 100);
        const auto placedFrom = [&](QPoint start) {
            window.move(start);
            window.showAnalysis(view, report, &commander);
            return window.pos();
        };
        // At the limits it stays; one pixel beyond either, it comes back.
        QCOMPARE(placedFrom({780, 380}), QPoint(780, 380));
        QCOMPARE(placedFrom({-580, -180}), QPoint(-580, -180));
        QCOMPARE(placedFrom({100, 381}), home);
        QCOMPARE(placedFrom({781, 100}), home);
        QCOMPARE(placedFrom({-581, -181}), home);
        // Left where the user put it, analysing twice does not move it.
        QCOMPARE(placedFrom(home + QPoint(-300, 200)), home + QPoint(-300, 200));
        window.showAnalysis(view, report, &commander);
        QCOMPARE(window.pos(), home + QPoint(-300, 200));
    }
};

QTEST_MAIN(AnalyzerViewTest)
#include "AnalyzerViewTest.moc"
