#pragma once

#include "creator/EdidWorkImage.h"

#include <QAbstractTableModel>
#include <QPointer>

namespace lvx {

constexpr CellColour kCellLightSkyBlue = 0xF0CAA6; // header cells

// The creator's work image as a 16 x 16 table for a view: row r, column c shows byte
// 16 * r + c as "%02X" (nothing while its cell holds no byte) on the cell's colour. The
// headers are "00" to "0F" across and "00", "10", ... "F0" down, light sky blue. The model
// keeps no bytes: each change the image reports becomes a dataChanged() of exactly those
// cells (every cell for a load). Without an image every cell is empty.
class HexTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kColumns = 16;
    static constexpr int kRows = 16;

    explicit HexTableModel(QObject* parent = nullptr);

    void setImage(EdidWorkImage* image);
    EdidWorkImage* image() const { return image_; }

    static constexpr int rowOf(int offset) { return offset / kColumns; }
    static constexpr int columnOf(int offset) { return offset % kColumns; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void onChanged(int first, int count);

    QPointer<EdidWorkImage> image_;
    QMetaObject::Connection connection_;
};

} // namespace lvx
