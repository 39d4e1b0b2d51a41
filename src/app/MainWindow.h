#pragma once

#include "app/AppOptions.h"
#include "connection/ConnectionController.h"
#include "edid/EdidRecord.h"

#include <QFrame>
#include <QMainWindow>

#include <memory>

class QAction;
class QMenu;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace lvx {

class AnalyzerWindow;
class BackupDialog;
class SiteApplyDialog;
class SiteTool;
class CommanderWindow;
class CreatorModel;
class CreatorTool;
class CompareTool;
class CompareWindow;
class CombineTool;
class CombineWindow;
class DeviceBackupTool;
class MonitorsTool;
class MonitorsWindow;
class EdidControllerTool;
class EdidTransfer;
class FirmwareTool;
class IpConfigTool;
class SystemConfigTool;
class InputModeTool;
class MultiComTool;
class DeviceGrid;
class EdidWorkImage;
class HexTableWindow;
class EdidDetailsWindow;
class Prompt;
class ActivityLog;
class ActivityLogView;

// The small panel whose double click shows or hides the debug memo.
class DebugPanel : public QFrame {
    Q_OBJECT
public:
    using QFrame::QFrame;
signals:
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

// "Linkvex": the device list, Search and Disconnect, the menus and the debug memo. It owns
// the connection and the companion windows, which it creates after itself in this order:
// "EDID Analyzer", "Commander", "EDID Hex Table".
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kMemoWidth = 300;

    explicit MainWindow(const AppOptions& options, Prompt* prompt = nullptr,
                        QWidget* parent = nullptr);
    ~MainWindow() override;

    // Opens the network endpoints. When the reply port is taken, tells the user
    // "VEXA already executed !" and returns false: the program then ends.
    bool start();

    ConnectionController& controller() { return *controller_; }
    AnalyzerWindow* analyzerWindow() const { return analyzer_.get(); }
    // The whole decode, findings and bytes of the EDID last analysed, or of a file.
    EdidDetailsWindow* detailsWindow() const { return details_.get(); }
    CommanderWindow* commanderWindow() const { return commander_.get(); }
    HexTableWindow* hexTableWindow() const { return hexTable_.get(); }
    // The creator's working image, which the hex table window shows.
    EdidWorkImage& workImage() const { return *workImage_; }
    DeviceGrid* grid() const { return grid_; }
    // What the program did, below the device list.
    ActivityLog& activityLog() const { return *activity_; }
    ActivityLogView* activityView() const { return activityView_; }
    Prompt& prompt() { return *prompt_; }
    EdidControllerTool& edidTool() { return *edidTool_; }
    // The creator's working EDID, and the creator that works on it.
    EdidRecord& creatorRecord();
    CreatorModel& creatorModel() const { return *creatorModel_; }
    InputModeTool& modeTool() { return *modeTool_; }
    FirmwareTool& firmwareTool() { return *firmwareTool_; }
    SystemConfigTool& configTool() { return *configTool_; }
    IpConfigTool& ipTool() { return *ipTool_; }
    MultiComTool& multiComTool() { return *multiComTool_; }

    void search();
    void disconnectDevices();
    void selectRow(int row);
    void toggleDebugMemo();
    void about();
    void toggleHexTable();

    // Tool menu: the PC's own monitors, device backup and restore, comparing two EDIDs.
    void showMonitors();
    void backupDevice();
    void restoreDevice();
    void showCompare();
    // Tool > Combine EDIDs...: one EDID every display takes.
    void showCombine();
    // Shows two EDIDs compared, e.g. the creator's loaded EDID and the one it would build.
    // "What will the build change?": the creator's loaded EDID against its build.
    void compareCreatorBuild();
    void compareImages(const EdidImage& a, const QString& nameA, const EdidImage& b,
                       const QString& nameB);
    MonitorsTool& monitorsTool() { return *monitorsTool_; }
    DeviceBackupTool& backupTool() { return *backupTool_; }
    CompareTool& compareTool() { return *compareTool_; }
    MonitorsWindow* monitorsWindow() const { return monitorsWindow_.get(); }
    CompareWindow* compareWindow() const { return compareWindow_.get(); }
    CombineWindow* combineWindow() const { return combineWindow_.get(); }
    BackupDialog* backupDialog() const { return backupDialog_; }
    // File > Apply Site File...: the site file's dry run, then the run, in one dialog.
    void applySiteFile();
    SiteApplyDialog* siteDialog();

protected:
    // Closing the main window ends the program: the companion windows close with it and
    // the device is no longer polled.
    void closeEvent(QCloseEvent* event) override;

private:
    void makeTools(const AppOptions& options);
    int buildCentral();
    void bindTabs();
    void connectControls();
    void buildMenus();
    void buildBeyondMenuItems(QMenu* toolMenu);
    void updateDeviceToolItems();
    void applyState();
    void showAnalysis();
    // The details window beside the analyzer, for the device node's EDID or a monitor's.
    void showNodeDetails();
    void showMonitorDetails();
    void copyToCreator();
    void applySelection();
    void onDisconnected();
    // Tells the user which device stopped answering, what ran and what to check.
    void onConnectionLost();
    void onBusy(bool busy);
    void refreshMemo();
    // Lays out the list, the memo and the window for a list of this width.
    void fitToGrid(int gridWidth);

    AppOptions options_;
    std::unique_ptr<Prompt> ownPrompt_;
    Prompt* prompt_;
    ConnectionController* controller_;
    // The tools work on the connection: they go before it (members before children).
    std::unique_ptr<EdidTransfer> transfer_;
    std::unique_ptr<EdidControllerTool> edidTool_;
    std::unique_ptr<InputModeTool> modeTool_;
    std::unique_ptr<CreatorTool> creatorTool_;
    std::unique_ptr<FirmwareTool> firmwareTool_;
    std::unique_ptr<SystemConfigTool> configTool_;
    std::unique_ptr<IpConfigTool> ipTool_;
    std::unique_ptr<MultiComTool> multiComTool_;
    std::unique_ptr<MonitorsTool> monitorsTool_;
    std::unique_ptr<DeviceBackupTool> backupTool_;
    std::unique_ptr<CompareTool> compareTool_;
    ActivityLog* activity_ = nullptr;    // a child: it outlives the tools it follows
    EdidWorkImage* workImage_ = nullptr; // children, so they outlive the windows
    CreatorModel* creatorModel_ = nullptr;
    std::unique_ptr<AnalyzerWindow> analyzer_;
    std::unique_ptr<EdidDetailsWindow> details_;
    std::unique_ptr<CommanderWindow> commander_;
    std::unique_ptr<HexTableWindow> hexTable_;
    std::unique_ptr<MonitorsWindow> monitorsWindow_;
    std::unique_ptr<CompareWindow> compareWindow_;
    std::unique_ptr<CombineTool> combineTool_;
    std::unique_ptr<CombineWindow> combineWindow_;
    BackupDialog* backupDialog_ = nullptr;
    std::unique_ptr<SiteTool> siteTool_;
    SiteApplyDialog* siteDialog_ = nullptr;
    QAction* siteItem_ = nullptr;

    QWidget* central_ = nullptr;
    QLabel* image_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    QPushButton* disconnectButton_ = nullptr;
    DeviceGrid* grid_ = nullptr;
    ActivityLogView* activityView_ = nullptr;
    QPlainTextEdit* memo_ = nullptr;
    DebugPanel* debugPanel_ = nullptr;
    QPushButton* clearButton_ = nullptr;
    QComboBox* portList_ = nullptr;
    QAction* ethernetItem_ = nullptr;
    QAction* comPortItem_ = nullptr;
    QAction* hexItem_ = nullptr;
    QAction* backupItem_ = nullptr;
    QAction* restoreItem_ = nullptr;
    QTimer* memoRefresh_ = nullptr;
    // What the memo shows of the debug log: its rewrite count and size at the last refresh.
    std::uint64_t memoRewrites_ = ~std::uint64_t{0};
    std::size_t memoShownSize_ = 0;
    bool memoShown_ = false;
    // The polls' lease taken when the window closed.
    std::unique_ptr<PollLease> closedLease_;
};

} // namespace lvx
