#include "app/HexTableModel.h"

#include <QColor>

#include <algorithm>
#include <cstdio>

namespace lvx {

namespace {

QColor ToQColor(CellColour colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

QString HexByte(int value) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(value & 0xFF));
    return QString::fromLatin1(text);
}

} // namespace

HexTableModel::HexTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void HexTableModel::setImage(EdidWorkImage* image) {
    if (image == image_) {
        return;
    }
    beginResetModel();
    disconnect(connection_);
    image_ = image;
    if (image_ != nullptr) {
        connection_ = connect(image_, &EdidWorkImage::changed, this, &HexTableModel::onChanged);
    }
    endResetModel();
}

int HexTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kRows;
}

int HexTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumns;
}

QVariant HexTableModel::data(const QModelIndex& index, int role) const {
    if (image_ == nullptr || !index.isValid()) {
        return {};
    }
    const int offset = index.row() * kColumns + index.column();
    switch (role) {
    case Qt::DisplayRole:
        return image_->holdsByte(offset) ? HexByte(image_->byteAt(offset)) : QString();
    case Qt::BackgroundRole:
        return ToQColor(image_->colourAt(offset));
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    default:
        return {};
    }
}

QVariant HexTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    const int count = orientation == Qt::Horizontal ? kColumns : kRows;
    if (section < 0 || section >= count) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return HexByte(orientation == Qt::Horizontal ? section : section * kColumns);
    case Qt::BackgroundRole:
        return ToQColor(kCellLightSkyBlue);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    default:
        return {};
    }
}

Qt::ItemFlags HexTableModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void HexTableModel::onChanged(int first, int count) {
    const int from = std::max(first, 0);
    const int end = std::min(first + count, kRows * kColumns);
    if (from >= end) {
        return;
    }
    const QList<int> roles{Qt::DisplayRole, Qt::BackgroundRole};
    if (from == 0 && end == kRows * kColumns) {
        emit dataChanged(index(0, 0), index(kRows - 1, kColumns - 1), roles);
        return;
    }
    // One cell at a time: a view repaints a single changed cell alone, where a range may
    // cost it the whole table.
    for (int offset = from; offset < end; ++offset) {
        const QModelIndex cell = index(rowOf(offset), columnOf(offset));
        emit dataChanged(cell, cell, roles);
    }
}

} // namespace lvx
