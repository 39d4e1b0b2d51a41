#include "app/SiteApplyDialog.h"

#include "common/Prompt.h"
#include "edid/BackupManifest.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace lvx {

namespace {

QString Text(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString OutcomeText(SiteOutcome outcome, const QString& reason) {
    switch (outcome) {
    case SiteOutcome::Unchanged:
        return SiteApplyDialog::tr("unchanged");
    case SiteOutcome::WouldChange:
        return SiteApplyDialog::tr("will change");
    case SiteOutcome::Written:
        return SiteApplyDialog::tr("written, read back alike");
    case SiteOutcome::Failed:
        break;
    }
    return SiteApplyDialog::tr("failed: %1").arg(reason);
}

QTreeWidgetItem* Item(QTreeWidgetItem* parent, const QString& what, const QString& state,
                      bool bad) {
    auto* item = new QTreeWidgetItem(parent, {what, state});
    if (bad) {
        item->setForeground(1, QColor(Qt::red));
    }
    return item;
}

} // namespace

SiteApplyDialog::SiteApplyDialog(SiteTool& tool, Prompt& prompt, QWidget* parent)
    : QDialog(parent), tool_(tool), prompt_(prompt), file_(new QLabel(this)),
      list_(new QTreeWidget(this)), summary_(new QLabel(this)),
      apply_(new QPushButton(tr("Apply"), this)), close_(new QPushButton(tr("Close"), this)) {
    setObjectName(QStringLiteral("SiteApplyDialog"));
    setWindowTitle(tr("Apply Site File"));
    list_->setObjectName(QStringLiteral("SiteList"));
    list_->setHeaderLabels({tr("Device, node or input"), tr("State")});
    list_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    apply_->setObjectName(QStringLiteral("SiteApply"));
    close_->setObjectName(QStringLiteral("SiteClose"));
    summary_->setObjectName(QStringLiteral("SiteSummary"));
    summary_->setWordWrap(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(apply_);
    buttons->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(file_);
    layout->addWidget(list_);
    layout->addWidget(summary_);
    layout->addLayout(buttons);
    resize(640, 420);
    connect(apply_, &QPushButton::clicked, this, &SiteApplyDialog::apply);
    connect(close_, &QPushButton::clicked, this, &QDialog::reject);
}

bool SiteApplyDialog::load(const QString& path) {
    site_ = LoadSiteFile(path);
    file_->setText(QDir::toNativeSeparators(path));
    const SiteReport report = tool_.run(site_, true, QString());
    if (!report.errors.empty()) {
        std::string text = "Nothing was sent. The site file has errors:";
        for (const SiteError& e : report.errors) {
            text += "\n" + FormatSiteError(QFileInfo(path).fileName().toStdString(), e);
        }
        prompt_.message("Apply Site File", text);
        return false;
    }
    showReport(report);
    show();
    raise();
    return true;
}

void SiteApplyDialog::apply() {
    QProgressDialog progress(tr("Applying the site file..."), tr("Cancel"), 0,
                             static_cast<int>(site_.site.devices.size()), this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    const QMetaObject::Connection step =
        connect(&tool_, &SiteTool::progress, &progress,
                [&progress](int done, int total, const QString& text) {
                    progress.setMaximum(total);
                    progress.setValue(done);
                    if (!text.isEmpty()) {
                        progress.setLabelText(tr("Applying the site file: %1").arg(text));
                    }
                });
    connect(&progress, &QProgressDialog::canceled, &tool_, &SiteTool::cancel);
    apply_->setEnabled(false);
    const QString backups =
        QFileInfo(site_.path).absoluteDir().filePath(QStringLiteral("linkvex-backups"));
    const SiteReport report = tool_.run(site_, false, backups);
    disconnect(step);
    progress.reset();
    showReport(report);
}

void SiteApplyDialog::showReport(const SiteReport& report) {
    list_->clear();
    int differing = 0;
    for (const SiteDeviceReport& d : report.devices) {
        auto* device = new QTreeWidgetItem(
            list_, {QStringLiteral("%1 (%2)").arg(d.name, d.where),
                    d.error.isEmpty()
                        ? (d.matches() ? tr("matches the file") : tr("differs from the file"))
                        : tr("failed: %1").arg(d.error)});
        if (!d.error.isEmpty()) {
            device->setForeground(1, QColor(Qt::red));
        }
        for (const SiteNodeReport& n : d.nodes) {
            QTreeWidgetItem* node =
                Item(device,
                     QStringLiteral("%1 <- %2").arg(Text(NodeName(n.plan.node)), Text(n.plan.file)),
                     OutcomeText(n.outcome, n.reason), n.outcome == SiteOutcome::Failed);
            for (const std::string& line : n.plan.changes) {
                Item(node, Text(line), QString(), false);
            }
            differing += n.outcome == SiteOutcome::WouldChange ? 1 : 0;
        }
        for (const SiteModeReport& m : d.modes) {
            Item(device,
                 tr("input%1 mode: %2 -> %3")
                     .arg(m.plan.input + 1)
                     .arg(m.plan.presentSource.empty() ? tr("unknown") : Text(m.plan.presentSource),
                          Text(m.plan.wantedSource)),
                 OutcomeText(m.outcome, m.reason), m.outcome == SiteOutcome::Failed);
            differing += m.outcome == SiteOutcome::WouldChange ? 1 : 0;
        }
        device->setExpanded(true);
    }
    if (report.dryRun) {
        summary_->setText(differing == 0
                              ? tr("Every device already matches the file.")
                              : tr("%1 nodes and modes will change. Each device is backed up "
                                   "before it is changed.")
                                    .arg(differing));
    } else {
        summary_->setText(report.ok() ? tr("Every device matches the file.")
                                      : tr("Not every device matches the file."));
    }
    apply_->setEnabled(report.dryRun && differing > 0);
}

} // namespace lvx
