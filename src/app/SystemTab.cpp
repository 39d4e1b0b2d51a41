#include "app/SystemTab.h"

#include "app/Pictures.h"
#include "app/Placement.h"
#include "app/StatusDisplay.h"
#include "app/WidgetPrompt.h"
#include "app/Widgets.h"
#include "system/FirmwareTool.h"
#include "system/SystemConfigTool.h"

#include <QMessageBox>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>

namespace lvx {

namespace {

// The System tab's dialogs: the warnings stand at the Commander window's left edge + 115 and
// top edge + 130. A prompt that is not the program's own (a test's) is asked as it is; file
// dialogs are the given prompt's (the firmware dialog starts in the firmware folder).
class SystemPrompt : public Prompt {
public:
    SystemPrompt(Prompt* inner, QWidget* anchor) : inner_(inner), anchor_(anchor) {}

    std::string openFileName(const std::string& filter) override {
        return inner_->openFileName(filter);
    }
    std::string saveFileName(const std::string& filter, const std::string& proposed) override {
        return inner_->saveFileName(filter, proposed);
    }
    std::string openFileNameFor(FileKind kind, const std::string& filter) override {
        return inner_->openFileNameFor(kind, filter);
    }
    std::string saveFileNameFor(FileKind kind, const std::string& filter,
                                const std::string& proposed) override {
        return inner_->saveFileNameFor(kind, filter, proposed);
    }
    void message(const std::string& caption, const std::string& text) override {
        inner_->message(caption, text);
    }
    bool confirm(const std::string& caption, const std::string& text) override {
        return ask(caption, text, false);
    }
    bool confirmIrreversible(const std::string& caption, const std::string& text) override {
        return ask(caption, text, true);
    }

private:
    bool ask(const std::string& caption, const std::string& text, bool cancelFirst) {
        if (dynamic_cast<WidgetPrompt*>(inner_) == nullptr || anchor_ == nullptr) {
            return cancelFirst ? inner_->confirmIrreversible(caption, text)
                               : inner_->confirm(caption, text);
        }
        QMessageBox box(QMessageBox::Warning, QString::fromStdString(caption),
                        QString::fromStdString(text), QMessageBox::Ok | QMessageBox::Cancel,
                        anchor_);
        box.setObjectName(QStringLiteral("WarningBox"));
        if (cancelFirst) {
            box.setDefaultButton(QMessageBox::Cancel);
        }
        const QPoint place = anchor_->pos() + QPoint(115, 130);
        box.move(place);
        // Its size is known once shown: near a screen edge it moves back into view.
        QTimer::singleShot(0, &box, [&box, place, this] { PlaceInView(&box, place, anchor_); });
        return box.exec() == QMessageBox::Ok;
    }

    Prompt* inner_;
    QWidget* anchor_;
};

} // namespace

SystemTab::SystemTab(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet2"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);

    firmware_ = MakeGroup(this, QStringLiteral("GroupBox4"), QStringLiteral("Firmware"));
    firmware_->setFixedHeight(48);
    version_ = MakeLabel(firmware_, QStringLiteral("Label_FW_Version"), QString(), 10, 22, 420);
    path_ = Named(new QLineEdit(firmware_), QStringLiteral("Edit_Fw_Path"));
    path_->setReadOnly(true);
    path_->setGeometry(10, 54, 330, 24);
    open_ = MakeSpeedButton(firmware_, QStringLiteral("SpeedButton_OpenFw"), tr("Open Firmware"),
                            350, 50);
    update_ = MakeSpeedButton(firmware_, QStringLiteral("SpeedButton_UpdateFw"),
                              tr("Update Firmware"), 390, 50);
    SetPicture(open_, QStringLiteral("OpenColor"));
    SetPicture(update_, QStringLiteral("FlashColor"));
    progress_ = MakeLabel(firmware_, QStringLiteral("Label1"), QStringLiteral("0%"), 10, 94, 120);
    bar_ = Named(new QProgressBar(firmware_), QStringLiteral("ProgressBar_Fw"));
    bar_->setGeometry(135, 92, 295, 20);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    // The tab is disabled while a transfer runs; the bar keeps its colour so it is seen to move.
    bar_->setStyleSheet(QStringLiteral(
        "QProgressBar { border: 1px solid #8f8f8f; border-radius: 2px; background: white; }"
        "QProgressBar::chunk { background-color: #2e8bd8; }"));
    layout->addWidget(firmware_);

    configuration_ = MakeGroup(this, QStringLiteral("GroupBox11"), QStringLiteral("Configuration"));
    configuration_->setFixedHeight(90);
    MakeLabel(configuration_, QStringLiteral("Label10"), tr("Description :"), 10, 30);
    product_ = Named(new QLineEdit(configuration_), QStringLiteral("Edit_Product_String"));
    product_->setGeometry(95, 26, 245, 24);
    status_ = MakeLabel(configuration_, QStringLiteral("Label9"), QString(), 95, 60, 245);
    config_ = MakeSpeedButton(configuration_, QStringLiteral("SpeedButton_SysConfig"),
                              tr("Write Configuration"), 350, 22);
    default_ = MakeSpeedButton(configuration_, QStringLiteral("SpeedButton_SysDefault"),
                               tr("Factory Default"), 390, 22);
    SetPicture(config_, QStringLiteral("ModifyColor"));
    SetPicture(default_, QStringLiteral("ResetColor"));
    layout->addWidget(configuration_);

    serialNumber_ = MakeGroup(this, QStringLiteral("GroupBox13"), QStringLiteral("Serial Number"));
    serialNumber_->setFixedHeight(54);
    serial_ = MakeLabel(serialNumber_, QStringLiteral("Label_SerialNum"), QStringLiteral("SN: "),
                        10, 24, 420);
    layout->addWidget(serialNumber_);
    layout->addStretch(1);
}

SystemTab::~SystemTab() = default;

void SystemTab::bind(FirmwareTool* firmware, SystemConfigTool* config, Prompt* prompt,
                     QWidget* dialogAnchor) {
    prompt_ = std::make_unique<SystemPrompt>(prompt, dialogAnchor);

    connect(open_, &QToolButton::clicked, this,
            [this, firmware] { firmware->openFirmware(*prompt_); });
    connect(update_, &QToolButton::clicked, this, [this, firmware] {
        // The label keeps its short text; the page and the cause, or what comes next, are
        // said once the transfer has ended.
        const FirmwareTool::Outcome outcome = firmware->update(*prompt_);
        if (outcome == FirmwareTool::Outcome::Done || outcome == FirmwareTool::Outcome::Failed) {
            prompt_->message("Firmware", firmware->statusDetail().toStdString());
        }
    });
    connect(firmware, &FirmwareTool::pathChanged, path_, &QLineEdit::setText);
    connect(firmware, &FirmwareTool::versionLabelChanged, version_, &QLabel::setText);
    ShowStatusIn(progress_, *firmware);
    connect(firmware, &FirmwareTool::percentChanged, bar_, &QProgressBar::setValue);

    connect(product_, &QLineEdit::textChanged, this,
            [config](const QString& text) { config->checkLength(text.toLatin1().toStdString()); });
    connect(config_, &QToolButton::clicked, this, [this, config] {
        config->writeConfiguration(product_->text().toLatin1().toStdString());
    });
    connect(default_, &QToolButton::clicked, this,
            [this, config] { config->factoryDefault(*prompt_); });
    ShowStatusIn(status_, *config);
    connect(config, &SystemConfigTool::productStringShown, product_, &QLineEdit::setText);
}

} // namespace lvx
