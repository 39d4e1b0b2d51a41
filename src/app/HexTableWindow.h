#pragma once

#include "app/HexTableModel.h"

#include <QWidget>

class QTableView;

namespace lvx {

// "EDID Hex Table": the creator's work image as a 16 x 16 table of coloured bytes with a
// header row and column (StringGrid_Hex). It draws the EdidWorkImage it is given through a
// HexTableModel and keeps no bytes of its own; without one it shows an image of its own,
// empty until loaded.
class HexTableWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kColumnWidth = 24;
    static constexpr int kRowHeight = 20;

    explicit HexTableWindow(QWidget* parent = nullptr);
    explicit HexTableWindow(EdidWorkImage& image, QWidget* parent = nullptr);

    // Shows this image from now on. Null, or the image's destruction, goes back to the
    // window's own image.
    void setImage(EdidWorkImage* image);
    EdidWorkImage& image() const { return *table_->image(); }
    QTableView* grid() const { return grid_; }

signals:
    // The close box was used (the window only hides).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void setUpHeaders();

    EdidWorkImage* ownImage_;
    HexTableModel* table_;
    QMetaObject::Connection borrowedGone_;
    QTableView* grid_;
};

} // namespace lvx
