#include "app/MonitorsWindow.h"

#include "app/Widgets.h"
#include "edid/MonitorsTool.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace lvx {

namespace {

QString Latin1(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

MonitorsWindow::MonitorsWindow(MonitorsTool& tool, Prompt& prompt, QWidget* parent)
    : QWidget(parent, Qt::Window), tool_(tool), prompt_(prompt) {
    setObjectName(QStringLiteral("MonitorsWindow"));
    setWindowTitle(tr("Monitors of This PC"));
    resize(620, 380);
    auto* layout = new QVBoxLayout(this);
    buildList(layout);
    buildActions(layout);
    status_ = Named(new QLabel(this), QStringLiteral("Label_Monitor_Status"));
    layout->addWidget(status_);
    connectActions();
}

// The source line with Refresh, and the connector list.
void MonitorsWindow::buildList(QVBoxLayout* layout) {
    auto* top = new QHBoxLayout;
    source_ = Named(new QLabel(this), QStringLiteral("Label_Monitor_Source"));
    refresh_ =
        Named(new QPushButton(tr("Refresh"), this), QStringLiteral("Button_Monitor_Refresh"));
    top->addWidget(source_, 1);
    top->addWidget(refresh_);
    layout->addLayout(top);

    list_ = Named(new QTreeWidget(this), QStringLiteral("List_Monitors"));
    list_->setColumnCount(5);
    list_->setHeaderLabels(
        {tr("Connector"), tr("EDID"), tr("Manufacturer"), tr("Monitor"), tr("Max Resolution")});
    list_->setRootIsDecorated(false);
    list_->setUniformRowHeights(true);
    list_->setAllColumnsShowFocus(true);
    list_->header()->setStretchLastSection(true);
    layout->addWidget(list_, 1);
}

// Analyze, Copy and Save for the chosen monitor; Upload to a slot of the selected device.
void MonitorsWindow::buildActions(QVBoxLayout* layout) {
    auto* actions = new QHBoxLayout;
    analyze_ =
        Named(new QPushButton(tr("Analyze"), this), QStringLiteral("Button_Monitor_Analyze"));
    copy_ = Named(new QPushButton(tr("Copy to EDID Creator"), this),
                  QStringLiteral("Button_Monitor_Copy"));
    save_ =
        Named(new QPushButton(tr("Save as .bin..."), this), QStringLiteral("Button_Monitor_Save"));
    actions->addWidget(analyze_);
    actions->addWidget(copy_);
    actions->addWidget(save_);
    actions->addStretch(1);
    layout->addLayout(actions);

    auto* uploadGroup = MakeGroup(this, QStringLiteral("GroupBox_Monitor_Upload"),
                                  tr("Upload to the selected device"));
    auto* uploadRow = new QHBoxLayout(uploadGroup);
    targets_ = Named(new QComboBox(uploadGroup), QStringLiteral("ComboBox_Monitor_Target"));
    targets_->setMinimumWidth(170);
    targets_->setPlaceholderText(tr("No device connected"));
    upload_ =
        Named(new QPushButton(tr("Upload"), uploadGroup), QStringLiteral("Button_Monitor_Upload"));
    uploadRow->addWidget(targets_);
    uploadRow->addWidget(upload_);
    uploadRow->addStretch(1);
    layout->addWidget(uploadGroup);
}

void MonitorsWindow::connectActions() {
    connect(refresh_, &QPushButton::clicked, &tool_, &MonitorsTool::rescan);
    connect(list_, &QTreeWidget::currentItemChanged, this,
            [this] { tool_.select(list_->indexOfTopLevelItem(list_->currentItem())); });
    connect(analyze_, &QPushButton::clicked, &tool_, &MonitorsTool::analyze);
    connect(copy_, &QPushButton::clicked, this, [this] {
        if (!tool_.copyToCreator() && !tool_.lastError().isEmpty()) {
            setStatus(tr("Not copied: %1").arg(tool_.lastError()), true);
        }
    });
    connect(save_, &QPushButton::clicked, this, &MonitorsWindow::save);
    connect(upload_, &QPushButton::clicked, this, &MonitorsWindow::upload);
    // A separator of the target list gives way to the item before it.
    connect(targets_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index > 0 && targets_->itemText(index).startsWith(QLatin1Char('-'))) {
            targets_->setCurrentIndex(index - 1);
        }
    });

    connect(&tool_, &MonitorsTool::monitorsChanged, this, &MonitorsWindow::showMonitors);
    connect(&tool_, &MonitorsTool::selectionChanged, this, &MonitorsWindow::showState);
    connect(&tool_, &MonitorsTool::stateChanged, this, &MonitorsWindow::showState);
    showMonitors();
}

void MonitorsWindow::showAndScan() {
    tool_.rescan();
    show();
    raise();
    activateWindow();
}

void MonitorsWindow::showMonitors() {
    source_->setText(tr("Displays reported by %1/class/drm").arg(tool_.sysfsRoot()));
    const QSignalBlocker blocker(list_);
    list_->clear();
    for (const ScannedMonitor& s : tool_.monitors()) {
        auto* item = new QTreeWidgetItem(list_);
        item->setText(0, QString::fromStdString(s.monitor.name.connector));
        if (s.monitor.ok) {
            item->setText(1, tr("ok"));
            item->setText(2, Latin1(s.manufacturer()));
            item->setText(3, Latin1(s.monitorName()));
            item->setText(4, Latin1(s.report.text("Label_Max_Resolution")));
        } else {
            item->setText(1, tr("no EDID (%1)").arg(QString::fromStdString(s.monitor.problem)));
            for (int column = 0; column < 5; ++column) {
                item->setForeground(column, palette().brush(QPalette::Disabled, QPalette::Text));
            }
        }
        item->setToolTip(0, QString::fromStdString(s.monitor.directory));
    }
    for (int column = 0; column < 4; ++column) {
        list_->resizeColumnToContents(column);
    }
    if (tool_.monitors().empty()) {
        setStatus(tr("No display connector reports an EDID."), false);
    } else {
        setStatus(QString(), false);
    }
    showState();
}

void MonitorsWindow::showState() {
    if (tool_.selected() >= 0 && list_->currentItem() != list_->topLevelItem(tool_.selected())) {
        const QSignalBlocker blocker(list_);
        list_->setCurrentItem(list_->topLevelItem(tool_.selected()));
    }
    analyze_->setEnabled(tool_.canLoad());
    copy_->setEnabled(tool_.canLoad());
    save_->setEnabled(tool_.hasEdid());

    const QStringList items = tool_.uploadTargets();
    QStringList shown;
    for (int i = 0; i < targets_->count(); ++i) {
        shown << targets_->itemText(i);
    }
    if (shown != items) {
        const QSignalBlocker blocker(targets_);
        targets_->clear();
        targets_->addItems(items);
        targets_->setCurrentIndex(items.isEmpty() ? -1 : 0);
    }
    targets_->setEnabled(!items.isEmpty());
    upload_->setEnabled(tool_.canUpload() && targets_->currentIndex() >= 0);
    upload_->setToolTip(items.isEmpty() ? tr("No device is connected") : QString());
}

void MonitorsWindow::setStatus(const QString& text, bool red) {
    status_->setText(text);
    status_->setStyleSheet(red ? QStringLiteral("color: red") : QStringLiteral("color: black"));
}

void MonitorsWindow::save() {
    switch (tool_.save(prompt_)) {
    case EdidControllerTool::Outcome::Done:
        setStatus(tr("Saved."), false);
        break;
    case EdidControllerTool::Outcome::Failed:
        setStatus(tool_.lastError(), true);
        break;
    default:
        break;
    }
}

void MonitorsWindow::upload() {
    const QString target = targets_->currentText();
    switch (tool_.upload(targets_->currentIndex())) {
    case EdidControllerTool::Outcome::Done:
        setStatus(tr("Uploaded to %1.").arg(target), false);
        break;
    case EdidControllerTool::Outcome::Failed:
        setStatus(tool_.lastError(), true);
        break;
    default:
        break;
    }
}

} // namespace lvx
