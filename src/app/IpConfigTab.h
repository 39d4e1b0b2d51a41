#pragma once

#include <QUrl>
#include <QWidget>

#include <functional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace lvx {

class IpConfigTool;
struct IpEdits;

// "IP Configure": the network settings of the selected network device.
class IpConfigTab : public QWidget {
    Q_OBJECT
public:
    explicit IpConfigTab(QWidget* parent = nullptr);

    // Connects the controls to the tool that holds their state and writes them.
    void bind(IpConfigTool* tool);

    // Opens a web address; the system's default handler unless a test looks instead.
    std::function<bool(const QUrl&)> openUrl;

    // What the edits hold now, as the tool takes them.
    IpEdits edits() const;

    QComboBox* modeList() const { return mode_; }
    QLineEdit* ipEdit() const { return ip_; }
    QLineEdit* maskEdit() const { return mask_; }
    QLineEdit* gatewayEdit() const { return gateway_; }
    QLineEdit* dnsEdit() const { return dns_; }
    QLineEdit* webPortEdit() const { return webPort_; }
    QLineEdit* telnetPortEdit() const { return telnetPort_; }
    QLabel* statusLabel() const { return status_; }
    QToolButton* webButton() const { return web_; }
    QToolButton* writeButton() const { return write_; }

private:
    QGroupBox* buildInformation();
    void makeInformationControls(QGroupBox* info);
    void show(IpConfigTool* tool);
    void applyModeRule(int mode);
    void openWebPage();

    IpConfigTool* tool_ = nullptr;
    QToolButton* web_;
    QToolButton* write_;
    QLabel* productId_;
    QLabel* productName_;
    QLabel* mac_;
    QComboBox* mode_;
    QLineEdit* ip_;
    QLineEdit* mask_;
    QLineEdit* gateway_;
    QLineEdit* dns_;
    QLineEdit* webPort_;
    QLineEdit* telnetPort_;
    QLabel* serial_;
    QLabel* description_;
    QLabel* webLink_;
    QLabel* status_;
};

} // namespace lvx
