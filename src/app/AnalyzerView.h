#pragma once

#include <QGroupBox>
#include <QString>

#include <vector>

class QFrame;
class QLabel;
class QToolButton;

namespace lvx {

struct AnalyzerReport;

// "EDID Information" (GroupBox5): the fifteen facts of an analysis, one row each, and the
// "Copy to EDID Creator" button below them. It holds texts only; the report it is given is
// the whole of its state.
class AnalyzerView : public QGroupBox {
    Q_OBJECT
public:
    static constexpr int kValueLeft = 188;
    // The room right of the captions that the analyzer window leaves the values.
    static constexpr int kValueWidth = 220;

    explicit AnalyzerView(QWidget* parent = nullptr);

    // Fills every value label, the audio row's height and the button's picture from the
    // report. An invalid report has no audio row height: the row keeps the one it had.
    void show(const AnalyzerReport& report);
    using QGroupBox::show;

    // The value label of a row by its name ("Label_Edid_Header" ...), null for another name.
    QLabel* valueLabel(const QString& name) const;
    QFrame* audioPanel() const { return audioPanel_; }
    QToolButton* copyButton() const { return copyButton_; }

signals:
    // "Copy to EDID Creator" was clicked.
    void copyRequested();

private:
    std::vector<QLabel*> values_; // in row order
    QFrame* audioPanel_ = nullptr;
    QToolButton* copyButton_ = nullptr;
};

} // namespace lvx
