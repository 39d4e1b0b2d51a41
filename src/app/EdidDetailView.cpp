#include "app/EdidDetailView.h"

#include "app/Widgets.h"
#include "edid/EdidParse.h"

#include <QBrush>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace lvx {

namespace {

constexpr int kFirstRole = Qt::UserRole;     // first byte an item is about
constexpr int kCountRole = Qt::UserRole + 1; // how many bytes
constexpr int kBytesPerLine = 16;
constexpr int kAddressWidth = 6; // "0080  "

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QColor MarkColour() {
    return QColor(255, 214, 102);
}

void SetBytes(QTreeWidgetItem* item, std::size_t first, std::size_t count) {
    item->setData(0, kFirstRole, static_cast<int>(first));
    item->setData(0, kCountRole, static_cast<int>(count));
}

QString Where(const EdidFinding& f) {
    return QStringLiteral("block %1, byte %2").arg(f.block).arg(f.offset);
}

} // namespace

EdidDetailView::EdidDetailView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("EdidDetailView"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    tabs_ = Named(new QTabWidget(this), QStringLiteral("TabWidget_EdidDetails"));
    details_ = Named(new QTreeWidget(tabs_), QStringLiteral("Tree_EdidDetails"));
    details_->setHeaderLabels({tr("Field"), tr("Value")});
    details_->setColumnWidth(0, 230);
    findings_ = Named(new QTreeWidget(tabs_), QStringLiteral("List_EdidFindings"));
    findings_->setHeaderLabels(
        {tr("Severity"), tr("Impact"), tr("Finding"), tr("Where"), tr("What is wrong")});
    findings_->setRootIsDecorated(false);
    findings_->setWordWrap(true);
    for (int column = 0; column < 4; ++column) {
        findings_->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    }
    tabs_->addTab(details_, tr("Details"));
    tabs_->addTab(findings_, tr("Findings"));
    hex_ = Named(new QPlainTextEdit(this), QStringLiteral("Text_EdidHex"));
    hex_->setReadOnly(true);
    hex_->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont mono(QStringLiteral("Monospace"));
    mono.setStyleHint(QFont::TypeWriter);
    hex_->setFont(mono);
    hex_->setFixedWidth(hex_->fontMetrics().horizontalAdvance(
                            QString(kAddressWidth + 3 * kBytesPerLine, QLatin1Char('0'))) +
                        hex_->verticalScrollBar()->sizeHint().width() + 16);
    chosen_ = Named(new QLabel(this), QStringLiteral("Label_EdidChosen"));
    chosen_->setWordWrap(true);
    chosen_->setTextFormat(Qt::PlainText);
    chosen_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* left = new QVBoxLayout;
    left->addWidget(tabs_, 1);
    left->addWidget(chosen_);
    layout->addLayout(left, 1);
    layout->addWidget(hex_);

    connect(details_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        markItem(item);
        chosen_->setText(item == nullptr ? QString()
                         : item->text(1).isEmpty()
                             ? item->text(0)
                             : item->text(0) + QStringLiteral(": ") + item->text(1));
    });
    connect(findings_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        markItem(item);
        chosen_->setText(item == nullptr ? QString()
                                         : item->text(2) + QStringLiteral(" (") + item->text(0) +
                                               QStringLiteral(", ") + item->text(1) +
                                               QStringLiteral("): ") + item->text(4));
    });
}

void EdidDetailView::clear() {
    details_->clear();
    findings_->clear();
    bytes_.clear();
    hex_->clear();
    marked_ = {0, 0};
    tabs_->setTabText(1, tr("Findings"));
    chosen_->clear();
}

void EdidDetailView::showParse(const EdidParse& parse) {
    clear();
    bytes_ = parse.bytes;
    fillHex();
    fillDetails(parse);
    fillFindings(parse);
}

void EdidDetailView::fillDetails(const EdidParse& parse) {
    // Each node's parent is the last node one level up.
    std::vector<QTreeWidgetItem*> parents;
    QList<QTreeWidgetItem*> top;
    for (const EdidDetail& d : parse.details) {
        parents.resize(std::min<std::size_t>(parents.size(), d.depth));
        QTreeWidgetItem* item =
            parents.empty() ? new QTreeWidgetItem() : new QTreeWidgetItem(parents.back());
        item->setText(0, Latin1(d.label));
        item->setText(1, Latin1(d.value));
        SetBytes(item, d.offset, d.length);
        if (parents.empty()) {
            top << item;
        }
        parents.push_back(item);
    }
    details_->addTopLevelItems(top);
    for (QTreeWidgetItem* block : top) {
        block->setExpanded(true);
    }
    details_->resizeColumnToContents(0);
}

void EdidDetailView::fillFindings(const EdidParse& parse) {
    int failures = 0;
    for (const EdidFinding* f : OrderedFindings(parse)) {
        auto* item = new QTreeWidgetItem(findings_);
        const bool failure = f->severity == FindingSeverity::Failure;
        failures += failure ? 1 : 0;
        item->setText(0, QLatin1String(SeverityName(f->severity)));
        item->setText(1, QLatin1String(ImpactName(f->impact)));
        item->setText(2, QString::fromLatin1(f->id.data(), static_cast<qsizetype>(f->id.size())));
        item->setText(3, Where(*f));
        item->setText(4, Latin1(f->text));
        item->setToolTip(4, Latin1(f->text));
        if (failure) {
            item->setForeground(0, QBrush(Qt::red));
        }
        SetBytes(item, f->position(), f->length);
    }
    tabs_->setTabText(1, tr("Findings (%1 failures, %2 warnings)")
                             .arg(failures)
                             .arg(static_cast<int>(parse.findings.size()) - failures));
}

void EdidDetailView::fillHex() {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes_.size() * 3 + bytes_.size() / kBytesPerLine * 8));
    static constexpr char kDigits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
        if (i % kBytesPerLine == 0) {
            if (i > 0) {
                text += QLatin1Char('\n');
            }
            text += QStringLiteral("%1  ").arg(i, 4, 16, QLatin1Char('0'));
        } else {
            text += QLatin1Char(' ');
        }
        text += QLatin1Char(kDigits[bytes_[i] >> 4]);
        text += QLatin1Char(kDigits[bytes_[i] & 0x0F]);
    }
    hex_->setPlainText(text);
}

int EdidDetailView::characterOf(int byte) const {
    const QTextBlock line = hex_->document()->findBlockByNumber(byte / kBytesPerLine);
    return line.position() + kAddressWidth + 3 * (byte % kBytesPerLine);
}

void EdidDetailView::markItem(QTreeWidgetItem* item) {
    if (item == nullptr) {
        mark(0, 0);
        return;
    }
    mark(item->data(0, kFirstRole).toInt(), item->data(0, kCountRole).toInt());
}

void EdidDetailView::mark(int first, int count) {
    const int size = static_cast<int>(bytes_.size());
    first = std::clamp(first, 0, size);
    count = std::clamp(count, 0, size - first);
    marked_ = {first, count};
    QList<QTextEdit::ExtraSelection> selections;
    for (int byte = first; byte < first + count;) {
        // One selection per line: from this byte to the last marked byte of its line.
        const int last = std::min(first + count, (byte / kBytesPerLine + 1) * kBytesPerLine) - 1;
        QTextEdit::ExtraSelection s;
        s.cursor = QTextCursor(hex_->document());
        s.cursor.setPosition(characterOf(byte));
        s.cursor.setPosition(characterOf(last) + 2, QTextCursor::KeepAnchor);
        s.format.setBackground(MarkColour());
        selections << s;
        byte = last + 1;
    }
    hex_->setExtraSelections(selections);
    if (count > 0) {
        QTextCursor at(hex_->document());
        at.setPosition(characterOf(first));
        hex_->setTextCursor(at);
        hex_->ensureCursorVisible();
    }
}

} // namespace lvx
