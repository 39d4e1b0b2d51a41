#pragma once

#include <QWidget>

class QFrame;

namespace lvx {

class AnalyzerView;
struct AnalyzerReport;

// "EDID Analyzer": shows the analysis of the node's EDID next to the Commander window.
class AnalyzerWindow : public QWidget {
    Q_OBJECT
public:
    // How far the window may stray from the Commander window before an analysis brings it
    // back, and where it then goes relative to the Commander window's top left corner.
    static constexpr int kMaxTopDistance = 280;
    static constexpr int kMaxLeftDistance = 680;
    static constexpr int kLeftOffset = 465;

    explicit AnalyzerWindow(QWidget* parent = nullptr);
    QFrame* panel() const { return panel_; }

    // Makes the view a child of Panel1, filling it; a view already there stays as it is.
    void adopt(AnalyzerView* view);

    // When the window's top is more than 280 pixels from the Commander window's top, or its
    // left edge more than 680 pixels from the Commander window's, moves it to the Commander
    // window's top and left edge + 465, kept in view on the screen (the least move that
    // brings it whole onto the screen); otherwise it stays where the user left it. Then
    // shows it (not modal) and raises it.
    void showNear(const QWidget* commander);

    // One analysis: fills the view from the report, takes it into Panel1 and shows the
    // window near the Commander window.
    void showAnalysis(AnalyzerView* view, const AnalyzerReport& report, const QWidget* commander);

private:
    QFrame* panel_;
};

} // namespace lvx
