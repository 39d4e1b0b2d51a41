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

// Seven audio formats: L-PCM 2ch and 8ch, AC-3, E-AC-3, MAT, DTS, DTS-HD (6 channels max
// outside L-PCM 8ch).
const std::vector<std::uint8_t> kAudioBlock = {0x20 | 21, 0x09, 0x07, 0x07, 0x0F, 0x07, 0x07, 0x15,
                                               0x07,      0x50, 0x55, 0x07, 0x00, 0x65, 0x07, 0x00,
                                               0x3D,      0x07, 0xC0, 0x5D, 0x07, 0x00};
// HDMI VSDB: CEC 2.0.0.0, 36/30-bit deep colour (0x30 gives 12 bits).
const std::vector<std::uint8_t> kHdmiVsdb = {0x60 | 6, 0x03, 0x0C, 0x00, 0x20, 0x00, 0x30};
// HDR static metadata: EOTF SDR, HDR and ST 2084.
const std::vector<std::uint8_t> kHdrBlock = {0xE0 | 3, 0x06, 0x07, 0x01};
// Video: VIC 16 native and VIC 4.
const std::vector<std::uint8_t> kVideoBlock = {0x40 | 2, 0x90, 0x04};

} // namespace

class AnalyzerViewTest : public QObject {
    Q_OBJECT

private slots:
    void hasTheFifteenRowsInOrderBelowEachOther() {
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
        QCOMPARE(Text(&view, "Label_Audio_Formats"), QString("-"));
        QCOMPARE(AudioPanel(&view), view.findChild<QLabel*>("Label_Audio_Formats")->parentWidget());
        // The caption of each row sits left of its value.
        const QList<QLabel*> captions = view.findChildren<QLabel*>(QString());
        QVERIFY(std::any_of(captions.begin(), captions.end(), [](const QLabel* l) {
            return l->text() == "    Audio Max Channel :";
        }));
        QToolButton* copy = CopyButton(&view);
        QVERIFY(copy);
        QCOMPARE(copy->toolTip(), QString("Copy to EDID Creator"));
        QVERIFY(copy->mapTo(&view, QPoint(0, 0)).y() >= previousBottom);
        QVERIFY(copy->geometry().bottom() < view.height());
    }

    void fillsTheLabelsOfRealEdids() {
        AnalyzerView view;
        // A DVI monitor with a CTA extension but no HDMI block, and an HDMI one.
        view.show(ReportOf(ReadCorpusFile("002959BBD30B.bin")));
        const QStringList lg = {"Good",       "Good",       "DVI",   "GSM", "LG ULTRAGEAR",
                                "1080p@60Hz", "8bit",       "No",    "No",  "No",
                                "No",         "SDR,ST2084", "2PCM,", "2CH", "0000"};
        for (int i = 0; i < kValueLabels.size(); ++i) {
            QCOMPARE(Text(&view, kValueLabels[i]), lg[i]);
        }
        QCOMPARE(PictureOf(CopyButton(&view)), QString("ModifyColor"));

        view.show(ReportOf(ReadCorpusFile("00495CE9E498.bin")));
        QCOMPARE(Text(&view, "Label_Edid_Format"), QString("HDMI"));
        QCOMPARE(Text(&view, "Label_Manufac_Name"), QString("DEL"));
        QCOMPARE(Text(&view, "Label_Monitor_Name"), QString("DELL D2721H"));
        QCOMPARE(Text(&view, "Label_CEC_Address"), QString("1000"));
        QCOMPARE(Text(&view, "Label_Audio_Formats"), QString());
        QCOMPARE(Text(&view, "Label_Audio_Channel"), QString("0CH"));
    }

    // Every file of the corpus: each label shows the text its report gives it, the audio
    // row follows the report (an invalid one keeps the previous height), and the button's
    // picture goes with validity.
    void everyCorpusFileFillsEveryLabel() {
        AnalyzerView view;
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
            const int expected = report.audioRowHeight.value_or(heightBefore);
            QCOMPARE(AudioPanel(&view)->maximumHeight(), expected);
            QCOMPARE(PictureOf(CopyButton(&view)),
                     QString(report.valid ? "ModifyColor" : "ModifyGray"));
            wrapped += expected == 38 && report.valid;
            invalid += !report.valid;
        }
        // The corpus exercises both heights and both outcomes.
        QVERIFY(wrapped > 0);
        QVERIFY(invalid > 0);
    }

    void baseBlockOnlyIsDvi() {
        AnalyzerView view;
        view.show(ReportOf(BaseBlock()));
        const QStringList expected = {"Good", "Good", "DVI", "DBB", "TV", "UNDEFINE.", "8bit", "No",
                                      "No",   "No",   "No",  "No",  "",   "0CH",       "0000"};
        for (int i = 0; i < kValueLabels.size(); ++i) {
            QCOMPARE(Text(&view, kValueLabels[i]), expected[i]);
        }
        QCOMPARE(AudioPanel(&view)->maximumHeight(), 23);
    }

    void longAudioListWrapsOnceAndInvalidKeepsTheHeight() {
        AnalyzerView view;
        view.resize(406, 460);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.show(ReportOf(WithExtension({kVideoBlock, kAudioBlock, kHdmiVsdb, kHdrBlock})));
        QCOMPARE(Text(&view, "Label_Audio_Formats"),
                 QString("2PCM,MPCM,DolbyD,DolbyD+,DolbyHD,\r\nDTS,DTSHD,"));
        QCOMPARE(Text(&view, "Label_Audio_Channel"), QString("8CH"));
        QCOMPARE(Text(&view, "Label_Edid_Format"), QString("HDMI"));
        QCOMPARE(Text(&view, "Label_Max_ColorDepth"), QString("12bit"));
        QCOMPARE(Text(&view, "Label_Support_HDR"), QString("SDR,HDR,ST2084"));
        QCOMPARE(Text(&view, "Label_Max_Resolution"), QString("1080p@60Hz"));
        QCOMPARE(Text(&view, "Label_CEC_Address"), QString("2000"));
        QFrame* audio = AudioPanel(&view);
        QTRY_COMPARE(audio->height(), 38);
        // The rows below the audio row move down with it, the label fills the taller row.
        QLabel* channel = view.findChild<QLabel*>("Label_Audio_Channel");
        QTRY_COMPARE(channel->parentWidget()->y(), audio->y() + 38);
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
        QCOMPARE(PictureOf(CopyButton(&view)), QString("ModifyColor"));
    }

    void badChecksumIsIllegalToo() {
        AnalyzerView view;
        EdidImage image = WithExtension({kAudioBlock});
        image[200] ^= 0x01;
        view.show(ReportOf(image));
        QCOMPARE(Text(&view, "Label_Edid_Header"), QString("Illegal"));
        QCOMPARE(Text(&view, "Label_Edid_Checksum"), QString("-"));
        // What a short file gives: the missing bytes read 0xFF.
        const std::uint8_t shortFile[3] = {0x00, 0xFF, 0xFF};
        view.show(ReportOf(ImageFromFileBytes(shortFile, 3)));
        QCOMPARE(Text(&view, "Label_Edid_Header"), QString("Illegal"));
    }

    void copyButtonRequestsTheCopy() {
        AnalyzerView view;
        QSignalSpy copies(&view, &AnalyzerView::copyRequested);
        view.show();
        QTest::mouseClick(CopyButton(&view), Qt::LeftButton);
        QCOMPARE(copies.count(), 1);
    }

    void windowIsFixedWithOnlyACloseBox() {
        AnalyzerWindow window;
        QCOMPARE(window.windowTitle(), QString("EDID Analyzer"));
        QCOMPARE(window.size(), QSize(422, 481));
        QCOMPARE(window.minimumSize(), window.maximumSize());
        QVERIFY(window.windowFlags() & Qt::WindowCloseButtonHint);
        QVERIFY(!(window.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(window.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(window.findChild<QFrame*>("Panel1"), window.panel());
    }

    // The group starts on the Commander window's hidden analyzer tab and moves into the
    // analyzer window with the first analysis; later analyses refresh it in place.
    void firstAnalysisMovesTheGroupIntoTheWindow() {
        CommanderWindow commander;
        AnalyzerWindow window;
        AnalyzerView* view = commander.analyzerView();
        QVERIFY(view);
        QCOMPARE(commander.analyzerTab()->findChild<AnalyzerView*>("GroupBox5"), view);
        QVERIFY(!commander.tabShown(commander.analyzerTab()));
        QVERIFY(!window.findChild<AnalyzerView*>());

        window.showAnalysis(view, ReportOf(WithExtension({kAudioBlock, kHdmiVsdb})), &commander);
        QCOMPARE(view->parentWidget(), window.panel());
        QVERIFY(!commander.analyzerTab()->findChild<AnalyzerView*>());
        QVERIFY(window.isVisible());
        QVERIFY(!window.isModal());
        QVERIFY(view->isVisible());
        QCOMPARE(Text(&window, "Label_CEC_Address"), QString("2000"));
        // The group fills the panel.
        QTRY_VERIFY(view->width() > window.width() - 40);

        window.showAnalysis(view, ReportOf(BaseBlock()), &commander);
        QCOMPARE(view->parentWidget(), window.panel());
        QCOMPARE(window.findChildren<AnalyzerView*>().size(), 1);
        QCOMPARE(Text(&window, "Label_Monitor_Name"), QString("TV"));

        // A receiver with a long audio list: the row grows inside the window.
        window.showAnalysis(view, ReportOf(ReadCorpusFile("7430BBB47285.bin")), &commander);
        QCOMPARE(Text(&window, "Label_Monitor_Name"), QString("AV Receiver"));
        QTRY_COMPARE(AudioPanel(&window)->height(), 38);
        QVERIFY(CopyButton(&window)->geometry().bottom() < view->height());
        // Every value is readable whole: no line is wider than its label, and no label
        // reaches past the window.
        for (const QString& name : kValueLabels) {
            const QLabel* label = window.findChild<QLabel*>(name);
            QVERIFY(label->mapTo(&window, QPoint(label->width(), 0)).x() <= window.width());
            for (const QString& line : label->text().split("\r\n")) {
                QVERIFY2(label->fontMetrics().horizontalAdvance(line) <= label->width(),
                         qPrintable(name + ": " + line));
            }
        }
        SaveShot(&window, "analyzer-window.png");
    }

    void placementFollowsTheCommanderWindowOnlyWhenFar() {
        QWidget commander;
        commander.move(100, 100);
        AnalyzerWindow window;
        auto* view = new AnalyzerView; // the window takes it
        const AnalyzerReport report = ReportOf(BaseBlock());
        const QPoint home(100 + 465, 100);

        // Exactly at the limits: stays.
        window.move(100 + 680, 100 + 280);
        window.showAnalysis(view, report, &commander);
        QCOMPARE(window.pos(), QPoint(780, 380));
        window.move(100 - 680, 100 - 280);
        window.showAnalysis(view, report, &commander);
        QCOMPARE(window.pos(), QPoint(-580, -180));

        // One pixel beyond either limit: comes back beside the Commander window.
        window.move(100, 100 + 281);
        window.showAnalysis(view, report, &commander);
        QCOMPARE(window.pos(), home);
        window.move(100 + 681, 100);
        window.showAnalysis(view, report, &commander);
        QCOMPARE(window.pos(), home);
        window.move(100 - 681, 100 - 281);
        window.showAnalysis(view, report, &commander);
        QCOMPARE(window.pos(), home);

        // The user moves it a little: analysing twice leaves it there.
        window.move(home + QPoint(-300, 200));
        window.showAnalysis(view, report, &commander);
        window.showAnalysis(view, report, &commander);
        QCOMPARE(window.pos(), home + QPoint(-300, 200));

        // The Commander window moves far away: the next analysis follows it.
        commander.move(1500, 900);
        window.showNear(&commander);
        QCOMPARE(window.pos(), QPoint(1500 + 465, 900));
    }

private:
    static void SaveShot(QWidget* widget, const QString& name) {
        const QString dir = qEnvironmentVariable("LVX_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            widget->grab().save(QDir(dir).filePath(name));
        }
    }
};

QTEST_MAIN(AnalyzerViewTest)
#include "AnalyzerViewTest.moc"
