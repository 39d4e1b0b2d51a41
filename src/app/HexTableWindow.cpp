#include "app/HexTableWindow.h"

#include "app/Widgets.h"

#include <QCloseEvent>
#include <QColor>
#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QTableView>

namespace lvx {

namespace {

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

HexTableWindow::HexTableWindow(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint),
      ownImage_(new EdidWorkImage(this)), table_(new HexTableModel(this)) {
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QStringLiteral("EDID Hex Table"));
    setFixedSize(428, 360);
    table_->setImage(ownImage_);

    grid_ = Named(new QTableView(this), QStringLiteral("StringGrid_Hex"));
    grid_->setModel(table_);
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
    setUpHeaders();
    // Qt paints every widget through its backing store, which is the double buffer.
    const int frame = 2 * grid_->frameWidth();
    const QSize size((HexTableModel::kColumns + 1) * kColumnWidth + frame,
                     (HexTableModel::kRows + 1) * kRowHeight + frame);
    grid_->setGeometry((width() - size.width()) / 2, (height() - size.height()) / 2, size.width(),
                       size.height());
}

HexTableWindow::HexTableWindow(EdidWorkImage& image, QWidget* parent) : HexTableWindow(parent) {
    setImage(&image);
}

// The header row and column: one cell wide and high each, flat light sky blue, the same bold
// text as the bytes, and the corner above the row headers the same.
void HexTableWindow::setUpHeaders() {
    for (QHeaderView* header : {grid_->horizontalHeader(), grid_->verticalHeader()}) {
        header->setMinimumSectionSize(1);
        header->setSectionResizeMode(QHeaderView::Fixed);
        header->setHighlightSections(false);
        header->setSectionsClickable(false);
        header->setDefaultAlignment(Qt::AlignCenter);
    }
    grid_->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    grid_->horizontalHeader()->setFixedHeight(kRowHeight);
    grid_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    grid_->verticalHeader()->setFixedWidth(kColumnWidth);
    grid_->setCornerButtonEnabled(false);
    const QColor sky = table_->headerData(0, Qt::Horizontal, Qt::BackgroundRole).value<QColor>();
    grid_->setStyleSheet(QStringLiteral("QHeaderView::section, QTableCornerButton::section {"
                                        " background-color: %1; color: black; border: none;"
                                        " padding: 0px; font-weight: bold; }")
                             .arg(sky.name()));
}

void HexTableWindow::setImage(EdidWorkImage* image) {
    disconnect(borrowedGone_);
    if (image == nullptr) {
        image = ownImage_;
    } else if (image != ownImage_) {
        borrowedGone_ = connect(image, &QObject::destroyed, this, [this] { setImage(nullptr); });
    }
    table_->setImage(image);
}

void HexTableWindow::closeEvent(QCloseEvent* event) {
    emit closed();
    QWidget::closeEvent(event);
}

} // namespace lvx
