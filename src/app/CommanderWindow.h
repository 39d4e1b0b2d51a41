#pragma once

#include <QWidget>

class QFrame;
class QTabWidget;

namespace lvx {

class AnalyzerView;
class EdidControllerTab;
class EdidCreatorTab;
class IpConfigTab;
class MultiComTab;
class SystemTab;

// "Commander": the window that holds the feature tabs of the selected device.
class CommanderWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 460;
    static constexpr int kHeight = 480;
    static constexpr int kMultiComWidth = 1154;
    static constexpr int kMultiComHeight = 787;
    // Pixels between the main window's frame and this one's when placed beside it.
    static constexpr int kBesideGap = 8;

    explicit CommanderWindow(QWidget* parent = nullptr);

    QTabWidget* pages() const { return pages_; }
    IpConfigTab* ipTab() const { return ipTab_; }
    EdidControllerTab* edidTab() const { return edidTab_; }
    QWidget* analyzerTab() const { return analyzerTab_; }
    // GroupBox5, made on the hidden analyzer tab; the first analysis moves it into the
    // analyzer window.
    AnalyzerView* analyzerView() const { return analyzerView_; }
    EdidCreatorTab* creatorTab() const { return creatorTab_; }
    MultiComTab* multiComTab() const { return multiComTab_; }
    SystemTab* systemTab() const { return systemTab_; }

    void setTabShown(QWidget* tab, bool shown);
    bool tabShown(QWidget* tab) const;
    // Makes the tab with this caption the current one.
    void activate(const QString& caption);

    // Keeps the window near the main window: the first time, or when it is more than 280
    // pixels above or below, or more than 720 pixels left or right of it, it moves beside
    // the main window (right of it, else left of it, tops aligned; on a screen too narrow
    // for either the main window makes room; see PlaceBeside), kept in view on the screen. Then it
    // takes its normal size and shows. On " Multi-COM " it is 1154 x 787, or as much of that as the
    // screen has room for.
    void showNear(QWidget* mainWindow);

private:
    void onTabChanged(int index);

    bool placedOnce_ = false;
    QFrame* panel_;
    QTabWidget* pages_;
    IpConfigTab* ipTab_;
    EdidControllerTab* edidTab_;
    QWidget* analyzerTab_;
    AnalyzerView* analyzerView_;
    EdidCreatorTab* creatorTab_;
    MultiComTab* multiComTab_;
    SystemTab* systemTab_;
};

} // namespace lvx
