#pragma once

#include "connection/SelectedDevice.h"
#include "protocol/Descriptor.h"

#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;

namespace lvx {

struct SelectionView;
class EdidControllerTool;
class InputModeTool;
class Prompt;

// "EDID Controller": the "Save  /  Upload  /  Analysis" group with the node list, and the
// "Mode Select" group with the input chooser and the 24 source buttons.
class EdidControllerTab : public QWidget {
    Q_OBJECT
public:
    explicit EdidControllerTab(QWidget* parent = nullptr);

    // Connects the controls to the tools that hold their state and run their flows.
    void bind(EdidControllerTool* tool, InputModeTool* modes, Prompt* prompt);

    // Refills the node list and the input chooser from a device's counts.
    void setLists(const EdidSelectionLists& lists, bool withInputChooser);
    void clearLists();
    // Shows the Mode Select group laid out for the selected device, or hides it.
    void applyModeLayout(const SelectionView& view);
    // Enables the source buttons of each column up to the given numbers, disables the rest.
    void setModeButtonsEnabled(const ModeSelectCounts& counts);

    QRadioButton* modeButton(const QString& prefix, int number) const;

    QGroupBox* transferGroup() const { return transferGroup_; }
    QGroupBox* modeGroup() const { return modeGroup_; }
    QComboBox* nodeList() const { return nodeList_; }
    QComboBox* inputChooser() const { return inputChooser_; }
    QToolButton* openButton() const { return openButton_; }
    QToolButton* saveButton() const { return saveButton_; }
    QToolButton* analysisButton() const { return analysisButton_; }
    QLabel* statusLabel() const { return statusLabel_; }

    static const char* const kModePrefixes[3];

signals:
    // Analysis EDID read the node; the record waits to be shown.
    void analysisReady();

private:
    void showModeButtons();
    void onNodeItem(int index);

    EdidControllerTool* tool_ = nullptr;
    InputModeTool* modes_ = nullptr;
    Prompt* prompt_ = nullptr;
    QGroupBox* transferGroup_;
    QGroupBox* modeGroup_;
    QComboBox* nodeList_;
    QComboBox* inputChooser_;
    QToolButton* openButton_;
    QToolButton* saveButton_;
    QToolButton* analysisButton_;
    QLabel* statusLabel_;
    QLineEdit* pathEdit_;
    QLabel* columnCaption_;
};

} // namespace lvx
