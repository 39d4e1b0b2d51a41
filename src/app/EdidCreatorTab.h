#pragma once

#include <QList>
#include <QWidget>

#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QScrollArea;
class QTabWidget;
class QToolButton;

namespace lvx {

class CreatorModel;
class CreatorTool;
class Prompt;

// "EDID Creator": the "Select" group with its buttons and the upload target list, the
// creator's seven sub-tabs and the shared warning label. The controls are generated from the
// layout tables of this class and the creator's control catalogue; each keeps its given name
// as objectName, and bind() ties them by that name to a CreatorModel: a click or an edit goes
// to the model, and what the model reports changed is shown.
class EdidCreatorTab : public QWidget {
    Q_OBJECT
public:
    explicit EdidCreatorTab(QWidget* parent = nullptr);

    // Ties the controls to the model. The tool runs Open EDID, Save EDID and Write EDID to
    // Device; without one those buttons do nothing. Messages are shown through the prompt.
    void bind(CreatorModel* model, CreatorTool* tool, Prompt* prompt);

    QComboBox* uploadList() const { return uploadList_; }
    // Refills the upload target list and selects its first item.
    void setUploadItems(const std::vector<std::string>& items);
    QTabWidget* pages() const { return pages_; }
    QToolButton* copyButton() const { return copy_; }
    QToolButton* compareButton() const { return compare_; }
    QToolButton* hexTableButton() const { return hexTable_; }
    // While a device flow runs the page stays lit, so Label3 is read in its own colour, but
    // nothing that starts a flow or loads another EDID can be pressed.
    void setFlowsEnabled(bool enabled);
    // Every text Label3 shows; it is made wide enough for the longest.
    static const std::vector<QString>& statusTexts();
    QScrollArea* audioScrollBox() const { return scrollBox_; }
    // The widget of a catalogue control (by the control's id), or null.
    QWidget* control(int id) const;

    // Mouse wheel step of the "Audio2" scroll box, in pixels.
    static constexpr int kWheelStep = 15;

signals:
    // "What will the build change?": the EDID as loaded against the one the build makes.
    void compareRequested();
    // The hex table window, where each edit shows at once, is wanted on screen.
    void hexTableRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* buildSelectGroup();
    QWidget* buildPages();
    void bindControl(int id, QWidget* widget);
    void bindButtons();
    void buildDescriptorPage(QWidget* page);
    void buildPcTimingPage(QWidget* page);
    void buildVideoPage(QWidget* page);
    void buildAudio1Page(QWidget* page);
    void buildAudio2Page(QWidget* page);
    void buildColorSpacePage(QWidget* page);
    void buildOthersPage(QWidget* page);
    void show(const QList<int>& ids);
    void showAll();

    QComboBox* uploadList_;
    QTabWidget* pages_;
    QToolButton* copy_;
    QToolButton* compare_;
    QToolButton* hexTable_;
    std::vector<QWidget*> flowControls_; // what a running flow disables
    bool flowsEnabled_ = true;
    QScrollArea* scrollBox_ = nullptr;
    std::vector<QWidget*> controls_; // by control id
    CreatorModel* model_ = nullptr;
    CreatorTool* tool_ = nullptr;
    Prompt* prompt_ = nullptr;
    QObject* binding_ = nullptr; // the context of bind()'s connections
};

} // namespace lvx
