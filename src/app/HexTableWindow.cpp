#include "app/HexTableWindow.h"

#include "app/Widgets.h"
#include "creator/HexTableModel.h"

#include <QCloseEvent>
#include <QColor>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>

#include <algorithm>

namespace lvx {

namespace {

QColor ToQColor(CellColour colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

// A cell is its colour with its text on one line, centred both ways: no selection, focus
// frame or eliding from the style.
class HexCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->fillRect(option.rect, index.data(Qt::BackgroundRole).value<QColor>());
        painter->setFont(option.font);
        painter->setPen(Qt::black);
        painter->drawText(option.rect, Qt::AlignCenter | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
    }
};

} // namespace

HexTableItems::HexTableItems(QObject* parent) : QAbstractTableModel(parent) {}

void HexTableItems::setSource(HexTableModel* source) {
    if (source == source_) {
        return;
    }
    beginResetModel();
    disconnect(connection_);
    source_ = source;
    if (source_ != nullptr) {
        connection_ =
            connect(source_, &HexTableModel::cellsChanged, this, &HexTableItems::onCellsChanged);
    }
    endResetModel();
}

int HexTableItems::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : HexTableModel::kRows;
}

int HexTableItems::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : HexTableModel::kColumns;
}

QVariant HexTableItems::data(const QModelIndex& index, int role) const {
    if (source_ == nullptr || !index.isValid()) {
        return {};
    }
    switch (role) {
    case Qt::DisplayRole:
        return source_->cellText(index.column(), index.row());
    case Qt::BackgroundRole:
        return ToQColor(source_->cellColour(index.column(), index.row()));
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    default:
        return {};
    }
}

Qt::ItemFlags HexTableItems::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void HexTableItems::onCellsChanged(int firstOffset, int count) {
    const int first = std::max(firstOffset, 0);
    const int end = std::min(firstOffset + count, HexTableModel::kDataCells);
    if (first >= end) {
        return;
    }
    const QList<int> roles{Qt::DisplayRole, Qt::BackgroundRole};
    if (first == 0 && end == HexTableModel::kDataCells) {
        emit dataChanged(index(1, 1), index(HexTableModel::kRows - 1, HexTableModel::kColumns - 1),
                         roles);
        return;
    }
    // One cell at a time: a view repaints a single changed cell alone, where a range may
    // cost it the whole table.
    for (int offset = first; offset < end; ++offset) {
        const QModelIndex cell =
            index(HexTableModel::rowOf(offset), HexTableModel::columnOf(offset));
        emit dataChanged(cell, cell, roles);
    }
}

HexTableWindow::HexTableWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint),
      ownModel_(new HexTableModel(this)), items_(new HexTableItems(this)) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("EDID Hex Table"));
    setFixedSize(428, 360);
    items_->setSource(ownModel_);

    grid_ = Named(new QTableView(this), QStringLiteral("StringGrid_Hex"));
    grid_->setModel(items_);
    grid_->setItemDelegate(new HexCellDelegate(grid_));
    QFont bold = grid_->font();
    bold.setBold(true);
    grid_->setFont(bold);
    QPalette palette = grid_->palette();
    palette.setColor(QPalette::Base, Qt::white);
    grid_->setPalette(palette);
    grid_->setAutoFillBackground(true);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setSelectionMode(QAbstractItemView::NoSelection);
    grid_->setFocusPolicy(Qt::NoFocus);
    grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid_->setWordWrap(false);
    for (QHeaderView* header : {grid_->horizontalHeader(), grid_->verticalHeader()}) {
        header->hide();
        header->setMinimumSectionSize(1);
        header->setSectionResizeMode(QHeaderView::Fixed);
    }
    grid_->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    grid_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    // Qt paints every widget through its backing store, which is the double buffer.
    const int frame = 2 * grid_->frameWidth();
    const QSize size(HexTableModel::kColumns * kColumnWidth + frame,
                     HexTableModel::kRows * kRowHeight + frame);
    grid_->setGeometry((width() - size.width()) / 2, (height() - size.height()) / 2, size.width(),
                       size.height());
}

HexTableWindow::HexTableWindow(HexTableModel& model, QWidget* parent) : HexTableWindow(parent) {
    setModel(&model);
}

void HexTableWindow::setModel(HexTableModel* model) {
    disconnect(borrowedGone_);
    if (model == nullptr) {
        model = ownModel_;
    } else if (model != ownModel_) {
        borrowedGone_ = connect(model, &QObject::destroyed, this, [this] { setModel(nullptr); });
    }
    items_->setSource(model);
}

void HexTableWindow::closeEvent(QCloseEvent* event) {
    emit closed();
    QWidget::closeEvent(event);
}

} // namespace lvx
