#pragma once

#include "site/SiteTool.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace lvx {

class Prompt;

// File > Apply Site File...: the dry run of a site file as a list (per device, per node and
// per input mode: unchanged or what would change), then the run with a progress dialog. Both
// go through the SiteTool the command line uses.
class SiteApplyDialog : public QDialog {
    Q_OBJECT
public:
    SiteApplyDialog(SiteTool& tool, Prompt& prompt, QWidget* parent = nullptr);

    // Reads the site file and shows its dry run; false (the errors told through the prompt,
    // nothing sent) when the file or its entries are wrong.
    bool load(const QString& path);
    // Applies the file loaded: backups, writes and read-backs, with a progress dialog.
    void apply();

    QTreeWidget* list() const { return list_; }
    QLabel* summaryLabel() const { return summary_; }
    QPushButton* applyButton() const { return apply_; }

private:
    void showReport(const SiteReport& report);

    SiteTool& tool_;
    Prompt& prompt_;
    LoadedSite site_;
    QLabel* file_;
    QTreeWidget* list_;
    QLabel* summary_;
    QPushButton* apply_;
    QPushButton* close_;
};

} // namespace lvx
