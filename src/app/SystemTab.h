#pragma once

#include <QString>
#include <QWidget>

#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QToolButton;

namespace lvx {

class FirmwareTool;
class Prompt;
class SystemConfigTool;

// "System": the "Firmware", "Configuration" and "Serial Number" groups.
class SystemTab : public QWidget {
    Q_OBJECT
public:
    explicit SystemTab(QWidget* parent = nullptr);
    ~SystemTab() override;

    // Connects the controls to the tools that hold their state and run their flows. The
    // warning dialogs of Update Firmware and Factory Default are placed relative to
    // `dialogAnchor` (the Commander window) when the prompt is the program's own.
    void bind(FirmwareTool* firmware, SystemConfigTool* config, Prompt* prompt,
              QWidget* dialogAnchor);

    QGroupBox* firmwareGroup() const { return firmware_; }
    QGroupBox* configurationGroup() const { return configuration_; }
    QGroupBox* serialNumberGroup() const { return serialNumber_; }
    QLabel* versionLabel() const { return version_; }
    QLabel* progressLabel() const { return progress_; }
    QProgressBar* progressBar() const { return bar_; }
    QLineEdit* firmwarePath() const { return path_; }
    QLineEdit* productString() const { return product_; }
    QLabel* configStatus() const { return status_; }
    QToolButton* openButton() const { return open_; }
    QToolButton* updateButton() const { return update_; }
    QToolButton* configButton() const { return config_; }
    QToolButton* defaultButton() const { return default_; }
    QLabel* serialNumberLabel() const { return serial_; }

private:
    QGroupBox* firmware_;
    QGroupBox* configuration_;
    QGroupBox* serialNumber_;
    QLabel* version_;
    QLabel* progress_;
    QProgressBar* bar_;
    QLineEdit* path_;
    QToolButton* open_;
    QToolButton* update_;
    QLineEdit* product_;
    QLabel* status_;
    QToolButton* config_;
    QToolButton* default_;
    QLabel* serial_;
    std::unique_ptr<Prompt> prompt_;
};

} // namespace lvx
