#pragma once

#include <QWidget>

namespace lvx {

// "EDID Hex Table": the creator's working image as a 16 x 16 table of coloured bytes.
class HexTableWindow : public QWidget {
    Q_OBJECT
public:
    explicit HexTableWindow(QWidget* parent = nullptr);

signals:
    // The close box was used (the window only hides).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;
};

} // namespace lvx
