#include "app/EdidControllerTab.h"

#include "app/DevicePresenter.h"
#include "app/Pictures.h"
#include "app/StatusDisplay.h"
#include "app/Widgets.h"
#include "edid/EdidControllerTool.h"
#include "edid/InputModeTool.h"

#include <QButtonGroup>
#include <QVBoxLayout>

namespace lvx {

const char* const EdidControllerTab::kModePrefixes[3] = {
    "RadioButton_Set_IntEdid", "RadioButton_Set_ExtEdid", "RadioButton_Set_UserEdid"};

namespace {
constexpr int kColumnLeft[3] = {104, 232, 357};
constexpr int kRowTop[8] = {36, 53, 70, 87, 104, 121, 137, 155};
const char* const kCaptions[3] = {"Internal %1", "External %1", "User %1"};
} // namespace

EdidControllerTab::EdidControllerTab(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->setSpacing(6);

    transferGroup_ = MakeGroup(this, QStringLiteral("GroupBox3"),
                               QStringLiteral("Save  /  Upload  /  Analysis"));
    transferGroup_->setFixedHeight(96);
    layout->addWidget(transferGroup_);
    MakeLabel(transferGroup_, QStringLiteral("Label_EdidSel"), tr("EDID :"), 10, 30);
    nodeList_ = MakeList(transferGroup_, QStringLiteral("ComboBox_EdidSel_All"), 60, 26, 150);
    openButton_ = MakeSpeedButton(transferGroup_, QStringLiteral("SpeedButton_OpenEdid"),
                                  tr("Open EDID to Upload"), 230, 20, 40);
    saveButton_ = MakeSpeedButton(transferGroup_, QStringLiteral("SpeedButton_SaveEdid"),
                                  tr("Save EDID"), 280, 20, 40);
    analysisButton_ = MakeSpeedButton(transferGroup_, QStringLiteral("SpeedButton_AnalysisEdid"),
                                      tr("Analysis EDID"), 330, 20, 40);
    statusLabel_ = MakeLabel(transferGroup_, QStringLiteral("Label2"), QString(), 10, 66, 400);
    pathEdit_ = Named(new QLineEdit(transferGroup_), QStringLiteral("Edit_Edid_Path"));
    pathEdit_->hide();

    modeGroup_ = MakeGroup(this, QStringLiteral("GroupBox12"), QStringLiteral("Mode Select"));
    modeGroup_->setFixedHeight(65);
    layout->addWidget(modeGroup_);
    layout->addStretch(1);
    inputChooser_ = MakeList(modeGroup_, QStringLiteral("ComboBox_Edid_In"), 8, 32, 86);
    inputChooser_->hide();
    columnCaption_ = MakeLabel(modeGroup_, QStringLiteral("Label30"),
                               tr("Internal                       External                    "
                                  "  User"),
                               kColumnLeft[0], 18);
    columnCaption_->hide();
    auto* group = Named(new QButtonGroup(modeGroup_), QStringLiteral("ModeButtons"));
    group->setExclusive(true);
    for (int column = 0; column < 3; ++column) {
        for (int k = 1; k <= 8; ++k) {
            auto* button =
                Named(new QRadioButton(QString::fromLatin1(kCaptions[column]).arg(k), modeGroup_),
                      QString::fromLatin1(kModePrefixes[column]) + QString::number(k));
            button->setGeometry(kColumnLeft[column], kRowTop[k - 1], 110, 17);
            button->setEnabled(false);
            group->addButton(button);
        }
    }
}

QRadioButton* EdidControllerTab::modeButton(const QString& prefix, int number) const {
    return Find<QRadioButton>(modeGroup_, prefix + QString::number(number));
}

void EdidControllerTab::setLists(const EdidSelectionLists& lists, bool withInputChooser) {
    auto fill = [](QComboBox* box, const std::vector<std::string>& items, int selected) {
        const QSignalBlocker blocker(box);
        box->clear();
        for (const std::string& item : items) {
            box->addItem(QString::fromStdString(item));
        }
        box->setCurrentIndex(items.empty() ? -1 : selected);
    };
    fill(nodeList_, lists.all, lists.selected);
    if (withInputChooser) {
        fill(inputChooser_, lists.input, lists.selected);
        inputChooser_->setVisible(lists.inputVisible);
    }
}

void EdidControllerTab::clearLists() {
    const QSignalBlocker blocker(nodeList_);
    nodeList_->clear();
}

void EdidControllerTab::applyModeLayout(const SelectionView& view) {
    modeGroup_->setVisible(view.modeSelectGroup);
    if (!view.modeSelectGroup) {
        return;
    }
    modeGroup_->setFixedHeight(view.modeGroupHeight);
    const int shown[3] = {view.internalRadios, view.externalRadios, view.userRadios};
    for (int column = 0; column < 3; ++column) {
        for (int k = 1; k <= 8; ++k) {
            modeButton(QString::fromLatin1(kModePrefixes[column]), k)
                ->setVisible(k <= shown[column]);
        }
    }
    columnCaption_->setVisible(view.columnCaption);
}

} // namespace lvx

namespace lvx {

void EdidControllerTab::bind(EdidControllerTool* tool, InputModeTool* modes, Prompt* prompt) {
    tool_ = tool;
    modes_ = modes;
    prompt_ = prompt;

    connect(nodeList_, &QComboBox::currentIndexChanged, this, &EdidControllerTab::onNodeItem);
    connect(tool_, &EdidControllerTool::uploadPictureChanged, this,
            [this](const QString& picture) { SetPicture(openButton_, picture); });
    // A result stays a second after its flow, a failure one and a half.
    StatusHolds holds;
    holds.success = 1000;
    holds.warning = 1500;
    holds.failure = 1500;
    ShowStatusIn(statusLabel_, *tool_, holds);
    auto currentNode = [this] {
        return NodeFromAllListIndex(tool_->counts(), nodeList_->currentIndex());
    };
    connect(openButton_, &QToolButton::clicked, this, [this, currentNode] {
        if (const std::optional<NodeRef> node = currentNode()) {
            tool_->upload(*node, *prompt_);
            pathEdit_->setText(tool_->uploadPath());
        }
    });
    connect(saveButton_, &QToolButton::clicked, this, [this, currentNode] {
        if (const std::optional<NodeRef> node = currentNode()) {
            tool_->save(*node, *prompt_);
        }
    });
    connect(analysisButton_, &QToolButton::clicked, this, [this, currentNode] {
        if (const std::optional<NodeRef> node = currentNode()) {
            if (tool_->analysisRead(*node)) {
                emit analysisReady();
            }
        }
    });

    // The input chooser reads the chosen input's mode; a press on a source sets it.
    connect(inputChooser_, &QComboBox::activated, this,
            [this](int index) { modes_->chooseInput(index); });
    for (int column = 0; column < 3; ++column) {
        for (int k = 1; k <= 8; ++k) {
            QRadioButton* button = modeButton(QString::fromLatin1(kModePrefixes[column]), k);
            connect(button, &QRadioButton::pressed, this, [this, column, k] {
                modes_->press({static_cast<ModeColumn>(column), k});
            });
        }
    }
    connect(modes_, &InputModeTool::buttonsChanged, this, &EdidControllerTab::showModeButtons);
}

void EdidControllerTab::onNodeItem(int index) {
    if (index < 0 || tool_ == nullptr) {
        return;
    }
    const int selected = tool_->selectNodeItem(index);
    if (selected != index && selected >= 0) {
        const QSignalBlocker blocker(nodeList_);
        nodeList_->setCurrentIndex(selected);
    }
}

void EdidControllerTab::showModeButtons() {
    auto* group = findChild<QButtonGroup*>(QStringLiteral("ModeButtons"));
    // Exclusive groups keep one button checked; the tool may want none.
    group->setExclusive(false);
    for (int column = 0; column < 3; ++column) {
        for (int k = 1; k <= 8; ++k) {
            QRadioButton* button = modeButton(QString::fromLatin1(kModePrefixes[column]), k);
            const InputModeTool::ButtonState state =
                modes_->button({static_cast<ModeColumn>(column), k});
            button->setEnabled(state.enabled);
            button->setChecked(state.checked);
        }
    }
    group->setExclusive(true);
}

void EdidControllerTab::setModeButtonsEnabled(const ModeSelectCounts& counts) {
    if (modes_ != nullptr) {
        if (!counts.any()) {
            modes_->disableAll();
        } else {
            modes_->enableForConnect(counts);
        }
        return;
    }
    const int enabled[3] = {counts.internal, counts.external, counts.user};
    for (int column = 0; column < 3; ++column) {
        for (int k = 1; k <= 8; ++k) {
            modeButton(QString::fromLatin1(kModePrefixes[column]), k)
                ->setEnabled(k <= enabled[column]);
        }
    }
}

} // namespace lvx
