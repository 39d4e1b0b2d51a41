#pragma once

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace lvx {

// "System": the "Firmware", "Configuration" and "Serial Number" groups.
class SystemTab : public QWidget {
    Q_OBJECT
public:
    explicit SystemTab(QWidget* parent = nullptr);

    QGroupBox* firmwareGroup() const { return firmware_; }
    QGroupBox* configurationGroup() const { return configuration_; }
    QGroupBox* serialNumberGroup() const { return serialNumber_; }
    QLabel* versionLabel() const { return version_; }
    QLabel* progressLabel() const { return progress_; }
    QLineEdit* firmwarePath() const { return path_; }
    QLineEdit* productString() const { return product_; }
    QToolButton* defaultButton() const { return default_; }
    QLabel* serialNumberLabel() const { return serial_; }

private:
    QGroupBox* firmware_;
    QGroupBox* configuration_;
    QGroupBox* serialNumber_;
    QLabel* version_;
    QLabel* progress_;
    QLineEdit* path_;
    QLineEdit* product_;
    QToolButton* default_;
    QLabel* serial_;
};

} // namespace lvx
