#include "app/EdidCreatorTab.h"

#include "app/Pictures.h"
#include "app/Widgets.h"
#include "common/Prompt.h"
#include "creator/CreatorControls.h"
#include "creator/CreatorModel.h"
#include "creator/CreatorTool.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLineEdit>
#include <QProxyStyle>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>

namespace lvx {

namespace {

// Every row of check boxes is this high; boxes of a row stand this far apart.
constexpr int kRow = 20;

QString Caption(const std::string& name) {
    const int id = CreatorControlId(name);
    return id < 0 ? QString() : QString::fromStdString(CreatorModel::definition(id).caption);
}

QString Qs(std::string_view text) {
    return QString::fromLatin1(text.data(), static_cast<int>(text.size()));
}

QCheckBox* Box(QWidget* parent, const std::string& name, int x, int y, int w) {
    auto* box = Named(new QCheckBox(Caption(name), parent), QString::fromStdString(name));
    box->setGeometry(x, y, w, kRow);
    return box;
}

QLineEdit* Edit(QWidget* parent, const std::string& name, int x, int y, int w) {
    auto* edit = Named(new QLineEdit(parent), QString::fromStdString(name));
    edit->setGeometry(x, y, w, 22);
    return edit;
}

QLabel* Text(QWidget* parent, const QString& text, int x, int y, int w = 0) {
    auto* label = new QLabel(text, parent);
    label->move(x, y);
    if (w > 0) {
        label->resize(w, kRow);
    } else {
        label->adjustSize();
        label->resize(label->width(), kRow);
    }
    return label;
}

// A framed panel with its caption in the top-left corner, as the creator's panels look.
QFrame* Panel(QWidget* parent, const QString& name, const QString& caption, int h) {
    auto* panel = Named(new QFrame(parent), name);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFixedHeight(h);
    if (!caption.isEmpty()) {
        Text(panel, caption, 4, 2);
    }
    return panel;
}

QComboBox* Presets(QWidget* parent, std::string_view name, int x, int y, int w) {
    auto* box = MakeList(parent, Qs(name), x, y, w);
    for (const std::string& item : CreatorModel::presetItems()) {
        box->addItem(QString::fromStdString(item));
    }
    return box;
}

// A row caption followed by a row of check boxes.
void BoxRow(QWidget* parent, int y, const QString& caption, const std::vector<std::string>& boxes,
            int boxLeft, int step) {
    Text(parent, caption, 10, y, boxLeft - 14);
    int x = boxLeft;
    for (const std::string& name : boxes) {
        Box(parent, name, x, y, step - 2);
        x += step;
    }
}

// Check boxes numbered first..last of a family, `perRow` to a row.
void BoxGrid(QWidget* parent, std::string_view prefix, int first, int last, int x0, int y0,
             int perRow, int step) {
    for (int n = first; n <= last; ++n) {
        const int k = n - first;
        Box(parent, FamilyName(prefix, n), x0 + (k % perRow) * step, y0 + (k / perRow) * kRow,
            step - 2);
    }
}

std::string Vic(int vic) {
    return FamilyName("CheckBox_VideoIdCode_", vic);
}

std::string Yuv(int vic) {
    return FamilyName("CheckBox_YUV420VDB_", vic);
}

// --- Layout tables ---------------------------------------------------------------------

struct DescriptorRow {
    std::string_view edit;
    const char* caption;
    const char* limit;
    int width;
};
constexpr DescriptorRow kDescriptorRows[] = {
    {names::kManufacturer, "Manufacturer", "3 Letters Limited.", 60},
    {names::kMonitor, "Monitor Name", "13 Letters Limited.", 130},
    {names::kProduct, "Product Code", "65535 Limited.", 80},
    {names::kSerial, "Serial Number", "4 Billion Limited.", 110},
    {names::kYear, "Year", "1990~2245 Limited.", 60},
    {names::kWeek, "Week", "53 Limited.", 40},
};

struct VideoRow {
    const char* caption;
    std::vector<std::string> boxes;
};
const std::vector<VideoRow>& VideoRows() {
    static const std::vector<VideoRow> rows = {
        {"4K(6G)", {Vic(96), Vic(97)}},
        {"480i", {Vic(6)}},
        {"480p", {Vic(3)}},
        {"576i", {Vic(21)}},
        {"576p", {Vic(18)}},
        {"720p", {Vic(60), Vic(61), Vic(62), Vic(19), Vic(4)}},
        {"1080i", {Vic(20), Vic(5)}},
        {"1080p", {Vic(32), Vic(33), Vic(34), Vic(31), Vic(16)}},
        {"4K(3G)", {Vic(93), Vic(94), Vic(95), Yuv(96), Yuv(97)}},
    };
    return rows;
}

// The speaker pairs in a 3 x 2 grid, then the single speakers in one row.
constexpr int kSpeakerPairs[] = {1, 2, 3, 5, 8, 11};
constexpr int kSpeakerSingles[] = {4, 6, 7, 9, 10};

// The sub-tab bar with less room around each caption, so that all seven captions fit the
// width of the Commander window.
class CompactTabStyle : public QProxyStyle {
public:
    CompactTabStyle() : QProxyStyle(QStyleFactory::create(QApplication::style()->name())) {}
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        if (metric == PM_TabBarTabHSpace) {
            return 8;
        }
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

QString Colour(TextColour colour) {
    switch (colour) {
    case TextColour::Red:
        return QStringLiteral("color: red");
    case TextColour::DarkBlue:
        return QStringLiteral("color: darkblue");
    case TextColour::Black:
        break;
    }
    return QString();
}

} // namespace

EdidCreatorTab::EdidCreatorTab(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet4"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(2, 4, 2, 2);
    layout->setSpacing(3);
    layout->addWidget(buildSelectGroup());
    layout->addWidget(buildPages(), 1);

    QLabel* warning = MakeLabel(this, Qs(names::kWarningLabel), QString(), 0, 0);
    warning->setFixedHeight(16);
    layout->addWidget(warning);

    // The hidden format box 2 exists for the family's numbering only.
    auto* hidden = Named(new QCheckBox(this), QStringLiteral("CheckBox_AudioFormat_2"));
    hidden->hide();

    controls_.assign(CreatorControls().size(), nullptr);
    for (std::size_t id = 0; id < controls_.size(); ++id) {
        controls_[id] = findChild<QWidget*>(QString::fromStdString(CreatorControls()[id].name));
    }
}

const std::vector<QString>& EdidCreatorTab::statusTexts() {
    static const std::vector<QString> texts = {
        QStringLiteral("Ok."),
        QStringLiteral("Create Error!"),
        QStringLiteral("Edid Write Fail."),
        QStringLiteral("Illegal Edid Header."),
        QStringLiteral("Illegal Edid CheckSum0."),
        QStringLiteral("Illegal Edid CheckSum1."),
        QStringLiteral("Edid Over Banks."),
    };
    return texts;
}

// "Select": Open, Brand New, Save, Write to Device, the comparison, the hex table, the upload
// target and the status label.
QWidget* EdidCreatorTab::buildSelectGroup() {
    auto* select =
        MakeGroup(this, QStringLiteral("GroupBox_Creator_Select"), QStringLiteral("Select"));
    select->setFixedHeight(64);
    constexpr int kStep = 33;
    int x = 8;
    auto next = [&x] {
        const int at = x;
        x += kStep;
        return at;
    };
    QToolButton* open = MakeSpeedButton(select, QStringLiteral("SpeedButton_OpenEdid_Creator"),
                                        tr("Open EDID"), next(), 20);
    SetPicture(open, QStringLiteral("OpenColor"));
    QToolButton* brandNew = MakeSpeedButton(select, QStringLiteral("SpeedButton_OpenEdid_New"),
                                            tr("Brand New EDID"), next(), 20);
    SetPicture(brandNew, QStringLiteral("BrandNewColor"));
    QToolButton* save = MakeSpeedButton(select, QStringLiteral("SpeedButton_SaveEdid_Creator"),
                                        tr("Save EDID"), next(), 20);
    SetPicture(save, QStringLiteral("SaveColor"));
    copy_ =
        MakeSpeedButton(select, Qs(names::kWriteButton), tr("Write EDID to Device"), next(), 20);
    SetPicture(copy_, QStringLiteral("CopyUpGray"));
    // What the build would change against the EDID as loaded, before it is saved or sent.
    compare_ = MakeSpeedButton(select, QStringLiteral("SpeedButton_CompareEdid_Creator"),
                               tr("What will the build change?"), next(), 20);
    SetPicture(compare_, QStringLiteral("ModifyColor"));
    // The hex table shows every edit as it is made.
    hexTable_ = MakeSpeedButton(select, QStringLiteral("SpeedButton_HexTable_Creator"),
                                tr("Show the EDID Hex Table"), next(), 20);
    SetPicture(hexTable_, QStringLiteral("HexTableColor"));
    uploadList_ = MakeList(select, QStringLiteral("ComboBox_EdidSel_Upload"), x + 2, 26, 84);
    // Label3 takes the rest of the row, and never less than its longest text needs.
    int needed = 0;
    for (const QString& text : statusTexts()) {
        needed = std::max(needed, select->fontMetrics().horizontalAdvance(text));
    }
    MakeLabel(select, Qs(names::kStatusLabel), QString(), x + 90, 30, needed + 4);
    flowControls_ = {open, brandNew, save, copy_, compare_, uploadList_};
    return select;
}

void EdidCreatorTab::setFlowsEnabled(bool enabled) {
    flowsEnabled_ = enabled;
    for (QWidget* widget : flowControls_) {
        // The write button is also the model's to disable while its own write runs.
        const bool own =
            widget != copy_ || model_ == nullptr || model_->state(names::kWriteButton).enabled;
        widget->setEnabled(enabled && own);
    }
}

// The seven sub-tabs, each built by its own function.
QWidget* EdidCreatorTab::buildPages() {
    pages_ = Named(new QTabWidget(this), QStringLiteral("PageControl2"));
    pages_->setUsesScrollButtons(false);
    auto* compact = new CompactTabStyle;
    compact->setParent(pages_->tabBar());
    pages_->tabBar()->setStyle(compact);
    const char* const pages[][2] = {
        {"TabSheet5", "Descriptor"},       {"TabSheet_PCTiming", "PC Timing"},
        {"TabSheet_SDHDUHD", "SD/HD/UHD"}, {"TabSheet_Audio1", "Audio1"},
        {"TabSheet_Audio2", "Audio2"},     {"TabSheet_ColorSpace", "Color Space"},
        {"TabSheet_Others", "Others"},
    };
    using Build = void (EdidCreatorTab::*)(QWidget*);
    const Build builders[] = {
        &EdidCreatorTab::buildDescriptorPage, &EdidCreatorTab::buildPcTimingPage,
        &EdidCreatorTab::buildVideoPage,      &EdidCreatorTab::buildAudio1Page,
        &EdidCreatorTab::buildAudio2Page,     &EdidCreatorTab::buildColorSpacePage,
        &EdidCreatorTab::buildOthersPage,
    };
    for (std::size_t i = 0; i < std::size(pages); ++i) {
        auto* page = Named(new QWidget(pages_), QString::fromLatin1(pages[i][0]));
        (this->*builders[i])(page);
        pages_->addTab(page, QString::fromLatin1(pages[i][1]));
    }
    pages_->setCurrentIndex(0);
    connect(pages_, &QTabWidget::currentChanged, this, [this](int index) {
        // Showing "Audio2" gives its scroll box the focus, so the wheel scrolls it at once.
        if (pages_->widget(index)->objectName() == QLatin1String("TabSheet_Audio2")) {
            scrollBox_->setFocus();
        }
    });
    return pages_;
}

QWidget* EdidCreatorTab::control(int id) const {
    return id >= 0 && id < static_cast<int>(controls_.size())
               ? controls_[static_cast<std::size_t>(id)]
               : nullptr;
}

void EdidCreatorTab::buildDescriptorPage(QWidget* page) {
    int y = 14;
    for (const DescriptorRow& row : kDescriptorRows) {
        Text(page, QString::fromLatin1(row.caption), 14, y + 1, 110);
        Edit(page, std::string(row.edit), 130, y, row.width);
        Text(page, QString::fromLatin1(row.limit), 275, y + 1, 150);
        y += 34;
    }
}

void EdidCreatorTab::buildPcTimingPage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    // Established timings: one row per timing, its rates side by side, from the table.
    const auto& established = EstablishedTimings();
    int rows = 1;
    for (std::size_t n = 1; n < established.size(); ++n) {
        rows += established[n].timing != established[n - 1].timing;
    }
    auto* estGroup =
        MakeGroup(page, QStringLiteral("GroupBox_EstablishTiming"), tr("Established Timing"));
    estGroup->setFixedHeight(20 + rows * kRow + 4);
    int y = 18 - kRow;
    int x = 0;
    for (std::size_t n = 0; n < established.size(); ++n) {
        if (n == 0 || established[n].timing != established[n - 1].timing) {
            y += kRow;
            x = 170;
            Text(estGroup, Qs(established[n].timing), 10, y, 150);
        }
        Box(estGroup, FamilyName("CheckBox_EstablishTiming_", static_cast<int>(n) + 1), x, y, 58);
        x += 62;
    }
    layout->addWidget(estGroup);

    auto* stdGroup =
        MakeGroup(page, QStringLiteral("GroupBox_StandardTiming"), tr("Standard Timing"));
    stdGroup->setFixedHeight(20 + 2 * kRow + 4);
    const auto& standard = StandardTimings();
    y = 18 - kRow;
    for (std::size_t n = 0; n < standard.size(); ++n) {
        if (n == 0 || standard[n].timing != standard[n - 1].timing) {
            y += kRow;
            x = 170;
            Text(stdGroup, Qs(standard[n].timing), 10, y, 150);
        }
        Box(stdGroup, FamilyName("CheckBox_StandardTiming_", static_cast<int>(n) + 1), x, y, 58);
        x += 62;
    }
    layout->addWidget(stdGroup);

    QFrame* preferred = Panel(page, QStringLiteral("Panel_PreferredTiming"), QString(), 32);
    Text(preferred, QStringLiteral("   Preferred Timing"), 4, 6, 150);
    Presets(preferred, names::kBlock0Preset, 170, 5, 200);
    layout->addWidget(preferred);
    layout->addStretch(1);
}

void EdidCreatorTab::buildVideoPage(QWidget* page) {
    int y = 8;
    for (const VideoRow& row : VideoRows()) {
        BoxRow(page, y, QString::fromLatin1(row.caption), row.boxes, 90, 66);
        y += kRow + 4;
    }
    QFrame* detail = Panel(page, QStringLiteral("Panel_DetailTiming"), QString(), 32);
    detail->setGeometry(4, y + 4, 420, 32);
    Text(detail, QStringLiteral("   Detail Timing"), 4, 6, 110);
    Presets(detail, names::kBlock1Preset, 120, 5, 200);
}

void EdidCreatorTab::buildAudio1Page(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);

    auto* lpcm =
        MakeGroup(page, QStringLiteral("GroupBox_AudioLPCM"), Qs(AudioFormats()[0].panelCaption));
    lpcm->setFixedHeight(20 + 4 * kRow + 8);
    Box(lpcm, "CheckBox_AudioFormat_1", 10, 18, 80);
    Text(lpcm, QStringLiteral("MaxCh"), 110, 18);
    Edit(lpcm, "Edit_AudioLPCM_MaxCh", 160, 17, 30);
    BoxGrid(lpcm, "CheckBox_AudioLPCM_Freq_", 1, 7, 10, 18 + kRow + 2, 4, 100);
    BoxGrid(lpcm, "CheckBox_AudioLPCM_SamBit_", 1, 3, 10, 18 + 3 * kRow + 4, 4, 100);
    layout->addWidget(lpcm);

    auto* speakers = MakeGroup(page, QStringLiteral("GroupBox_Speaker"), tr("Speaker Placement"));
    speakers->setFixedHeight(20 + 3 * kRow + 8);
    int k = 0;
    for (int n : kSpeakerPairs) {
        const std::string left = FamilyName("CheckBox_SpeakerPosition_", n);
        const int x = 10 + (k % 3) * 140;
        const int y = 18 + (k / 3) * kRow;
        Box(speakers, left, x, y, 62);
        Box(speakers, left + "r", x + 64, y, 62);
        ++k;
    }
    k = 0;
    for (int n : kSpeakerSingles) {
        Box(speakers, FamilyName("CheckBox_SpeakerPosition_", n), 10 + k * 80, 18 + 2 * kRow + 4,
            70);
        ++k;
    }
    layout->addWidget(speakers);
    layout->addStretch(1);
}

void EdidCreatorTab::buildAudio2Page(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(2, 2, 2, 2);
    scrollBox_ = Named(new QScrollArea(page), QStringLiteral("ScrollBox1"));
    scrollBox_->setWidgetResizable(true);
    scrollBox_->setFocusPolicy(Qt::StrongFocus);
    scrollBox_->setFrameShape(QFrame::NoFrame);
    scrollBox_->viewport()->installEventFilter(this);
    scrollBox_->installEventFilter(this);
    layout->addWidget(scrollBox_);

    auto* inner = new QWidget(scrollBox_);
    auto* column = new QVBoxLayout(inner);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(2);
    for (std::size_t f = 1; f < kAudioFormatCount; ++f) {
        const AudioFormatDef& a = AudioFormats()[f];
        const std::string key(a.key);
        const std::string panelName = "Panel_Audio_" + key;
        QFrame* panel = Panel(inner, QString::fromStdString(panelName), Caption(panelName),
                              CreatorModel::definition(CreatorControlId(panelName)).foldedHeight);
        Box(panel, FamilyName("CheckBox_AudioFormat_", a.box), 190, 2, 60);
        Box(panel, "CheckBox_AudDetial_" + key, 270, 2, 110);
        Text(panel, QStringLiteral("MaxCh"), 14, 28);
        Edit(panel, "Edit_Audio" + key + "_MaxCh", 64, 27, 30);
        if (a.bitRate) {
            Text(panel, QStringLiteral("Max Bit Rate"), 120, 28);
            Edit(panel, "Edit_Audio" + key + "_BitRate", 210, 27, 60);
            Text(panel, QStringLiteral("kbps"), 276, 28);
        }
        BoxGrid(panel, "CheckBox_Audio" + key + "_Freq_", 1, 7, 14, 52, 4, 98);
        column->addWidget(panel);
    }
    column->addStretch(1);
    scrollBox_->setWidget(inner);
}

void EdidCreatorTab::buildColorSpacePage(QWidget* page) {
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);
    auto row = [&](const QString& name, const QString& caption, std::string_view prefix, int first,
                   int last, int step) {
        QFrame* panel = Panel(page, name, caption, 24);
        BoxGrid(panel, prefix, first, last, 120, 2, 8, step);
        layout->addWidget(panel);
    };
    row(QStringLiteral("Panel_YCbCr"), QStringLiteral("   YCbCr"), "CheckBox_ColorSpace_", 1, 3,
        70);
    row(QStringLiteral("Panel_DeepColor"), QStringLiteral("   Deep Color"), "CheckBox_ColorDepth_",
        1, 3, 70);
    row(QStringLiteral("Panel_BT2020"), QStringLiteral("     BT2020"), "CheckBox_Colorimetry_", 1,
        3, 70);
    QFrame* colorimetry = Panel(page, QStringLiteral("Panel_Colorimetry"),
                                QStringLiteral("   Colorimetry"), 2 * kRow + 6);
    for (int n = 4; n <= 8; ++n) {
        const int k = n - 4;
        Box(colorimetry, FamilyName("CheckBox_Colorimetry_", n), 120 + (k % 3) * 110,
            2 + (k / 3) * kRow, 108);
    }
    layout->addWidget(colorimetry);
    row(QStringLiteral("Panel_HDR_DeepColor"), QStringLiteral("   HDR 4:2:0"), "CheckBox_HDR_", 1,
        3, 70);

    const std::string hdrName(names::kHdrPanel);
    QFrame* hdr = Panel(page, QString::fromStdString(hdrName), Caption(hdrName),
                        CreatorModel::definition(CreatorControlId(hdrName)).foldedHeight);
    Box(hdr, std::string(names::kHdrDetail), 270, 2, 110);
    Text(hdr, QStringLiteral("EOTF"), 14, 26);
    Box(hdr, "CheckBox_HDR_EOTF_1", 120, 26, 140);
    Box(hdr, "CheckBox_HDR_EOTF_2", 120, 26 + kRow, 180);
    Box(hdr, "CheckBox_HDR_EOTF_3", 120, 26 + 2 * kRow, 180);
    Text(hdr, QStringLiteral("Descriptor"), 14, 26 + 3 * kRow + 4);
    Box(hdr, std::string(names::kHdrDescriptor), 120, 26 + 3 * kRow + 4, 80);
    const char* const luminance[] = {"Max", "Avg", "Min"};
    Text(hdr, QStringLiteral("Luminance"), 14, 26 + 4 * kRow + 12);
    for (int n = 1; n <= 3; ++n) {
        const int x = 120 + (n - 1) * 95;
        Text(hdr, QString::fromLatin1(luminance[n - 1]), x, 26 + 4 * kRow + 12, 30);
        Edit(hdr, FamilyName("Edit_HDR_DCLD_", n), x + 32, 26 + 4 * kRow + 11, 50);
    }
    layout->addWidget(hdr);
    layout->addStretch(1);
}

void EdidCreatorTab::buildOthersPage(QWidget* page) {
    Box(page, std::string(names::kPresent3d), 14, 14, 150);
    Text(page, QStringLiteral("CEC Address"), 14, 48);
    Edit(page, std::string(names::kCec), 120, 47, 60);
    auto* format = MakeGroup(page, QStringLiteral("GroupBox_Edid_Fmt"), tr("EDID Format"));
    format->setGeometry(10, 84, 200, 50);
    for (const auto& [name, x] : {std::pair{names::kDvi, 14}, std::pair{names::kHdmi, 90}}) {
        auto* radio = Named(new QRadioButton(Caption(std::string(name)), format), Qs(name));
        radio->setGeometry(x, 22, 70, kRow);
    }
}

void EdidCreatorTab::setUploadItems(const std::vector<std::string>& items) {
    const QSignalBlocker blocker(uploadList_);
    uploadList_->clear();
    for (const std::string& item : items) {
        uploadList_->addItem(QString::fromStdString(item));
    }
    uploadList_->setCurrentIndex(items.empty() ? -1 : 0);
}

bool EdidCreatorTab::eventFilter(QObject* watched, QEvent* event) {
    if (scrollBox_ && (watched == scrollBox_->viewport() || watched == scrollBox_) &&
        event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const int dy = wheel->angleDelta().y();
        if (dy != 0) {
            QScrollBar* bar = scrollBox_->verticalScrollBar();
            bar->setValue(bar->value() + (dy < 0 ? kWheelStep : -kWheelStep));
        }
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void EdidCreatorTab::bind(CreatorModel* model, CreatorTool* tool, Prompt* prompt) {
    // A second bind replaces the first: its connections go with their context object.
    delete binding_;
    binding_ = new QObject(this);
    model_ = model;
    tool_ = tool;
    prompt_ = prompt;
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        if (controls_[i] != nullptr) {
            bindControl(static_cast<int>(i), controls_[i]);
        }
    }
    connect(model_, &CreatorModel::controlsChanged, binding_,
            [this](const QList<int>& ids) { show(ids); });
    connect(model_, &CreatorModel::conversionError, binding_, [this](const QString& text) {
        if (prompt_ != nullptr) {
            prompt_->message("Error", text.toStdString());
        }
    });
    bindButtons();
    showAll();
}

// A user's change goes to the model; the control then shows what the model holds, so a
// refused change puts it back.
void EdidCreatorTab::bindControl(int id, QWidget* widget) {
    switch (CreatorModel::definition(id).kind) {
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
        connect(static_cast<QAbstractButton*>(widget), &QAbstractButton::clicked, binding_,
                [this, id](bool on) {
                    model_->setChecked(id, on);
                    show({id});
                });
        break;
    case ControlKind::Edit:
        connect(static_cast<QLineEdit*>(widget), &QLineEdit::textEdited, binding_,
                [this, id](const QString& text) {
                    model_->setText(id, text.toLatin1().toStdString());
                    show({id});
                });
        break;
    case ControlKind::ComboBox:
        connect(static_cast<QComboBox*>(widget), &QComboBox::activated, binding_,
                [this, id](int index) {
                    model_->setIndex(id, index);
                    show({id});
                });
        break;
    default:
        break;
    }
}

void EdidCreatorTab::bindButtons() {
    auto button = [this](const char* name) {
        return findChild<QToolButton*>(QString::fromLatin1(name));
    };
    connect(button("SpeedButton_OpenEdid_Creator"), &QToolButton::clicked, binding_, [this] {
        if (tool_ != nullptr && prompt_ != nullptr) {
            tool_->openEdid(*prompt_);
        }
    });
    connect(button("SpeedButton_OpenEdid_New"), &QToolButton::clicked, binding_,
            [this] { model_->brandNew(); });
    connect(button("SpeedButton_SaveEdid_Creator"), &QToolButton::clicked, binding_, [this] {
        if (tool_ != nullptr && prompt_ != nullptr) {
            tool_->save(*prompt_);
        }
    });
    connect(compare_, &QToolButton::clicked, this, &EdidCreatorTab::compareRequested);
    connect(hexTable_, &QToolButton::clicked, this, &EdidCreatorTab::hexTableRequested);
    connect(copy_, &QToolButton::clicked, binding_, [this] {
        if (tool_ == nullptr) {
            return;
        }
        if (const std::optional<NodeRef> target =
                tool_->uploadTarget(uploadList_->currentIndex())) {
            tool_->writeToDevice(*target, prompt_);
        }
    });
}

void EdidCreatorTab::showAll() {
    QList<int> all;
    for (int id = 0; id < static_cast<int>(controls_.size()); ++id) {
        all.push_back(id);
    }
    show(all);
}

void EdidCreatorTab::show(const QList<int>& ids) {
    if (model_ == nullptr) {
        return;
    }
    for (int id : ids) {
        QWidget* widget = control(id);
        if (widget == nullptr) {
            continue;
        }
        const ControlState& s = model_->state(id);
        const QSignalBlocker blocker(widget);
        switch (CreatorModel::definition(id).kind) {
        case ControlKind::CheckBox:
        case ControlKind::RadioButton:
            static_cast<QAbstractButton*>(widget)->setChecked(s.checked);
            break;
        case ControlKind::Edit: {
            auto* edit = static_cast<QLineEdit*>(widget);
            const QString text =
                QString::fromLatin1(s.text.data(), static_cast<int>(s.text.size()));
            if (edit->text() != text) {
                const int cursor = edit->cursorPosition();
                edit->setText(text);
                edit->setCursorPosition(std::min(cursor, static_cast<int>(text.size())));
            }
            break;
        }
        case ControlKind::ComboBox:
            static_cast<QComboBox*>(widget)->setCurrentIndex(s.index);
            break;
        case ControlKind::Label:
            static_cast<QLabel*>(widget)->setText(
                QString::fromLatin1(s.text.data(), static_cast<int>(s.text.size())));
            break;
        case ControlKind::Panel:
            widget->setFixedHeight(s.height);
            break;
        case ControlKind::Button:
            break;
        }
        widget->setEnabled(s.enabled && (flowsEnabled_ || widget != copy_));
        // The status label's "Ok." is black whatever the palette says.
        const QString style =
            CreatorModel::definition(id).kind == ControlKind::Label && s.colour == TextColour::Black
                ? QStringLiteral("color: black")
                : Colour(s.colour);
        if (widget->styleSheet() != style) {
            widget->setStyleSheet(style);
        }
    }
}

} // namespace lvx
