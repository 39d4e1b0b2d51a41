#include "app/CompareWindow.h"

#include "app/EdidDetailView.h"

#include "app/Widgets.h"
#include "common/Prompt.h"
#include "edid/EdidControllerTool.h"
#include "edid/EdidParse.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace lvx {

namespace {

constexpr int kCellWidth = 26;
constexpr int kCellHeight = 18;

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString Hex2(int value) {
    return QString::number(value, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

} // namespace

// --- CompareHexItems --------------------------------------------------------------------------

const QColor& CompareHexItems::differingColour() {
    static const QColor colour(255, 190, 190);
    return colour;
}

CompareHexItems::CompareHexItems(const CompareTool& tool, CompareTool::Side side, QObject* parent)
    : QAbstractTableModel(parent), tool_(tool), side_(side) {
    refresh();
}

void CompareHexItems::refresh() {
    beginResetModel();
    fields_.reset();
    if (const auto& image = tool_.image(side_)) {
        fields_ = MapEdidFields(*image);
    }
    endResetModel();
}

int CompareHexItems::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 16;
}

int CompareHexItems::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 16;
}

QVariant CompareHexItems::data(const QModelIndex& index, int role) const {
    const auto& image = tool_.image(side_);
    if (!index.isValid() || !image) {
        return {};
    }
    const std::size_t offset = static_cast<std::size_t>(index.row() * 16 + index.column());
    switch (role) {
    case Qt::DisplayRole:
        return Hex2((*image)[offset]);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignCenter);
    case Qt::BackgroundRole:
        if (tool_.comparison() && tool_.comparison()->differs[offset]) {
            return differingColour();
        }
        return {};
    case Qt::ToolTipRole:
        return QStringLiteral("0x%1: %2")
            .arg(Hex2(static_cast<int>(offset)),
                 fields_ ? QString::fromStdString(fields_->nameAt(offset)) : QString());
    default:
        return {};
    }
}

QVariant CompareHexItems::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) {
        return {};
    }
    return orientation == Qt::Horizontal ? Hex2(section) : Hex2(section * 16);
}

// --- CompareWindow ----------------------------------------------------------------------------

namespace {
const char* const kSideNames[2] = {"A", "B"};
} // namespace

CompareWindow::CompareWindow(CompareTool& tool, Prompt& prompt, QWidget* parent)
    : QWidget(parent, Qt::Window), tool_(tool), prompt_(prompt) {
    setObjectName(QStringLiteral("CompareWindow"));
    setWindowTitle(tr("Compare EDIDs"));
    auto* layout = new QVBoxLayout(this);
    buildSides(layout);
    buildLists(layout);
    buildHexTables(layout);
    buildDetails(layout);

    for (int side = 0; side < 2; ++side) {
        connect(openButtons_[side], &QPushButton::clicked, this,
                [this, side] { open(static_cast<CompareTool::Side>(side)); });
    }
    connect(swap_, &QPushButton::clicked, &tool_, &CompareTool::swap);
    connect(ranges_, &QTreeWidget::currentItemChanged, this, &CompareWindow::selectRange);
    connect(&tool_, &CompareTool::changed, this, &CompareWindow::showTool);
    showTool();
}

void CompareWindow::buildSides(QVBoxLayout* layout) {
    auto* sides = new QHBoxLayout;
    for (int side = 0; side < 2; ++side) {
        auto* row = new QHBoxLayout;
        openButtons_[side] =
            Named(new QPushButton(tr("Open %1...").arg(QLatin1String(kSideNames[side])), this),
                  QStringLiteral("Button_Compare_Open%1").arg(QLatin1String(kSideNames[side])));
        names_[side] =
            Named(new QLabel(tr("(no EDID)"), this),
                  QStringLiteral("Label_Compare_Name%1").arg(QLatin1String(kSideNames[side])));
        names_[side]->setMinimumWidth(200);
        row->addWidget(openButtons_[side]);
        row->addWidget(names_[side], 1);
        sides->addLayout(row, 1);
        if (side == 0) {
            swap_ = Named(new QPushButton(tr("Swap"), this), QStringLiteral("Button_Compare_Swap"));
            sides->addWidget(swap_);
        }
    }
    layout->addLayout(sides);
    summary_ = Named(new QLabel(this), QStringLiteral("Label_Compare_Summary"));
    layout->addWidget(summary_);
}

// Facts on the left; list entries and byte runs on the right.
void CompareWindow::buildLists(QVBoxLayout* layout) {
    auto* middle = new QHBoxLayout;
    facts_ = Named(new QTableWidget(15, 3, this), QStringLiteral("Table_Compare_Facts"));
    facts_->setHorizontalHeaderLabels({tr("Fact"), QStringLiteral("A"), QStringLiteral("B")});
    facts_->verticalHeader()->hide();
    facts_->verticalHeader()->setDefaultSectionSize(20);
    facts_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    facts_->setSelectionMode(QAbstractItemView::NoSelection);
    facts_->horizontalHeader()->setStretchLastSection(true);
    facts_->setColumnWidth(0, 130);
    facts_->setColumnWidth(1, 150);
    facts_->setMinimumWidth(450);
    facts_->setFixedHeight(20 * 15 + facts_->horizontalHeader()->sizeHint().height() + 4);
    middle->addWidget(facts_, 0, Qt::AlignTop);

    auto* right = new QVBoxLayout;
    changes_ = Named(new QTreeWidget(this), QStringLiteral("List_Compare_Changes"));
    changes_->setHeaderLabels({tr("List"), tr("Entry")});
    changes_->setRootIsDecorated(false);
    changes_->setColumnWidth(0, 130);
    ranges_ = Named(new QTreeWidget(this), QStringLiteral("List_Compare_Bytes"));
    ranges_->setHeaderLabels({tr("Bytes"), tr("Field"), QStringLiteral("A"), QStringLiteral("B")});
    ranges_->setRootIsDecorated(false);
    ranges_->setColumnWidth(0, 72);
    ranges_->setColumnWidth(1, 190);
    ranges_->setColumnWidth(2, 75);
    right->addWidget(changes_, 1);
    right->addWidget(ranges_, 1);
    middle->addLayout(right, 1);
    layout->addLayout(middle);
}

void CompareWindow::buildHexTables(QVBoxLayout* layout) {
    auto* tables = new QHBoxLayout;
    for (int side = 0; side < 2; ++side) {
        items_[side] = new CompareHexItems(tool_, static_cast<CompareTool::Side>(side), this);
        hex_[side] =
            Named(new QTableView(this),
                  QStringLiteral("Grid_Compare_Hex%1").arg(QLatin1String(kSideNames[side])));
        hex_[side]->setModel(items_[side]);
        hex_[side]->horizontalHeader()->setMinimumSectionSize(kCellWidth);
        hex_[side]->horizontalHeader()->setDefaultSectionSize(kCellWidth);
        hex_[side]->verticalHeader()->setMinimumSectionSize(kCellHeight);
        hex_[side]->verticalHeader()->setDefaultSectionSize(kCellHeight);
        hex_[side]->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        hex_[side]->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        hex_[side]->setEditTriggers(QAbstractItemView::NoEditTriggers);
        QFont mono(QStringLiteral("Monospace"));
        mono.setStyleHint(QFont::TypeWriter);
        hex_[side]->setFont(mono);
        const int width = hex_[side]->verticalHeader()->sizeHint().width() + 16 * kCellWidth + 4;
        const int height =
            hex_[side]->horizontalHeader()->sizeHint().height() + 16 * kCellHeight + 4;
        hex_[side]->setFixedSize(width, height);
        hex_[side]->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        hex_[side]->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        tables->addWidget(hex_[side]);
        if (side == 0) {
            tables->addStretch(1);
        }
    }
    layout->addLayout(tables);
}

// The whole decode of each side, its findings and marked bytes.
void CompareWindow::buildDetails(QVBoxLayout* layout) {
    details_ = Named(new QTabWidget(this), QStringLiteral("TabWidget_Compare_Details"));
    for (int side = 0; side < 2; ++side) {
        detailViews_[side] = new EdidDetailView(details_);
        detailViews_[side]->setObjectName(
            QStringLiteral("EdidDetailView_%1").arg(QLatin1String(kSideNames[side])));
        details_->addTab(detailViews_[side],
                         tr("Details of %1").arg(QLatin1String(kSideNames[side])));
    }
    details_->setMinimumHeight(260);
    layout->addWidget(details_, 1);
}

void CompareWindow::showComparison(const EdidImage& a, const QString& nameA, const EdidImage& b,
                                   const QString& nameB) {
    tool_.compare(a, nameA, b, nameB);
    show();
    raise();
    activateWindow();
}

void CompareWindow::open(CompareTool::Side side) {
    const std::string path = prompt_.openFileName(EdidControllerTool::kFilter);
    if (path.empty()) {
        return;
    }
    QString why;
    if (!tool_.loadFile(side, QString::fromStdString(path), &why)) {
        prompt_.message("Compare EDIDs", why.toStdString());
    }
}

void CompareWindow::showTool() {
    for (int side = 0; side < 2; ++side) {
        const auto s = static_cast<CompareTool::Side>(side);
        names_[side]->setText(tool_.image(s) ? tool_.name(s) : tr("(no EDID)"));
        items_[side]->refresh();
        if (tool_.image(s)) {
            detailViews_[side]->showParse(ParseImage(*tool_.image(s), CurrentYear()));
        } else {
            detailViews_[side]->clear();
        }
    }
    const std::optional<EdidComparison>& c = tool_.comparison();
    showSummary(c);
    showFacts(c);
    showChanges(c);
}

void CompareWindow::showSummary(const std::optional<EdidComparison>& c) {
    if (!c) {
        summary_->setText(tr("Open an EDID on each side."));
    } else if (c->equal) {
        summary_->setText(tr("The two EDIDs are alike."));
    } else {
        summary_->setText(tr("%1 bytes differ; %2 of the analyzer's facts differ; %3 list "
                             "entries only one side has.")
                              .arg(c->differingBytes)
                              .arg(c->differingFacts())
                              .arg(c->changes.size()));
    }
}

void CompareWindow::showFacts(const std::optional<EdidComparison>& c) {
    for (int row = 0; row < facts_->rowCount(); ++row) {
        const FactComparison* f = c && row < static_cast<int>(c->facts.size())
                                      ? &c->facts[static_cast<std::size_t>(row)]
                                      : nullptr;
        const QString texts[3] = {f ? QString::fromStdString(f->caption) : QString(),
                                  f ? Latin1(f->a) : QString(), f ? Latin1(f->b) : QString()};
        for (int column = 0; column < 3; ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            if (f && f->differs) {
                item->setBackground(CompareHexItems::differingColour());
            }
            facts_->setItem(row, column, item);
        }
    }
}

void CompareWindow::showChanges(const std::optional<EdidComparison>& c) {
    changes_->clear();
    ranges_->clear();
    if (!c) {
        return;
    }
    for (const ListChange& ch : c->changes) {
        auto* item = new QTreeWidgetItem(changes_);
        item->setText(0, QString::fromLatin1(ListName(ch.list)));
        item->setText(1, (ch.added ? QStringLiteral("+ B only: ") : QStringLiteral("- A only: ")) +
                             QString::fromStdString(ch.text));
        item->setToolTip(1, item->text(1));
    }
    const EdidImage& a = *tool_.image(CompareTool::A);
    const EdidImage& b = *tool_.image(CompareTool::B);
    for (const ByteRange& r : c->ranges) {
        auto* item = new QTreeWidgetItem(ranges_);
        item->setText(0, r.first == r.last
                             ? QStringLiteral("0x%1").arg(Hex2(r.first))
                             : QStringLiteral("0x%1-0x%2").arg(Hex2(r.first), Hex2(r.last)));
        item->setText(1, QString::fromStdString(r.field));
        item->setToolTip(1, item->text(1));
        QStringList va, vb;
        for (int i = r.first; i <= r.last && i < r.first + 3; ++i) {
            va << Hex2(a[static_cast<std::size_t>(i)]);
            vb << Hex2(b[static_cast<std::size_t>(i)]);
        }
        const QString more = r.last - r.first >= 3 ? QStringLiteral(" ...") : QString();
        item->setText(2, va.join(QLatin1Char(' ')) + more);
        item->setText(3, vb.join(QLatin1Char(' ')) + more);
        item->setToolTip(0, tr("%1 bytes").arg(r.last - r.first + 1));
        item->setData(0, Qt::UserRole, r.first);
        item->setData(0, Qt::UserRole + 1, r.last);
    }
}

void CompareWindow::selectRange() {
    QTreeWidgetItem* item = ranges_->currentItem();
    if (item == nullptr) {
        return;
    }
    const int first = item->data(0, Qt::UserRole).toInt();
    const int last = item->data(0, Qt::UserRole + 1).toInt();
    for (int side = 0; side < 2; ++side) {
        QItemSelection selection;
        for (int offset = first; offset <= last; ++offset) {
            const QModelIndex cell = items_[side]->index(offset / 16, offset % 16);
            selection.select(cell, cell);
        }
        hex_[side]->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    }
}

} // namespace lvx
