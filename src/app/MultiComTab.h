#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace lvx {

// " Multi-COM ": the "  Main  " group and one group per serial channel of the device.
class MultiComTab : public QWidget {
    Q_OBJECT
public:
    explicit MultiComTab(QWidget* parent = nullptr);

    QPlainTextEdit* channelMemo(int channel) const;
};

} // namespace lvx
