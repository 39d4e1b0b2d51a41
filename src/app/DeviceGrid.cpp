#include "app/DeviceGrid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace lvx {

namespace {

constexpr int kStartWidths[kDeviceColumns] = {23, 77, 77, 77, 77, 77};

// Fills each cell with its row's colour and draws the text on one line, centred.
class CellDelegate : public QStyledItemDelegate {
public:
    explicit CellDelegate(DeviceGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        painter->fillRect(option.rect, grid_->cellColour(index.row()));
        painter->setPen(Qt::black);
        painter->setFont(option.font);
        painter->drawText(option.rect, Qt::AlignCenter | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
        painter->setPen(QColor(160, 160, 160));
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        if (index.row() == grid_->highlightedRow() && grid_->hasFocus()) {
            // The keyboard's row: a dotted frame around the whole row.
            const QRect r = option.rect.adjusted(0, 1, -1, -2);
            painter->setPen(QPen(Qt::black, 1, Qt::DotLine));
            painter->drawLine(r.topLeft(), r.topRight());
            painter->drawLine(r.bottomLeft(), r.bottomRight());
            if (index.column() == 0) {
                painter->drawLine(r.topLeft(), r.bottomLeft());
            }
            if (index.column() == grid_->columnCount() - 1) {
                painter->drawLine(r.topRight(), r.bottomRight());
            }
        }
        painter->restore();
    }

private:
    DeviceGrid* grid_;
};

} // namespace

DeviceGrid::DeviceGrid(QWidget* parent) : QTableWidget(parent) {
    setObjectName(QStringLiteral("StringGrid1"));
    setColumnCount(kDeviceColumns);
    horizontalHeader()->hide();
    verticalHeader()->hide();
    setShowGrid(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::StrongFocus);
    // Tab leaves the list instead of walking its cells.
    setTabKeyNavigation(false);
    setItemDelegate(new CellDelegate(this));
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setMinimumSectionSize(1);
    resetColumnWidths();
    setRows({});
}

QColor DeviceGrid::cellColour(int row) const {
    if (row == 0) {
        return QColor(kHeaderColour);
    }
    if (selectedRow_ > 0 && row == selectedRow_) {
        return QColor(kSelectedColour);
    }
    return QColor(Qt::white);
}

int DeviceGrid::gridWidth() const {
    int width = 2 * frameWidth();
    for (int c = 0; c < kDeviceColumns; ++c) {
        width += kStartWidths[c];
    }
    return width;
}

int DeviceGrid::fullWidth() const {
    int width = 2 * frameWidth();
    for (int c = 0; c < kDeviceColumns; ++c) {
        width += columnWidth(c);
    }
    return width;
}

void DeviceGrid::resetColumnWidths() {
    for (int c = 0; c < kDeviceColumns; ++c) {
        widest_[static_cast<std::size_t>(c)] = kStartWidths[c];
        setColumnWidth(c, kStartWidths[c]);
    }
    emit widthNeeded(fullWidth());
}

void DeviceGrid::setRows(const std::vector<DeviceRow>& rows) {
    const int count = static_cast<int>(rows.size());
    setRowCount(count + 2);
    const std::vector<std::string>& headers = DeviceColumnHeaders();
    for (int c = 0; c < kDeviceColumns; ++c) {
        setItem(0, c, new QTableWidgetItem(QString::fromStdString(headers[c])));
    }
    for (int r = 1; r < rowCount(); ++r) {
        for (int c = 0; c < kDeviceColumns; ++c) {
            const QString text =
                r <= count ? QString::fromStdString(rows[r - 1].column(c)) : QString();
            setItem(r, c, new QTableWidgetItem(text));
        }
    }
    if (selectedRow_ > count) {
        selectedRow_ = 0;
    }
    deviceRows_ = count;
    highlightedRow_ = std::min(highlightedRow_, count);
    startHighlight();
    fitColumns();
    viewport()->update();
}

void DeviceGrid::setSelectedRow(int row) {
    selectedRow_ = row;
    viewport()->update();
}

void DeviceGrid::setHighlightedRow(int row) {
    highlightedRow_ = deviceRows_ > 0 ? std::clamp(row, 1, deviceRows_) : 0;
    if (highlightedRow_ > 0) {
        scrollTo(model()->index(highlightedRow_, 0));
    }
    viewport()->update();
}

void DeviceGrid::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Down:
        setHighlightedRow(highlightedRow_ + 1);
        break;
    case Qt::Key_Up:
        setHighlightedRow(highlightedRow_ > 0 ? highlightedRow_ - 1 : 1);
        break;
    case Qt::Key_Home:
    case Qt::Key_PageUp:
        setHighlightedRow(1);
        break;
    case Qt::Key_End:
    case Qt::Key_PageDown:
        setHighlightedRow(deviceRows_);
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (highlightedRow_ > 0) {
            emit rowChosen(highlightedRow_);
        }
        break;
    default:
        QTableWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void DeviceGrid::startHighlight() {
    if (highlightedRow_ == 0 && deviceRows_ > 0 && hasFocus()) {
        highlightedRow_ = selectedRow_ > 0 && selectedRow_ <= deviceRows_ ? selectedRow_ : 1;
    }
}

void DeviceGrid::focusInEvent(QFocusEvent* event) {
    QTableWidget::focusInEvent(event);
    startHighlight();
    viewport()->update();
}

void DeviceGrid::focusOutEvent(QFocusEvent* event) {
    QTableWidget::focusOutEvent(event);
    viewport()->update();
}

void DeviceGrid::mousePressEvent(QMouseEvent* event) {
    // The keyboard goes on from the row clicked last.
    const int row = rowAt(event->position().toPoint().y());
    if (row >= 1 && row <= deviceRows_) {
        highlightedRow_ = row;
    }
    QTableWidget::mousePressEvent(event);
}

void DeviceGrid::fitColumns() {
    const QFontMetrics metrics(font());
    const int before = fullWidth();
    for (int c = 1; c < kDeviceColumns; ++c) {
        for (int r = 0; r < rowCount(); ++r) {
            const QTableWidgetItem* cell = item(r, c);
            const int width = cell ? metrics.horizontalAdvance(cell->text()) : 0;
            int& widest = widest_[static_cast<std::size_t>(c)];
            if (width > widest) {
                widest = width;
                setColumnWidth(c, widest + 8);
            }
        }
    }
    if (fullWidth() != before) {
        emit widthNeeded(fullWidth());
    }
    const int textHeight = metrics.height();
    for (int r = 0; r < rowCount(); ++r) {
        if (rowHeight(r) < textHeight) {
            setRowHeight(r, textHeight + 4);
        }
    }
}

} // namespace lvx
