#include "app/CombineWindow.h"

#include "app/Widgets.h"
#include "common/Prompt.h"
#include "edid/CombineTool.h"
#include "edid/MonitorScan.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace lvx {

namespace {

QPushButton* Button(QWidget* parent, const QString& name, const QString& text) {
    return Named(new QPushButton(text, parent), name);
}

QString Text(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

CombineWindow::CombineWindow(CombineTool& tool, Prompt& prompt, const QString& sysfsRoot,
                             QWidget* parent)
    : QWidget(parent, Qt::Window), tool_(tool), prompt_(prompt), sysfsRoot_(sysfsRoot) {
    setObjectName(QStringLiteral("CombineWindow"));
    setWindowTitle(tr("Combine EDIDs"));
    resize(980, 640);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildAddRow());
    sources_ = Named(new QTableWidget(0, 3, this), QStringLiteral("CombineSources"));
    sources_->setHorizontalHeaderLabels({tr("Display"), tr("Video only"), tr("Identity")});
    sources_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    sources_->setMaximumHeight(130);
    layout->addWidget(sources_);
    layout->addWidget(buildIntents());
    features_ = Named(new QTableWidget(this), QStringLiteral("CombineFeatures"));
    features_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    features_->verticalHeader()->hide();
    features_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    layout->addWidget(features_, 1);
    summary_ = Named(new QLabel(this), QStringLiteral("CombineSummary"));
    summary_->setWordWrap(true);
    layout->addWidget(summary_);
    layout->addWidget(buildResultRow());
    connect(sources_, &QTableWidget::cellChanged, this, &CombineWindow::sourceChanged);
    connect(&tool_, &CombineTool::changed, this, &CombineWindow::showTool);
    refreshChoices();
    showTool();
}

QWidget* CombineWindow::buildAddRow() {
    auto* row = new QWidget(this);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    QPushButton* file = Button(row, QStringLiteral("CombineAddFile"), tr("Add File..."));
    monitors_ = Named(new QComboBox(row), QStringLiteral("CombineMonitors"));
    QPushButton* monitor = Button(row, QStringLiteral("CombineAddMonitor"), tr("Add Monitor"));
    outputs_ = Named(new QComboBox(row), QStringLiteral("CombineOutputs"));
    QPushButton* output = Button(row, QStringLiteral("CombineAddOutput"), tr("Add Output"));
    QPushButton* remove = Button(row, QStringLiteral("CombineRemove"), tr("Remove"));
    for (QWidget* w :
         std::initializer_list<QWidget*>{file, monitors_, monitor, outputs_, output, remove}) {
        h->addWidget(w);
    }
    h->addStretch(1);
    connect(file, &QPushButton::clicked, this, &CombineWindow::addFile);
    connect(monitor, &QPushButton::clicked, this, &CombineWindow::addMonitor);
    connect(output, &QPushButton::clicked, this, &CombineWindow::addOutput);
    connect(remove, &QPushButton::clicked, this, [this] { tool_.remove(sources_->currentRow()); });
    return row;
}

QWidget* CombineWindow::buildIntents() {
    auto* box = Named(new QGroupBox(tr("Intents"), this), QStringLiteral("CombineIntents"));
    auto* grid = new QGridLayout(box);
    for (std::size_t i = 0; i < kCombineIntentCount; ++i) {
        const auto intent = static_cast<CombineIntent>(i);
        intents_[i] = Named(new QCheckBox(QString::fromLatin1(IntentText(intent)), box),
                            QStringLiteral("CombineIntent_%1").arg(i));
        grid->addWidget(intents_[i], static_cast<int>(i / 6), static_cast<int>(i % 6));
        connect(intents_[i], &QCheckBox::toggled, this,
                [this, intent](bool on) { tool_.setIntent(intent, on); });
    }
    blocks_ = Named(new QComboBox(box), QStringLiteral("CombineBlocks"));
    blocks_->addItems({tr("256 bytes (device)"), tr("512 bytes (file)")});
    grid->addWidget(blocks_, 1, 5);
    connect(blocks_, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int index) { tool_.setMaxBlocks(index == 1 ? 4 : 2); });
    return box;
}

QWidget* CombineWindow::buildResultRow() {
    auto* row = new QWidget(this);
    auto* h = new QHBoxLayout(row);
    h->setContentsMargins(0, 0, 0, 0);
    QPushButton* save = Button(row, QStringLiteral("CombineSave"), tr("Save Result..."));
    QPushButton* creator = Button(row, QStringLiteral("CombineToCreator"), tr("To EDID Creator"));
    targets_ = Named(new QComboBox(row), QStringLiteral("CombineTargets"));
    QPushButton* write = Button(row, QStringLiteral("CombineWrite"), tr("Write to Device"));
    h->addWidget(save);
    h->addWidget(creator);
    h->addStretch(1);
    h->addWidget(targets_);
    h->addWidget(write);
    connect(save, &QPushButton::clicked, this, &CombineWindow::saveResult);
    connect(creator, &QPushButton::clicked, this, &CombineWindow::toCreator);
    connect(write, &QPushButton::clicked, this, &CombineWindow::upload);
    return row;
}

void CombineWindow::refreshChoices() {
    monitors_->clear();
    for (const PcMonitor& m : ScanPcMonitors(sysfsRoot_)) {
        if (m.ok) {
            monitors_->addItem(QString::fromStdString(m.directory));
        }
    }
    outputs_->clear();
    outputs_->addItems(tool_.deviceOutputs());
    targets_->clear();
    targets_->addItems(tool_.uploadTargets());
}

void CombineWindow::showTool() {
    showing_ = true;
    showSources();
    showFeatures();
    const CombineResult& r = tool_.result();
    summary_->setText(tool_.sources().empty() ? tr("Add the displays to combine.")
                      : r.status == CombineStatus::Written
                          ? tr("Result: %1 bytes, preferred %2, %3 VICs; %4 things left out.")
                                .arg(r.bytes.size())
                                .arg(Text(r.kept.preferred))
                                .arg(r.kept.vics.size())
                                .arg(r.dropped.size())
                          : Text(r.error));
    showing_ = false;
}

void CombineWindow::showSources() {
    const auto& sources = tool_.sources();
    sources_->setRowCount(static_cast<int>(sources.size()));
    for (int i = 0; i < static_cast<int>(sources.size()); ++i) {
        const CombineTool::Source& s = sources[static_cast<std::size_t>(i)];
        sources_->setItem(i, 0, new QTableWidgetItem(s.name));
        sources_->item(i, 0)->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
        for (int column = 1; column <= 2; ++column) {
            auto* item = new QTableWidgetItem();
            item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            const bool on = column == 1 ? s.videoOnly : tool_.identity() == i;
            item->setCheckState(on ? Qt::Checked : Qt::Unchecked);
            sources_->setItem(i, column, item);
        }
    }
}

void CombineWindow::showFeatures() {
    const auto& sources = tool_.sources();
    const auto& rows = tool_.result().rows;
    QStringList headers{tr("Area"), tr("Feature")};
    for (const CombineTool::Source& s : sources) {
        headers << s.name;
    }
    headers << tr("Result") << tr("Why");
    features_->clear();
    features_->setColumnCount(headers.size());
    features_->setHorizontalHeaderLabels(headers);
    features_->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const CombineRow& row = rows[static_cast<std::size_t>(r)];
        QStringList cells{Text(row.area), Text(row.what)};
        for (std::size_t i = 0; i < sources.size(); ++i) {
            cells << (i < row.sinks.size() ? Text(row.sinks[i]) : QString());
        }
        cells << Text(row.result) << Text(row.why);
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (!row.why.empty()) {
                item->setForeground(QColor(0xB0, 0x30, 0x20));
                item->setToolTip(Text(row.why));
            }
            features_->setItem(r, c, item);
        }
    }
    features_->resizeColumnsToContents();
    // The reason is the last column: long texts stay readable in its tool tip.
    features_->setColumnWidth(headers.size() - 1, 260);
}

void CombineWindow::sourceChanged(int row, int column) {
    if (showing_ || column == 0) {
        return;
    }
    const bool on = sources_->item(row, column)->checkState() == Qt::Checked;
    if (column == 1) {
        tool_.setVideoOnly(row, on);
    } else {
        tool_.setIdentity(on ? row : tool_.identity());
        showTool(); // an identity cannot be unticked, only moved
    }
}

void CombineWindow::addFile() {
    const std::string path = prompt_.openFileNameFor(FileKind::Edid, "EDID (*.bin);;All (*)");
    QString why;
    if (!path.empty() && !tool_.addFile(QString::fromStdString(path), &why)) {
        prompt_.message("Combine EDIDs", why.toStdString());
    }
}

void CombineWindow::addMonitor() {
    QString why;
    if (monitors_->count() > 0 && !tool_.addMonitor(sysfsRoot_, monitors_->currentText(), &why)) {
        prompt_.message("Combine EDIDs", why.toStdString());
    }
}

void CombineWindow::addOutput() {
    const std::optional<NodeRef> node = tool_.deviceOutput(outputs_->currentIndex());
    QString why;
    if (node && !tool_.addNode(*node, &why)) {
        prompt_.message("Combine EDIDs", why.toStdString());
    }
}

void CombineWindow::saveResult() {
    const std::string path =
        prompt_.saveFileNameFor(FileKind::Edid, "EDID (*.bin)", "Combined EDID.bin");
    QString why;
    if (!path.empty() && !tool_.save(QString::fromStdString(path), &why)) {
        prompt_.message("Combine EDIDs", why.toStdString());
    }
}

void CombineWindow::toCreator() {
    QString why;
    if (tool_.toCreator(&why)) {
        emit creatorRequested();
    } else if (!why.isEmpty()) {
        prompt_.message("Combine EDIDs", why.toStdString());
    }
}

void CombineWindow::upload() {
    QString why;
    if (targets_->count() > 0 && !tool_.upload(targets_->currentIndex(), &why) && !why.isEmpty()) {
        prompt_.message("Combine EDIDs", why.toStdString());
    }
}

} // namespace lvx
