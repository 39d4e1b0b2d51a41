#include "app/MultiComTab.h"

#include "app/Pictures.h"
#include "app/Widgets.h"
#include "multicom/MultiComTool.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace lvx {

namespace {

struct ChannelPlace {
    const char* group;
    int left;
    int top;
};
constexpr ChannelPlace kChannels[kChannelMax] = {
    {"GroupBox2", 5, 185},    {"GroupBox8", 5, 366},    {"GroupBox14", 5, 547},
    {"GroupBox16", 575, 4},   {"GroupBox17", 575, 185}, {"GroupBox18", 575, 366},
    {"GroupBox19", 575, 547},
};

// The "  Main  " group's channel boxes keep their given names: there is no CheckBox4.
constexpr const char* kMainChannelBoxes[kChannelMax] = {
    "CheckBox1", "CheckBox2", "CheckBox3", "CheckBox5", "CheckBox6", "CheckBox7", "CheckBox8"};

template <std::size_t N>
QComboBox* MakeItems(QWidget* parent, const QString& name, const std::array<const char*, N>& items,
                     int x, int y, int w) {
    QComboBox* box = MakeList(parent, name, x, y, w);
    for (const char* item : items) {
        box->addItem(QString::fromLatin1(item));
    }
    box->setCurrentIndex(0);
    return box;
}

void SetMemoColour(QPlainTextEdit* memo, std::uint32_t rgb) {
    QPalette palette = memo->palette();
    const QColor colour(static_cast<int>((rgb >> 16) & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                        static_cast<int>(rgb & 0xFF));
    // Every colour group: a disabled memo shows the colour of its channel too.
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, colour);
    }
    memo->setPalette(palette);
}

} // namespace

MultiComTab::MultiComTab(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("TabSheet13"));
    // The groups keep their places on a page of fixed size; a window smaller than the page
    // (a small or scaled screen) shows it with scroll bars.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    scroll_ = Named(new QScrollArea(this), QStringLiteral("ScrollBox_MCom"));
    scroll_->setFrameShape(QFrame::NoFrame);
    layout->addWidget(scroll_);
    content_ = Named(new QWidget, QStringLiteral("Panel_MCom"));
    content_->setFixedSize(kContentWidth, kContentHeight);
    scroll_->setWidget(content_);
    buildMain();
    for (int n = 1; n <= kChannelMax; ++n) {
        buildChannel(n);
    }
}

void MultiComTab::buildMain() {
    // None of these controls has an action.
    QGroupBox* main = MakeGroup(content_, QStringLiteral("GroupBox15"), QStringLiteral("  Main  "));
    main_ = main;
    main->setGeometry(5, 4, kGroupWidth, kGroupHeight);
    MakeLabel(main, QStringLiteral("Label_MCom_Message"), tr("Message :"), 12, 34);
    auto* edit = Named(new QLineEdit(QStringLiteral("Edit1"), main), QStringLiteral("Edit1"));
    edit->setGeometry(80, 28, 390, 26);
    QToolButton* send =
        MakeSpeedButton(main, QStringLiteral("SpeedButton_MCom_Send"), tr("Send Message"), 490, 24);
    SetPicture(send, QStringLiteral("SendColor"));
    for (int n = 1; n <= kChannelMax; ++n) {
        const int column = (n - 1) % 4;
        const int row = (n - 1) / 4;
        auto* box = Named(new QCheckBox(tr("Channel %1").arg(QChar(ChannelLetter(n))), main),
                          QString::fromLatin1(kMainChannelBoxes[n - 1]));
        box->setGeometry(20 + column * 110, 80 + row * 34, 100, 24);
    }
    QToolButton* broadcast = MakeSpeedButton(main, QStringLiteral("SpeedButton_MCom_Broad"),
                                             tr("Brostcast Message"), 490, 92);
    SetPicture(broadcast, QStringLiteral("BroadcastColor"));
    MakeLabel(main, QStringLiteral("Label_MCom_Broadcast"), tr("Broadcast"), 478, 130);
    // Shown as the device's page has it, but greyed: nothing typed here would reach it.
    main->setEnabled(false);
    main->setToolTip(tr("The device takes no text from this side: messages and broadcasts "
                        "cannot be sent from here."));
}

void MultiComTab::setChannelCount(int count) {
    const QString absent = count < 1 ? tr("This device has no serial channels.")
                           : count < 2
                               ? tr("This device has channel A only.")
                               : tr("This device has channels A to %1 only.")
                                     .arg(QChar(ChannelLetter(std::min(count, kChannelMax))));
    for (int n = 1; n <= kChannelMax; ++n) {
        QGroupBox* group = channels_[static_cast<std::size_t>(n - 1)].group;
        const bool present = n <= count;
        group->setEnabled(present);
        group->setToolTip(present ? QString() : absent);
    }
}

void MultiComTab::buildChannel(int n) {
    const ChannelPlace& place = kChannels[n - 1];
    Channel& c = channels_[static_cast<std::size_t>(n - 1)];
    c.group = MakeGroup(content_, QString::fromLatin1(place.group),
                        tr("Channel %1").arg(QChar(ChannelLetter(n))));
    c.group->setGeometry(place.left, place.top, kGroupWidth, kGroupHeight);

    c.listen = Named(new QCheckBox(tr("Listen"), c.group),
                     QStringLiteral("CheckBox_MCom_Listen%1").arg(n));
    c.listen->setGeometry(12, 24, 64, 24);
    MakeLabel(c.group, QStringLiteral("Label_MCom_Baud%1").arg(n), tr("Baud Rate :"), 80, 28);
    c.baud =
        MakeItems(c.group, QStringLiteral("ComboBox_MCom_Baud%1").arg(n), kBaudItems, 152, 24, 84);
    c.baud->setMaxVisibleItems(5);
    MakeLabel(c.group, QStringLiteral("Label_MCom_DLen%1").arg(n), tr("Data :"), 248, 28);
    c.dataLength = MakeItems(c.group, QStringLiteral("ComboBox_MCom_DLen%1").arg(n),
                             kDataLengthItems, 288, 24, 72);
    MakeLabel(c.group, QStringLiteral("Label_MCom_Parity%1").arg(n), tr("Parity :"), 372, 28);
    c.parity = MakeItems(c.group, QStringLiteral("ComboBox_MCom_Parity%1").arg(n), kParityItems,
                         422, 24, 66);
    c.log = MakeSpeedButton(c.group, QStringLiteral("SpeedButton_MCom_Log%1").arg(n),
                            tr("Save Log"), 494, 22, 26);
    SetPicture(c.log, QStringLiteral("SaveColor"));
    c.clear = MakeSpeedButton(c.group, QStringLiteral("SpeedButton_MCom_Clear%1").arg(n),
                              tr("Clear"), 520, 22, 26);
    SetPicture(c.clear, QStringLiteral("ClearColor"));

    c.memo = Named(new QPlainTextEdit(c.group), QStringLiteral("Memo_MCom_Ch%1").arg(n));
    c.memo->setReadOnly(true);
    c.memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    c.memo->setGeometry(10, 56, 535, 110);
    // The memo follows its channel step by step; an undo history would keep every step.
    c.memo->document()->setUndoRedoEnabled(false);
    SetMemoColour(c.memo, kMemoWhite);
}

void MultiComTab::bind(MultiComTool* tool, Prompt* prompt) {
    tool_ = tool;
    prompt_ = prompt;
    if (tool_ == nullptr) {
        return;
    }
    for (int n = 1; n <= kChannelMax; ++n) {
        Channel& c = channels_[static_cast<std::size_t>(n - 1)];
        // "activated" comes from the user only: the device's reports send nothing.
        connect(c.baud, &QComboBox::activated, this, [this, n](int i) { tool_->chooseBaud(n, i); });
        connect(c.dataLength, &QComboBox::activated, this,
                [this, n](int i) { tool_->chooseDataLength(n, i); });
        connect(c.parity, &QComboBox::activated, this,
                [this, n](int i) { tool_->chooseParity(n, i); });
        connect(c.listen, &QCheckBox::toggled, this,
                [this, n](bool on) { tool_->setListen(n, on); });
        connect(c.clear, &QToolButton::clicked, this, [this, n] { tool_->clear(n); });
        connect(c.log, &QToolButton::clicked, this, [this, n] {
            if (prompt_ != nullptr) {
                tool_->saveLog(n, *prompt_);
            }
        });
        showSettings(n);
        showListen(n);
        applyText(n, MemoChange{true, false, 0, tool_->channel(n).text.memoText()});
    }
    connect(tool_, &MultiComTool::settingsChanged, this, &MultiComTab::showSettings);
    connect(tool_, &MultiComTool::listenChanged, this, &MultiComTab::showListen);
    connect(tool_, &MultiComTool::textChanged, this, &MultiComTab::applyText);
}

void MultiComTab::showSettings(int n) {
    if (n < 1 || n > kChannelMax) {
        return;
    }
    const Channel& c = channels_[static_cast<std::size_t>(n - 1)];
    const ChannelSettings& s = tool_->channel(n).settings;
    const QSignalBlocker b1(c.baud);
    const QSignalBlocker b2(c.dataLength);
    const QSignalBlocker b3(c.parity);
    c.baud->setCurrentIndex(s.baud);
    c.dataLength->setCurrentIndex(s.dataLength);
    c.parity->setCurrentIndex(s.parity);
}

void MultiComTab::showListen(int n) {
    if (n < 1 || n > kChannelMax) {
        return;
    }
    const Channel& c = channels_[static_cast<std::size_t>(n - 1)];
    const ChannelState& state = tool_->channel(n);
    {
        const QSignalBlocker blocker(c.listen);
        c.listen->setChecked(state.listen);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{c.memo, c.baud, c.dataLength, c.parity}) {
        w->setEnabled(state.controlsEnabled);
    }
    SetMemoColour(c.memo, state.memoColour);
}

void MultiComTab::applyText(int n, const MemoChange& change) {
    if (n < 1 || n > kChannelMax) {
        return;
    }
    QPlainTextEdit* memo = channels_[static_cast<std::size_t>(n - 1)].memo;
    QTextDocument* document = memo->document();
    // Separate edits, not one edit block: a block would report one change from the memo's
    // top to its end, and the memo would lay out every line of it again.
    QTextCursor cursor(document);
    if (change.reset) {
        cursor.select(QTextCursor::Document);
        cursor.removeSelectedText();
    }
    const int noteLength = static_cast<int>(kDroppedNote.size());
    if (change.insertNote) {
        cursor.movePosition(QTextCursor::Start);
        cursor.insertText(QString::fromLatin1(kDroppedNote.data(), noteLength));
    }
    if (change.removeChars > 0) {
        // The last position is the end of the document: nothing beyond it can be removed.
        const int end = document->characterCount() - 1;
        const int from = std::min(noteLength, end);
        const int to = static_cast<int>(std::min<std::size_t>(
            static_cast<std::size_t>(from) + change.removeChars, static_cast<std::size_t>(end)));
        cursor.setPosition(from);
        cursor.setPosition(to, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
    }
    if (!change.append.empty()) {
        cursor.movePosition(QTextCursor::End);
        cursor.insertText(
            QString::fromLatin1(change.append.data(), static_cast<int>(change.append.size())));
    }
    QScrollBar* bar = memo->verticalScrollBar();
    bar->setValue(bar->maximum());
}

QPlainTextEdit* MultiComTab::channelMemo(int channel) const {
    if (channel < 1 || channel > kChannelMax) {
        return nullptr;
    }
    return channels_[static_cast<std::size_t>(channel - 1)].memo;
}

QGroupBox* MultiComTab::channelGroup(int channel) const {
    if (channel < 1 || channel > kChannelMax) {
        return nullptr;
    }
    return channels_[static_cast<std::size_t>(channel - 1)].group;
}

} // namespace lvx
