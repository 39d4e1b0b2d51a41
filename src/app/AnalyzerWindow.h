#pragma once

#include <QWidget>

class QFrame;

namespace lvx {

// "EDID Analyzer": shows the analysis of the node's EDID next to the Commander window.
class AnalyzerWindow : public QWidget {
    Q_OBJECT
public:
    explicit AnalyzerWindow(QWidget* parent = nullptr);
    QFrame* panel() const { return panel_; }

private:
    QFrame* panel_;
};

} // namespace lvx
