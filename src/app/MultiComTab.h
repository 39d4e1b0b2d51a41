#pragma once

#include "multicom/ChannelAnswers.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QPlainTextEdit;
class QScrollArea;
class QToolButton;

namespace lvx {

class MultiComTool;
class Prompt;
struct MemoChange;

// " Multi-COM ": the "  Main  " group and one group per serial channel of the device
// ("Channel A" to "Channel G"), each with Listen, the three settings lists, its memo, and the
// Save log and Clear buttons. The controls show a MultiComTool and forward the user's
// actions to it.
class MultiComTab : public QWidget {
    Q_OBJECT
public:
    static constexpr int kGroupWidth = 555;
    static constexpr int kGroupHeight = 175;
    // The groups' extent: the last column and row of groups plus their margin. On a screen
    // smaller than the page, the page scrolls.
    static constexpr int kContentWidth = 575 + kGroupWidth + 5;
    static constexpr int kContentHeight = 547 + kGroupHeight + 5;

    explicit MultiComTab(QWidget* parent = nullptr);

    // Connects the controls to the tool that holds the channels; the prompt asks for log
    // file names and tells failures.
    void bind(MultiComTool* tool, Prompt* prompt);

    QPlainTextEdit* channelMemo(int channel) const;
    QGroupBox* channelGroup(int channel) const;
    QGroupBox* mainGroup() const { return main_; }
    QScrollArea* scrollArea() const { return scroll_; }

    // The channels the selected device has: the groups beyond are disabled.
    void setChannelCount(int count);

private:
    struct Channel {
        QGroupBox* group = nullptr;
        QCheckBox* listen = nullptr;
        QComboBox* baud = nullptr;
        QComboBox* dataLength = nullptr;
        QComboBox* parity = nullptr;
        QPlainTextEdit* memo = nullptr;
        QToolButton* log = nullptr;
        QToolButton* clear = nullptr;
    };

    void buildMain();
    void buildChannel(int n);
    void showSettings(int n);
    void showListen(int n);
    void applyText(int n, const MemoChange& change);

    QScrollArea* scroll_ = nullptr;
    QWidget* content_ = nullptr;
    QGroupBox* main_ = nullptr;
    MultiComTool* tool_ = nullptr;
    Prompt* prompt_ = nullptr;
    std::array<Channel, kChannelMax> channels_{};
};

} // namespace lvx
