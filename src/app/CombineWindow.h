#pragma once

#include <QCheckBox>
#include <QWidget>

#include <array>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace lvx {

class CombineTool;
class Prompt;

// "Combine EDIDs": the displays to combine (files, this PC's monitors, the selected device's
// outputs), each marked video only or as the identity; the intents as check boxes; a table
// of every feature against the displays (what each has, what the result keeps and why not);
// and where the result goes: a file, the creator, an input or user slot of the device.
class CombineWindow : public QWidget {
    Q_OBJECT
public:
    CombineWindow(CombineTool& tool, Prompt& prompt, const QString& sysfsRoot,
                  QWidget* parent = nullptr);

    QTableWidget* sourcesTable() const { return sources_; }
    QTableWidget* featuresTable() const { return features_; }
    QLabel* summary() const { return summary_; }
    QCheckBox* intentBox(std::size_t i) const { return intents_[i]; }

    // Lists this PC's monitors and the device's outputs again.
    void refreshChoices();

signals:
    // The result went to the device's EDID record for the creator.
    void creatorRequested();

private:
    QWidget* buildAddRow();
    QWidget* buildIntents();
    QWidget* buildResultRow();
    void showTool();
    void showSources();
    void showFeatures();
    void addFile();
    void addMonitor();
    void addOutput();
    void sourceChanged(int row, int column);
    void saveResult();
    void toCreator();
    void upload();

    CombineTool& tool_;
    Prompt& prompt_;
    QString sysfsRoot_;
    QComboBox* monitors_ = nullptr;
    QComboBox* outputs_ = nullptr;
    QComboBox* blocks_ = nullptr;
    QComboBox* targets_ = nullptr;
    QTableWidget* sources_ = nullptr;
    QTableWidget* features_ = nullptr;
    QLabel* summary_ = nullptr;
    std::array<QCheckBox*, 11> intents_{};
    bool showing_ = false;
};

} // namespace lvx
