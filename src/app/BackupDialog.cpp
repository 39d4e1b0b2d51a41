#include "app/BackupDialog.h"

#include "app/Widgets.h"
#include "edid/DeviceBackupTool.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace lvx {

BackupDialog::BackupDialog(DeviceBackupTool& tool, QWidget* parent) : QDialog(parent), tool_(tool) {
    setObjectName(QStringLiteral("BackupDialog"));
    setModal(true);
    resize(480, 360);
    auto* layout = new QVBoxLayout(this);
    folder_ = Named(new QLabel(this), QStringLiteral("Label_Backup_Folder"));
    folder_->setWordWrap(true);
    step_ = Named(new QLabel(this), QStringLiteral("Label_Backup_Step"));
    bar_ = Named(new QProgressBar(this), QStringLiteral("ProgressBar_Backup"));
    steps_ = Named(new QPlainTextEdit(this), QStringLiteral("Memo_Backup_Steps"));
    steps_->setReadOnly(true);
    summary_ = Named(new QLabel(this), QStringLiteral("Label_Backup_Summary"));
    summary_->setWordWrap(true);
    cancel_ = Named(new QPushButton(tr("Cancel"), this), QStringLiteral("Button_Backup_Cancel"));
    close_ = Named(new QPushButton(tr("Close"), this), QStringLiteral("Button_Backup_Close"));
    layout->addWidget(folder_);
    layout->addWidget(step_);
    layout->addWidget(bar_);
    layout->addWidget(steps_, 1);
    layout->addWidget(summary_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);
    buttons->addWidget(close_);
    layout->addLayout(buttons);

    connect(cancel_, &QPushButton::clicked, &tool_, &DeviceBackupTool::cancel);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);
    connect(&tool_, &DeviceBackupTool::progress, this,
            [this](int done, int total, const QString& text) {
                bar_->setRange(0, total);
                bar_->setValue(done);
                if (!text.isEmpty()) {
                    step_->setText(text);
                }
            });
    connect(&tool_, &DeviceBackupTool::stepFinished, this, [this](const QString& line, bool ok) {
        steps_->appendPlainText(ok ? line : QStringLiteral("!! ") + line);
    });
}

void BackupDialog::begin(const QString& title, const QString& folder) {
    setWindowTitle(title);
    folder_->setText(tr("Folder: %1").arg(folder));
    step_->clear();
    bar_->setRange(0, 1);
    bar_->setValue(0);
    steps_->clear();
    summary_->clear();
    summary_->setStyleSheet(QString());
    cancel_->setEnabled(true);
    close_->setEnabled(false);
    show();
    raise();
}

void BackupDialog::end(const QString& summary, bool ok) {
    step_->setText(ok ? tr("Done.") : tr("Ended with errors."));
    summary_->setText(summary);
    summary_->setStyleSheet(ok ? QStringLiteral("color: black") : QStringLiteral("color: red"));
    cancel_->setEnabled(false);
    close_->setEnabled(true);
    close_->setDefault(true);
}

void BackupDialog::reject() {
    // Escape or the close box while the flow runs asks it to stop; the dialog stays until the
    // flow has ended, so that its result is seen.
    if (tool_.running()) {
        tool_.cancel();
        return;
    }
    QDialog::reject();
}

} // namespace lvx
