#pragma once

#include "creator/HexTableModel.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <QWidget>

class QTableView;

namespace lvx {

// The hex table's cells as an item model for a view: 17 x 17 read-only cells whose text and
// background are those of a HexTableModel. It holds no bytes; each change the model reports
// becomes a dataChanged() of exactly those cells (the whole table for a load).
class HexTableItems : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit HexTableItems(QObject* parent = nullptr);

    void setSource(HexTableModel* source);
    HexTableModel* source() const { return source_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void onCellsChanged(int firstOffset, int count);

    QPointer<HexTableModel> source_;
    QMetaObject::Connection connection_;
};

// "EDID Hex Table": the creator's working image as a 16 x 16 table of coloured bytes with
// a header row and column (StringGrid_Hex). It draws the HexTableModel it is given and keeps
// nothing of its own; without one it shows a model of its own, empty until loaded.
class HexTableWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kColumnWidth = 24;
    static constexpr int kRowHeight = 20;

    explicit HexTableWindow(QWidget* parent = nullptr);
    explicit HexTableWindow(HexTableModel& model, QWidget* parent = nullptr);

    // Shows this model from now on. Null, or the model's destruction, goes back to the
    // window's own model.
    void setModel(HexTableModel* model);
    HexTableModel& model() const { return *items_->source(); }
    QTableView* grid() const { return grid_; }

signals:
    // The close box was used (the window only hides).
    void closed();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    HexTableModel* ownModel_;
    HexTableItems* items_;
    QMetaObject::Connection borrowedGone_;
    QTableView* grid_;
};

} // namespace lvx
