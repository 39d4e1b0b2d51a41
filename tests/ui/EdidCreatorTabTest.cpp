// The "EDID Creator" tab bound to a creator model: every control of the catalogue exists with
// its name and kind, clicks and edits reach the model, and what the model changes shows.
// With LVX_SCREENSHOT_DIR set, each sub-tab is also saved as a PNG there.
#include "app/EdidCreatorTab.h"
#include "app/CommanderWindow.h"
#include "connection/ConnectionController.h"
#include "creator/CreatorControls.h"
#include "creator/CreatorModel.h"
#include "creator/CreatorTool.h"
#include "creator/EdidWorkImage.h"
#include "edid/EdidFileIO.h"
#include "edid/EdidTransfer.h"
#include "support/RecordingPrompt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace lvx;
using namespace lvx::test;

namespace {
const QString kRich = QStringLiteral(LVX_CORPUS_DIR "/A2E567512AB1.bin");
}

class EdidCreatorTabTest : public QObject {
    Q_OBJECT

    template <typename T>
    T* find(const char* name) {
        T* widget = window_->creatorTab()->findChild<T*>(QString::fromLatin1(name));
        if (widget == nullptr) {
            qWarning("no %s", name);
        }
        return widget;
    }

private slots:
    void init() {
        hex_ = std::make_unique<EdidWorkImage>();
        model_ = std::make_unique<CreatorModel>(*hex_);
        model_->setClock([] { return CalendarDate{2026, 12, 7}; });
        window_ = std::make_unique<CommanderWindow>();
        window_->creatorTab()->bind(model_.get(), nullptr, &prompt_);
        window_->activate(QStringLiteral("EDID Creator"));
    }
    void cleanup() {
        window_.reset();
        model_.reset();
        hex_.reset();
    }

    void everyCatalogueControlIsThereWithItsNameAndKind() {
        EdidCreatorTab* tab = window_->creatorTab();
        const auto& defs = CreatorControls();
        for (std::size_t id = 0; id < defs.size(); ++id) {
            const QString name = QString::fromStdString(defs[id].name);
            QWidget* widget = tab->control(static_cast<int>(id));
            QVERIFY2(widget != nullptr, qPrintable(name));
            QCOMPARE(widget->objectName(), name);
            bool kindFits = false;
            switch (defs[id].kind) {
            case ControlKind::CheckBox:
                kindFits = qobject_cast<QCheckBox*>(widget) != nullptr;
                break;
            case ControlKind::RadioButton:
                kindFits = qobject_cast<QRadioButton*>(widget) != nullptr;
                break;
            case ControlKind::Edit:
                kindFits = qobject_cast<QLineEdit*>(widget) != nullptr;
                break;
            case ControlKind::ComboBox:
                kindFits = qobject_cast<QComboBox*>(widget) != nullptr;
                break;
            case ControlKind::Label:
                kindFits = qobject_cast<QLabel*>(widget) != nullptr;
                break;
            case ControlKind::Panel:
                kindFits = qobject_cast<QFrame*>(widget) != nullptr;
                break;
            case ControlKind::Button:
                kindFits = qobject_cast<QToolButton*>(widget) != nullptr;
                break;
            }
            QVERIFY2(kindFits, qPrintable(name));
            // One widget per name.
            QCOMPARE(tab->findChildren<QWidget*>(name).size(), 1);
        }
        QVERIFY(!find<QCheckBox>("CheckBox_AudioFormat_2")->isVisibleTo(tab));
        QCOMPARE(find<QComboBox>("ComboBox_Block0_DTD")->count(), 11);
        QCOMPARE(find<QComboBox>("ComboBox_Block1_DTD1")->itemText(4),
                 QString("1920x1080p_148.50MHz"));
    }

    void brandNewShowsTheTemplateInTheControls() {
        window_->show();
        QTest::mouseClick(find<QToolButton>("SpeedButton_OpenEdid_New"), Qt::LeftButton);
        QCOMPARE(find<QLineEdit>("Edit_Creator_Manufac_Name")->text(), QString("NEW"));
        QCOMPARE(find<QLineEdit>("Edit_Creator_Monitor_Name")->text(), QString("BrandNewEdid"));
        QCOMPARE(find<QLineEdit>("Edit_Creator_Manufac_Year")->text(), QString("2026"));
        QCOMPARE(find<QLineEdit>("Edit_Creator_Manufac_Week")->text(), QString("50"));
        QVERIFY(find<QCheckBox>("CheckBox_VideoIdCode_16")->isChecked());
        QVERIFY(find<QCheckBox>("CheckBox_AudioFormat_1")->isChecked());
        QCOMPARE(find<QComboBox>("ComboBox_Block0_DTD")->currentIndex(), 4);
        QVERIFY(find<QRadioButton>("RadioButton_Edid_Fmt_Hdmi")->isChecked());
        QCOMPARE(find<QLineEdit>("Edit_Creator_CEC_Address")->text(), QString("1000"));
        QCOMPARE(int(hex_->byteAt(16)), 50);
    }

    void clicksAndEditsGoToTheModel() {
        window_->show();
        model_->brandNew();
        // A speaker pair follows either box.
        QCheckBox* fl = find<QCheckBox>("CheckBox_SpeakerPosition_8");
        QCheckBox* fr = find<QCheckBox>("CheckBox_SpeakerPosition_8r");
        window_->creatorTab()->pages()->setCurrentIndex(3);
        QTest::mouseClick(fr, Qt::LeftButton);
        QVERIFY(fl->isChecked() && fr->isChecked());
        QVERIFY(model_->checked("CheckBox_SpeakerPosition_8"));
        QTest::mouseClick(fl, Qt::LeftButton);
        QVERIFY(!fl->isChecked() && !fr->isChecked());

        // An over-long week: the warning label and the red text show.
        QLineEdit* week = find<QLineEdit>("Edit_Creator_Manufac_Week");
        window_->creatorTab()->pages()->setCurrentIndex(0);
        week->selectAll();
        QTest::keyClicks(week, "60");
        QCOMPARE(model_->text("Edit_Creator_Manufac_Week"), std::string("60"));
        QCOMPARE(find<QLabel>("Label_EdidCreator_Warning")->text(), QString("53 Limited!"));
        QVERIFY(week->styleSheet().contains("red"));
        QTest::keyClick(week, Qt::Key_Backspace);
        QCOMPARE(find<QLabel>("Label_EdidCreator_Warning")->text(), QString());
        QVERIFY(!week->styleSheet().contains("red"));

        // The manufacturer edit takes upper case.
        QLineEdit* name = find<QLineEdit>("Edit_Creator_Manufac_Name");
        name->selectAll();
        QTest::keyClicks(name, "abc");
        QCOMPARE(name->text(), QString("ABC"));

        // Letters in a number: one message, nothing else.
        QLineEdit* product = find<QLineEdit>("Edit_Creator_Product_Code");
        product->selectAll();
        QTest::keyClicks(product, "x");
        QCOMPARE(prompt_.messages.size(), std::size_t(1));
        QCOMPARE(prompt_.messages[0].text, std::string("\"x\" is not a number."));
    }

    void forDetailFoldsItsPanelAndTheScrollBoxScrollsBy15() {
        window_->resize(CommanderWindow::kWidth, CommanderWindow::kHeight);
        window_->show();
        model_->brandNew();
        QTabWidget* pages = window_->creatorTab()->pages();
        pages->setCurrentWidget(find<QWidget>("TabSheet_Audio2"));
        QScrollArea* box = window_->creatorTab()->audioScrollBox();
        QCOMPARE(window_->focusWidget(), static_cast<QWidget*>(box));
        QFrame* panel = find<QFrame>("Panel_Audio_DTS");
        QCOMPARE(panel->height(), 23);
        QTest::mouseClick(find<QCheckBox>("CheckBox_AudDetial_DTS"), Qt::LeftButton);
        QCOMPARE(panel->height(), 110);
        // Unchecking the format folds its detail panel again.
        QCheckBox* dts = find<QCheckBox>("CheckBox_AudioFormat_6");
        QTest::mouseClick(dts, Qt::LeftButton);
        QTest::mouseClick(dts, Qt::LeftButton);
        QVERIFY(!find<QCheckBox>("CheckBox_AudDetial_DTS")->isChecked());
        QCOMPARE(panel->height(), 23);

        for (const char* key : {"AC3", "EAC3", "MAT", "DTS"}) {
            QTest::mouseClick(find<QCheckBox>(("CheckBox_AudDetial_" + std::string(key)).c_str()),
                              Qt::LeftButton);
        }
        QScrollBar* bar = box->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 30); // once the layout has taken the new heights
        bar->setValue(0);
        const QPoint centre = box->viewport()->rect().center();
        QWheelEvent down(centre, box->viewport()->mapToGlobal(centre), QPoint(), QPoint(0, -120),
                         Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box->viewport(), &down);
        QCOMPARE(bar->value(), 15);
        QApplication::sendEvent(box->viewport(), &down);
        QCOMPARE(bar->value(), 30);
        QWheelEvent up(centre, box->viewport()->mapToGlobal(centre), QPoint(), QPoint(0, 120),
                       Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(box->viewport(), &up);
        QCOMPARE(bar->value(), 15);
    }

    void theSelectButtonsRunTheFlows() {
        ConnectionController connection;
        EdidTransfer transfer(connection);
        CreatorTool tool(connection, transfer, *model_);
        tool.messageWaits = false;
        window_->creatorTab()->bind(model_.get(), &tool, &prompt_);
        QTemporaryDir dir;
        // Save with nothing loaded: the warning, and no dialog.
        QTest::mouseClick(find<QToolButton>("SpeedButton_SaveEdid_Creator"), Qt::LeftButton);
        QVERIFY(prompt_.proposedNames.empty());
        // Open, then Save.
        prompt_.openAnswers = {kRich.toStdString()};
        QTest::mouseClick(find<QToolButton>("SpeedButton_OpenEdid_Creator"), Qt::LeftButton);
        QCOMPARE(find<QLineEdit>("Edit_Creator_Monitor_Name")->text(), QString("27GL850"));
        prompt_.saveAnswers = {dir.filePath("copy").toStdString()};
        QTest::mouseClick(find<QToolButton>("SpeedButton_SaveEdid_Creator"), Qt::LeftButton);
        QCOMPARE(prompt_.proposedNames, std::vector<std::string>{"Created EDID"});
        QFile saved(dir.filePath("copy.bin"));
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QFile source(kRich);
        QVERIFY(source.open(QIODevice::ReadOnly));
        // A monitor without an HDMI block loads as "DVI": its block 0 is saved as loaded, up to
        // the extension count, which becomes 0.
        QCOMPARE(saved.read(126), source.read(126));
        QCOMPARE(saved.read(1), QByteArray(1, '\0'));
        // No device: "Write EDID to Device" does nothing.
        QTest::mouseClick(find<QToolButton>("SpeedButton_CopyEdid_Creator"), Qt::LeftButton);
        QCOMPARE(find<QLabel>("Label3")->text(), QString());
    }

    // Every message Label3 shows fits it, and the label fits its group at the window's size.
    void label3IsWideEnoughForEachOfItsMessages() {
        window_->resize(CommanderWindow::kWidth, CommanderWindow::kHeight);
        window_->show();
        QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
        auto* label = find<QLabel>("Label3");
        auto* group = find<QWidget>("GroupBox_Creator_Select");
        const QStringList messages = {"Ok.",
                                      "Create Error!",
                                      "Edid Write Fail.",
                                      "Illegal Edid Header.",
                                      "Illegal Edid CheckSum0.",
                                      "Illegal Edid CheckSum1.",
                                      "Edid Over Banks."};
        for (const QString& message : messages) {
            QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(message),
                     qPrintable(message));
        }
        QVERIFY2(label->geometry().right() < group->contentsRect().right(),
                 qPrintable(QString("%1 > %2")
                                .arg(label->geometry().right())
                                .arg(group->contentsRect().right())));
        // Nothing in the group overlaps the label.
        for (QWidget* other : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (other != label && other->isVisible()) {
                QVERIFY2(!other->geometry().intersects(label->geometry()),
                         qPrintable(other->objectName()));
            }
        }
    }

    // While a flow runs, the page and its labels stay enabled; only the flow buttons are off,
    // and the write button comes back as the model holds it.
    void aRunningFlowDisablesOnlyTheFlowButtons() {
        EdidCreatorTab* tab = window_->creatorTab();
        QSignalSpy hexWanted(tab, &EdidCreatorTab::hexTableRequested);
        tab->setFlowsEnabled(false);
        QVERIFY(find<QLabel>("Label3")->isEnabled());
        QVERIFY(find<QLineEdit>("Edit_Creator_Manufac_Year")->isEnabled());
        for (const char* name : {"SpeedButton_OpenEdid_Creator", "SpeedButton_OpenEdid_New",
                                 "SpeedButton_SaveEdid_Creator", "SpeedButton_CopyEdid_Creator",
                                 "SpeedButton_CompareEdid_Creator"}) {
            QVERIFY2(!find<QToolButton>(name)->isEnabled(), name);
        }
        QVERIFY(!find<QComboBox>("ComboBox_EdidSel_Upload")->isEnabled());
        // The hex table button opens a window, no flow: it stays.
        QVERIFY(find<QToolButton>("SpeedButton_HexTable_Creator")->isEnabled());
        QTest::mouseClick(find<QToolButton>("SpeedButton_HexTable_Creator"), Qt::LeftButton);
        QCOMPARE(hexWanted.count(), 1);
        // The model's own disabling of the write button outlasts the flow's end.
        model_->setWriteEnabled(false);
        tab->setFlowsEnabled(true);
        QVERIFY(!find<QToolButton>("SpeedButton_CopyEdid_Creator")->isEnabled());
        QVERIFY(find<QToolButton>("SpeedButton_SaveEdid_Creator")->isEnabled());
        model_->setWriteEnabled(true);
        QVERIFY(find<QToolButton>("SpeedButton_CopyEdid_Creator")->isEnabled());
    }

    void screenshotsOfEverySubTab() {
        const QString dir = qEnvironmentVariable("LVX_SCREENSHOT_DIR");
        if (dir.isEmpty()) {
            QSKIP("LVX_SCREENSHOT_DIR not set");
        }
        window_->resize(CommanderWindow::kWidth, CommanderWindow::kHeight);
        window_->show();
        model_->openImage(*ReadEdidFile(kRich));
        model_->setChecked(CreatorModel::idOf("CheckBox_AudDetial_AC3"), true);
        model_->setChecked(CreatorModel::idOf("CheckBox_HDR_Detial"), true);
        model_->setText(CreatorModel::idOf("Edit_Creator_Manufac_Week"), "60");
        QTabWidget* pages = window_->creatorTab()->pages();
        for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            QTest::qWait(50);
            QVERIFY(window_->grab().save(dir + QStringLiteral("/creator-%1.png").arg(i)));
        }
        // Label3 with its longest message.
        model_->showStatus("Illegal Edid CheckSum0.", TextColour::Red);
        QTest::qWait(50);
        QVERIFY(window_->grab().save(dir + QStringLiteral("/creator-label3.png")));
    }

private:
    RecordingPrompt prompt_;
    std::unique_ptr<EdidWorkImage> hex_;
    std::unique_ptr<CreatorModel> model_;
    std::unique_ptr<CommanderWindow> window_;
};

QTEST_MAIN(EdidCreatorTabTest)
#include "EdidCreatorTabTest.moc"
