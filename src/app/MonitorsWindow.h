#pragma once

#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QVBoxLayout;

namespace lvx {

class MonitorsTool;
class Prompt;

// "Monitors of This PC": the displays connected to this PC with their EDIDs, and what can be
// done with the chosen one. It shows what its MonitorsTool holds and forwards the clicks.
class MonitorsWindow : public QWidget {
    Q_OBJECT
public:
    MonitorsWindow(MonitorsTool& tool, Prompt& prompt, QWidget* parent = nullptr);

    // Scans again and shows the window.
    void showAndScan();

    QTreeWidget* list() const { return list_; }
    QComboBox* targets() const { return targets_; }
    QLabel* statusLabel() const { return status_; }

private:
    void buildList(QVBoxLayout* layout);
    void buildActions(QVBoxLayout* layout);
    void connectActions();
    void showMonitors();
    void showState();
    void setStatus(const QString& text, bool red);
    void save();
    void upload();

    MonitorsTool& tool_;
    Prompt& prompt_;
    QLabel* source_;
    QTreeWidget* list_;
    QPushButton* refresh_;
    QPushButton* analyze_;
    QPushButton* copy_;
    QPushButton* save_;
    QComboBox* targets_;
    QPushButton* upload_;
    QLabel* status_;
};

} // namespace lvx
