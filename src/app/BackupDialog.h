#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace lvx {

class DeviceBackupTool;

// The progress of a device backup or restore: the step running, a bar, every finished step,
// a Cancel button while the flow runs and a Close button after it. It shows what the
// DeviceBackupTool reports.
class BackupDialog : public QDialog {
    Q_OBJECT
public:
    BackupDialog(DeviceBackupTool& tool, QWidget* parent = nullptr);

    // Clears the dialog for a new flow and shows it.
    void begin(const QString& title, const QString& folder);
    // The flow ended: the summary, in red when it failed.
    void end(const QString& summary, bool ok);

    QProgressBar* bar() const { return bar_; }
    QPlainTextEdit* steps() const { return steps_; }
    QLabel* stepLabel() const { return step_; }
    QLabel* summaryLabel() const { return summary_; }
    QPushButton* cancelButton() const { return cancel_; }
    QPushButton* closeButton() const { return close_; }

protected:
    void reject() override;

private:
    DeviceBackupTool& tool_;
    QLabel* folder_;
    QLabel* step_;
    QProgressBar* bar_;
    QPlainTextEdit* steps_;
    QLabel* summary_;
    QPushButton* cancel_;
    QPushButton* close_;
};

} // namespace lvx
