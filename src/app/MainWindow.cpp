#include "app/MainWindow.h"

#include "app/ActivityLogView.h"
#include "app/AnalyzerView.h"
#include "app/AnalyzerWindow.h"
#include "app/BackupDialog.h"
#include "app/CombineWindow.h"
#include "app/CommanderWindow.h"
#include "app/CompareWindow.h"
#include "app/DeviceGrid.h"
#include "app/DevicePresenter.h"
#include "app/EdidControllerTab.h"
#include "app/EdidCreatorTab.h"
#include "app/EdidDetailsWindow.h"
#include "app/HexTableWindow.h"
#include "app/IpConfigTab.h"
#include "app/MonitorsWindow.h"
#include "app/MultiComTab.h"
#include "app/Pictures.h"
#include "app/Placement.h"
#include "app/SiteApplyDialog.h"
#include "app/SystemTab.h"
#include "app/WidgetPrompt.h"
#include "app/Widgets.h"
#include "common/Version.h"
#include "creator/CreatorModel.h"
#include "creator/CreatorTool.h"
#include "creator/EdidWorkImage.h"
#include "edid/AnalyzerReport.h"
#include "edid/CombineTool.h"
#include "edid/CompareTool.h"
#include "edid/DeviceBackupTool.h"
#include "edid/EdidControllerTool.h"
#include "edid/EdidParse.h"
#include "edid/EdidTransfer.h"
#include "edid/InputModeTool.h"
#include "edid/MonitorScan.h"
#include "edid/MonitorsTool.h"
#include "links/UdpEndpoints.h"
#include "multicom/MultiComTool.h"
#include "system/FirmwareTool.h"
#include "system/IpConfigTool.h"
#include "system/SystemConfigTool.h"

#include <QApplication>

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>

namespace lvx {

namespace {
constexpr int kMargin = 10;
constexpr int kGridTop = 70;
constexpr int kGridHeight = 250;
} // namespace

void DebugPanel::mouseDoubleClickEvent(QMouseEvent* event) {
    QFrame::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

MainWindow::MainWindow(const AppOptions& options, Prompt* prompt, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                              Qt::MSWindowsFixedSizeDialogHint),
      options_(options), prompt_(prompt) {
    if (prompt_ == nullptr) {
        ownPrompt_ = std::make_unique<WidgetPrompt>(this);
        prompt_ = ownPrompt_.get();
    }
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Linkvex"));
    makeTools(options);
    const int gridWidth = buildCentral();
    buildMenus();
    fitToGrid(gridWidth);
    connect(grid_, &DeviceGrid::widthNeeded, this, &MainWindow::fitToGrid);
    bindTabs();
    connectControls();

    // Centred on the desktop.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(width() / 2, height() / 2));
    }
}

// The connection, the flows' tools and the companion windows, in their order.
void MainWindow::makeTools(const AppOptions& options) {
    controller_ = new ConnectionController(this);
    controller_->setObjectName(QStringLiteral("Connection"));
    controller_->givenPorts = options.ports;
    transfer_ = std::make_unique<EdidTransfer>(*controller_);
    edidTool_ = std::make_unique<EdidControllerTool>(*controller_, *transfer_);
    modeTool_ = std::make_unique<InputModeTool>(*controller_);
    firmwareTool_ = std::make_unique<FirmwareTool>(*controller_);
    configTool_ = std::make_unique<SystemConfigTool>(*controller_);
    ipTool_ = std::make_unique<IpConfigTool>(*controller_);
    multiComTool_ = std::make_unique<MultiComTool>(*controller_);
    monitorsTool_ = std::make_unique<MonitorsTool>(*controller_, *edidTool_);
    backupTool_ = std::make_unique<DeviceBackupTool>(*controller_, *transfer_, *modeTool_);
    compareTool_ = std::make_unique<CompareTool>();

    activity_ = new ActivityLog(this);
    activity_->followConnection(*controller_);
    activity_->follow(*edidTool_, tr("the EDID transfer"));
    activity_->follow(*modeTool_, tr("Mode Select"));
    activity_->follow(*firmwareTool_, tr("the firmware update"));
    activity_->follow(*configTool_, tr("the system configuration"));
    activity_->follow(*ipTool_, tr("the IP configuration"));
    activity_->follow(*multiComTool_, tr("Multi-COM"));
    if (options.verbose) {
        activity_->setEcho([](const QString& line) {
            std::fprintf(stderr, "linkvex: %s\n", line.toLocal8Bit().constData());
            std::fflush(stderr);
        });
    }

    // The companion windows, in their order.
    analyzer_ = std::make_unique<AnalyzerWindow>();
    details_ = std::make_unique<EdidDetailsWindow>(*prompt_);
    commander_ = std::make_unique<CommanderWindow>();
    workImage_ = new EdidWorkImage(this);
    hexTable_ = std::make_unique<HexTableWindow>(*workImage_);
    creatorModel_ = new CreatorModel(*workImage_, this);
    creatorTool_ = std::make_unique<CreatorTool>(*controller_, *transfer_, *creatorModel_);
    activity_->follow(*creatorTool_, tr("the EDID creator"));
}

// The picture, Search and Disconnect, the device list, the debug memo; returns the list's width.
int MainWindow::buildCentral() {
    central_ = new QWidget(this);
    setCentralWidget(central_);
    image_ = MakeLabel(central_, QStringLiteral("Image1"), QString(), kMargin, 8, 200, 52);
    QPixmap empty(200, 52);
    empty.fill(Qt::transparent);
    image_->setPixmap(empty);
    searchButton_ = Named(new QPushButton(tr("Search"), central_), QStringLiteral("BitBtn_Search"));
    disconnectButton_ =
        Named(new QPushButton(tr("Disconnect"), central_), QStringLiteral("BitBtn_Disconnect"));
    disconnectButton_->setEnabled(false);

    grid_ = new DeviceGrid(central_);
    const int gridWidth = grid_->gridWidth();
    grid_->setGeometry(kMargin, kGridTop, gridWidth, kGridHeight);
    activityView_ = new ActivityLogView(*activity_, *prompt_, options_.settingsFile, central_);
    connect(activityView_, &ActivityLogView::openChanged, this,
            [this] { fitToGrid(grid_->width()); });
    searchButton_->setGeometry(kMargin + gridWidth - 210, 20, 100, 32);
    disconnectButton_->setGeometry(kMargin + gridWidth - 100, 20, 100, 32);

    debugPanel_ = Named(new DebugPanel(central_), QStringLiteral("Panel_Debug"));
    debugPanel_->setGeometry(kMargin + gridWidth - 17, kGridTop - 18, 17, 17);
    debugPanel_->setFrameShape(QFrame::NoFrame);
    debugPanel_->setToolTip(tr("Double-click: protocol trace"));

    memo_ = Named(new QPlainTextEdit(central_), QStringLiteral("Memo_Debug"));
    memo_->setReadOnly(true);
    memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo_->setGeometry(kMargin + gridWidth + 15, kGridTop, kMemoWidth, kGridHeight - 30);
    memo_->hide();
    clearButton_ =
        Named(new QPushButton(tr("Clear"), central_), QStringLiteral("Button_debug_clear"));
    clearButton_->setGeometry(kMargin + gridWidth + 15, kGridTop + kGridHeight - 26, 75, 26);
    clearButton_->hide();
    portList_ = Named(new QComboBox(central_), QStringLiteral("ComboBox1"));
    portList_->hide();

    memoRefresh_ = new QTimer(this);
    memoRefresh_->setSingleShot(true);
    memoRefresh_->setInterval(50);
    connect(memoRefresh_, &QTimer::timeout, this, &MainWindow::refreshMemo);
    controller_->log().onChanged = [this](const std::string&) {
        if (memoShown_ && !memoRefresh_->isActive()) {
            memoRefresh_->start();
        }
    };
    return gridWidth;
}

// The tabs' starting pictures, and each tab bound to its tool.
void MainWindow::bindTabs() {
    EdidControllerTab* edid = commander_->edidTab();
    SetPicture(edid->openButton(), QStringLiteral("OpenGray"));
    SetPicture(edid->saveButton(), QStringLiteral("SaveGray"));
    SetPicture(edid->analysisButton(), QStringLiteral("AnalysisGray"));
    SetPicture(commander_->creatorTab()->copyButton(), QStringLiteral("CopyUpGray"));
    commander_->setTabShown(commander_->analyzerTab(), false);
    commander_->setTabShown(commander_->creatorTab(), true);
    edid->transferGroup()->setTitle(QStringLiteral("Save  /  Upload  /  Analysis"));
    edid->bind(edidTool_.get(), modeTool_.get(), prompt_);
    commander_->multiComTab()->bind(multiComTool_.get(), prompt_);
    connect(edid, &EdidControllerTab::analysisReady, this, [this] {
        showAnalysis();
        showNodeDetails();
    });
    commander_->systemTab()->bind(firmwareTool_.get(), configTool_.get(), prompt_,
                                  commander_.get());
    commander_->ipTab()->bind(ipTool_.get());
    // A rewritten Description cell is measured anew.
    connect(controller_, &ConnectionController::descriptionRewritten, this,
            [this] { grid_->resetColumnWidth(3); });
    // The upload target list gives way at its separator as the node list does.
    QComboBox* upload = commander_->creatorTab()->uploadList();
    connect(upload, &QComboBox::currentIndexChanged, this, [this, upload](int index) {
        const int selected = edidTool_->selectUploadItem(index);
        if (index >= 0 && selected >= 0 && selected != index) {
            const QSignalBlocker blocker(upload);
            upload->setCurrentIndex(selected);
        }
    });
    connect(commander_->analyzerView(), &AnalyzerView::copyRequested, this,
            &MainWindow::copyToCreator);
    commander_->creatorTab()->bind(creatorModel_, creatorTool_.get(), prompt_);
    connect(commander_->creatorTab(), &EdidCreatorTab::compareRequested, this,
            &MainWindow::compareCreatorBuild);
    connect(commander_->creatorTab(), &EdidCreatorTab::hexTableRequested, this, [this] {
        hexItem_->setChecked(true);
        toggleHexTable();
    });
}

// The main window's own controls, and what the connection reports.
void MainWindow::connectControls() {
    connect(searchButton_, &QPushButton::clicked, this, &MainWindow::search);
    connect(disconnectButton_, &QPushButton::clicked, this, &MainWindow::disconnectDevices);
    connect(grid_, &QTableWidget::cellClicked, this, [this](int row, int) { selectRow(row); });
    connect(grid_, &DeviceGrid::rowChosen, this, &MainWindow::selectRow);
    connect(debugPanel_, &DebugPanel::doubleClicked, this, &MainWindow::toggleDebugMemo);
    connect(clearButton_, &QPushButton::clicked, this, [this] { controller_->log().clear(); });
    connect(hexTable_.get(), &HexTableWindow::closed, this,
            [this] { hexItem_->setChecked(false); });

    connect(controller_, &ConnectionController::rowsChanged, this, [this] {
        grid_->setRows(controller_->rows());
        grid_->setSelectedRow(controller_->selectedRow());
    });
    connect(controller_, &ConnectionController::stateChanged, this, &MainWindow::applyState);
    connect(controller_, &ConnectionController::selectionChanged, this,
            &MainWindow::applySelection);
    connect(controller_, &ConnectionController::disconnected, this, &MainWindow::onDisconnected);
    connect(controller_, &ConnectionController::connectionLost, this,
            &MainWindow::onConnectionLost);
    connect(controller_, &ConnectionController::busyChanged, this, &MainWindow::onBusy);
    connect(controller_, &ConnectionController::portsListed, this,
            [this](const QStringList& ports) {
                portList_->clear();
                portList_->addItems(ports);
                portList_->setCurrentIndex(ports.isEmpty() ? -1 : 0);
            });
    connect(controller_, &ConnectionController::edidListsChanged, this,
            [this](const EdidSelectionLists& lists) {
                commander_->edidTab()->setLists(lists, true);
                commander_->creatorTab()->setUploadItems(lists.upload);
            });
}

EdidRecord& MainWindow::creatorRecord() {
    return creatorModel_->record();
}

MainWindow::~MainWindow() {
    controller_->log().onChanged = nullptr;
}

void MainWindow::fitToGrid(int gridWidth) {
    // The window is 30 pixels wider than the device list (and the memo when it shows); a
    // list that outgrows the screen scrolls.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const int room = screen->availableGeometry().width() - 30 -
                         (memoShown_ ? kMemoWidth + 25 : 0) - 2 * kMargin;
        gridWidth = std::min(gridWidth, std::max(room, grid_->gridWidth()));
    }
    grid_->setGeometry(kMargin, kGridTop, gridWidth, kGridHeight);
    searchButton_->move(kMargin + gridWidth - 210, 20);
    disconnectButton_->move(kMargin + gridWidth - 100, 20);
    debugPanel_->move(kMargin + gridWidth - 17, kGridTop - 18);
    memo_->move(kMargin + gridWidth + 15, kGridTop);
    clearButton_->move(kMargin + gridWidth + 15, kGridTop + kGridHeight - 26);
    const int width = gridWidth + 30 + (memoShown_ ? kMemoWidth + 25 : 0);
    activityView_->setGeometry(kMargin, kGridTop + kGridHeight + 4, gridWidth,
                               activityView_->neededHeight());
    central_->setFixedSize(width,
                           kGridTop + kGridHeight + 4 + activityView_->neededHeight() + kMargin);
    setFixedSize(width, central_->height() + menuBar()->sizeHint().height());
}

void MainWindow::buildMenus() {
    QMenu* fileMenu = menuBar()->addMenu(tr("&File"));
    siteItem_ = Named(fileMenu->addAction(tr("&Apply Site File...")), QStringLiteral("SiteFile1"));
    connect(siteItem_, &QAction::triggered, this, &MainWindow::applySiteFile);
    QMenu* interfaceMenu = menuBar()->addMenu(tr("&Interface"));
    ethernetItem_ = Named(interfaceMenu->addAction(tr("&Ethernet")), QStringLiteral("Ethernet1"));
    comPortItem_ = Named(interfaceMenu->addAction(tr("&Com Port")), QStringLiteral("ComPort1"));
    for (QAction* item : {ethernetItem_, comPortItem_}) {
        item->setCheckable(true);
    }
    ethernetItem_->setChecked(controller_->ethernet);
    comPortItem_->setChecked(controller_->comPort);
    connect(ethernetItem_, &QAction::toggled, this,
            [this](bool on) { controller_->ethernet = on; });
    connect(comPortItem_, &QAction::toggled, this, [this](bool on) { controller_->comPort = on; });

    QMenu* toolMenu = menuBar()->addMenu(tr("&Tool"));
    hexItem_ = Named(toolMenu->addAction(tr("&Hex Table")), QStringLiteral("Hex1"));
    hexItem_->setCheckable(true);
    connect(hexItem_, &QAction::triggered, this, &MainWindow::toggleHexTable);

    buildBeyondMenuItems(toolMenu);

    QMenu* helpMenu = menuBar()->addMenu(tr("&Help"));
    QAction* about = Named(helpMenu->addAction(tr("&About")), QStringLiteral("About2"));
    connect(about, &QAction::triggered, this, &MainWindow::about);
}

void MainWindow::buildBeyondMenuItems(QMenu* toolMenu) {
    toolMenu->addSeparator();
    QAction* monitors =
        Named(toolMenu->addAction(tr("&Monitors of This PC")), QStringLiteral("Monitors1"));
    backupItem_ = Named(toolMenu->addAction(tr("&Back Up Device...")), QStringLiteral("Backup1"));
    restoreItem_ = Named(toolMenu->addAction(tr("&Restore Device...")), QStringLiteral("Restore1"));
    QAction* compare =
        Named(toolMenu->addAction(tr("Com&pare EDIDs...")), QStringLiteral("Compare1"));
    QAction* combine =
        Named(toolMenu->addAction(tr("C&ombine EDIDs...")), QStringLiteral("Combine1"));
    QAction* details =
        Named(toolMenu->addAction(tr("EDID &Details...")), QStringLiteral("EdidDetails1"));
    connect(combine, &QAction::triggered, this, &MainWindow::showCombine);
    connect(details, &QAction::triggered, this, [this] { details_->showBeside(this); });
    connect(monitors, &QAction::triggered, this, &MainWindow::showMonitors);
    connect(backupItem_, &QAction::triggered, this, &MainWindow::backupDevice);
    connect(restoreItem_, &QAction::triggered, this, &MainWindow::restoreDevice);
    connect(compare, &QAction::triggered, this, &MainWindow::showCompare);
    connect(controller_, &ConnectionController::stateChanged, this,
            &MainWindow::updateDeviceToolItems);
    connect(controller_, &ConnectionController::busyChanged, this,
            &MainWindow::updateDeviceToolItems);
    connect(controller_, &ConnectionController::selectionChanged, this,
            &MainWindow::updateDeviceToolItems);
    updateDeviceToolItems();

    // The monitors' EDIDs go where the device's analysed EDID goes.
    connect(monitorsTool_.get(), &MonitorsTool::analysisRequested, this, [this] {
        showAnalysis();
        showMonitorDetails();
    });
    connect(monitorsTool_.get(), &MonitorsTool::copyRequested, this, [this] {
        copyToCreator();
        commander_->showNear(this);
    });
}

void MainWindow::updateDeviceToolItems() {
    const bool ready =
        controller_->connected() && controller_->devices().count > 0 && !controller_->busy();
    backupItem_->setEnabled(ready);
    restoreItem_->setEnabled(ready);
    siteItem_->setEnabled(!controller_->busy());
}

SiteApplyDialog* MainWindow::siteDialog() {
    if (siteDialog_ == nullptr) {
        siteTool_ = std::make_unique<SiteTool>(*controller_, *transfer_, *modeTool_, *backupTool_);
        siteDialog_ = new SiteApplyDialog(*siteTool_, *prompt_, this);
    }
    return siteDialog_;
}

void MainWindow::applySiteFile() {
    if (controller_->busy()) {
        return;
    }
    const std::string path = prompt_->openFileName("Site files (*.yaml *.yml)");
    if (!path.empty()) {
        siteDialog()->load(QString::fromStdString(path));
    }
}

void MainWindow::showMonitors() {
    if (!monitorsWindow_) {
        monitorsWindow_ = std::make_unique<MonitorsWindow>(*monitorsTool_, *prompt_);
    }
    monitorsWindow_->showAndScan();
}

void MainWindow::showCompare() {
    if (!compareWindow_) {
        compareWindow_ = std::make_unique<CompareWindow>(*compareTool_, *prompt_);
    }
    compareWindow_->show();
    compareWindow_->raise();
}

void MainWindow::showCombine() {
    if (!combineWindow_) {
        combineTool_ = std::make_unique<CombineTool>(*controller_, *edidTool_, *transfer_);
        combineWindow_ = std::make_unique<CombineWindow>(*combineTool_, *prompt_, SysfsRoot());
        connect(controller_, &ConnectionController::selectionChanged, combineWindow_.get(),
                &CombineWindow::refreshChoices);
        connect(combineWindow_.get(), &CombineWindow::creatorRequested, this, [this] {
            copyToCreator();
            commander_->showNear(this);
        });
    }
    combineWindow_->refreshChoices();
    combineWindow_->show();
    combineWindow_->raise();
}

void MainWindow::compareCreatorBuild() {
    // The build leaves the creator's record and work image as they are: only the comparison
    // shows what "Save EDID" would write.
    const BuildResult built = creatorModel_->build();
    if (!built.ok) {
        prompt_->message("Error", built.error.empty() ? "Create Error!" : built.error);
        return;
    }
    compareImages(creatorModel_->reference().image, tr("Loaded"), built.image, tr("Built"));
}

void MainWindow::compareImages(const EdidImage& a, const QString& nameA, const EdidImage& b,
                               const QString& nameB) {
    showCompare();
    compareWindow_->showComparison(a, nameA, b, nameB);
}

void MainWindow::backupDevice() {
    if (!controller_->connected() || controller_->busy()) {
        return;
    }
    const QString folder = QString::fromStdString(prompt_->chooseDirectory("Back Up Device"));
    if (folder.isEmpty()) {
        return;
    }
    if (backupDialog_ == nullptr) {
        backupDialog_ = new BackupDialog(*backupTool_, this);
    }
    backupDialog_->begin(tr("Back Up Device"), folder);
    const DeviceBackupTool::BackupResult result = backupTool_->backup(folder);
    int saved = 0;
    for (const BackupEntry& e : result.manifest.nodes) {
        saved += e.ok ? 1 : 0;
    }
    backupDialog_->end(
        result.ok ? tr("%1 EDIDs and %2 modes saved.").arg(saved).arg(result.manifest.modes.size())
        : result.keptEarlier
            ? tr("The backup is incomplete: %1. Nothing was saved: the earlier complete backup "
                 "in the folder is kept.")
                  .arg(result.error)
        : result.started ? tr("The backup is incomplete (%1 of %2 EDIDs saved): %3")
                               .arg(saved)
                               .arg(result.manifest.nodes.size())
                               .arg(result.error)
                         : result.error,
        result.ok);
}

void MainWindow::restoreDevice() {
    if (!controller_->connected() || controller_->busy()) {
        return;
    }
    const QString folder = QString::fromStdString(prompt_->chooseDirectory("Restore Device"));
    if (folder.isEmpty()) {
        return;
    }
    const DeviceBackupTool::RestorePreparation prep = backupTool_->prepareRestore(folder);
    auto lines = [](const std::vector<std::string>& texts) {
        std::string joined;
        for (const std::string& t : texts) {
            joined += "\n  " + t;
        }
        return joined;
    };
    if (!prep.readable || !prep.plan.errors.empty()) {
        prompt_->message("Restore Device", "Nothing was sent. The backup cannot be used:" +
                                               (prep.readable ? lines(prep.plan.errors)
                                                              : "\n  " + prep.error.toStdString()));
        return;
    }
    std::string question = "Restore " + std::to_string(prep.plan.steps.size()) + " steps from " +
                           folder.toStdString() + "?" + lines([&] {
                               std::vector<std::string> steps;
                               for (const RestoreStep& step : prep.plan.steps) {
                                   steps.push_back(step.text);
                               }
                               return steps;
                           }());
    if (!prep.plan.skipped.empty()) {
        question += "\n\nLeft out:" + lines(prep.plan.skipped);
    }
    if (!prep.plan.mismatches.empty()) {
        question += "\n\nThe backup does not match this device:" + lines(prep.plan.mismatches) +
                    "\nRestore anyway?";
    }
    question += "\n\nThe device's EDIDs and modes are overwritten; this cannot be undone.";
    if (!prompt_->confirmIrreversible("Restore Device", question)) {
        return;
    }
    if (backupDialog_ == nullptr) {
        backupDialog_ = new BackupDialog(*backupTool_, this);
    }
    backupDialog_->begin(tr("Restore Device"), folder);
    const DeviceBackupTool::RestoreResult result =
        backupTool_->restore(prep, !prep.plan.mismatches.empty());
    backupDialog_->end(result.ok ? tr("%1 steps done.").arg(result.stepsDone)
                                 : tr("%1 steps done, %2 failed: %3")
                                       .arg(result.stepsDone)
                                       .arg(result.stepsFailed)
                                       .arg(result.error),
                       result.ok);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    QMainWindow::closeEvent(event);
    if (!event->isAccepted()) {
        return;
    }
    if (!closedLease_) {
        closedLease_ = std::make_unique<PollLease>(controller_->polls());
    }
    // Once every window is closed the event loop ends (the application quits on the last
    // one), and with it the program.
    const QList<QWidget*> companions{
        analyzer_.get(),       details_.get(),       commander_.get(),    hexTable_.get(),
        monitorsWindow_.get(), compareWindow_.get(), combineWindow_.get()};
    for (QWidget* window : companions) {
        if (window != nullptr) {
            window->close();
        }
    }
}

bool MainWindow::start() {
    const EndpointConfig config = options_.loopback ? EndpointConfig::loopback() : EndpointConfig{};
    QString error;
    if (!controller_->openNetwork(config, &error)) {
        controller_->log().addLine("UDP: " + error.toStdString());
        // The text stays as users know it; why, and what to do, go in its details.
        prompt_->messageWithDetails(
            "Warning", "VEXA already executed !",
            tr("Another program holds UDP port 31002, on which the devices' network replies "
               "arrive (%1). Most often it is another copy of Linkvex, started by another user "
               "or from another session, or another configuration tool for these devices: "
               "close it and start Linkvex again.")
                .arg(error)
                .toStdString());
        return false;
    }
    return true;
}

void MainWindow::search() {
    if (!controller_->searchEnabled() || controller_->busy()) {
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    controller_->search();
    commander_->edidTab()->setModeButtonsEnabled(controller_->modeSelectCounts());
    QApplication::restoreOverrideCursor();
}

void MainWindow::disconnectDevices() {
    controller_->closeByUser();
}

void MainWindow::selectRow(int row) {
    controller_->select(row);
}

void MainWindow::applyState() {
    searchButton_->setEnabled(controller_->searchEnabled() && !controller_->busy());
    disconnectButton_->setEnabled(controller_->disconnectEnabled());
    const ButtonPictures pictures = DevicePictures(controller_->listed());
    EdidControllerTab* edid = commander_->edidTab();
    SetPicture(edid->openButton(), pictures.open);
    SetPicture(edid->saveButton(), pictures.save);
    SetPicture(edid->analysisButton(), pictures.analysis);
    SetPicture(commander_->creatorTab()->copyButton(), pictures.copyUp);
    if (const std::optional<int> height =
            FirmwareGroupHeight(controller_->listed(), controller_->loaderFound())) {
        commander_->systemTab()->firmwareGroup()->setFixedHeight(*height);
    }
}

void MainWindow::applySelection() {
    const SelectionView view = PresentSelection(controller_->selectedDevice());
    CommanderWindow* c = commander_.get();
    SystemTab* system = c->systemTab();
    EdidControllerTab* edid = c->edidTab();
    grid_->setSelectedRow(controller_->selectedRow());

    if (view.clearFwPath) {
        system->firmwarePath()->clear();
    }
    c->setTabShown(c->ipTab(), view.ipTab);
    c->setTabShown(c->multiComTab(), view.multiComTab);
    c->multiComTab()->setChannelCount(multiComTool_->channelCount());
    c->setTabShown(c->edidTab(), view.edidTab);
    c->setTabShown(c->creatorTab(), view.creatorTab);
    system->serialNumberGroup()->setVisible(view.serialNumberGroup);
    system->configurationGroup()->setVisible(view.configurationGroup);
    system->defaultButton()->setVisible(view.sysDefaultButton);
    system->versionLabel()->setText(view.fwVersionLabel);
    if (!view.serialNumLabel.isEmpty()) {
        system->serialNumberLabel()->setText(view.serialNumLabel);
    }
    if (!view.activeTab.isEmpty()) {
        c->activate(view.activeTab);
    }
    if (view.modeLayout) {
        edid->applyModeLayout(view);
    }
    if (view.lists) {
        edid->setLists(*view.lists, false);
        c->creatorTab()->setUploadItems(view.lists->upload);
    }
    firmwareTool_->resetProgress(); // "0%" in black
    system->productString()->setText(view.productString);
    c->showNear(this);
}

void MainWindow::showAnalysis() {
    analyzer_->showAnalysis(commander_->analyzerView(),
                            BuildAnalyzerReport(edidTool_->deviceRecord()), commander_.get());
}

void MainWindow::showNodeDetails() {
    const EdidRecord& record = edidTool_->deviceRecord();
    details_->showParse(ParseImage(record.image, CurrentYear()),
                        commander_->edidTab()->nodeList()->currentText());
    details_->showBeside(analyzer_.get());
}

void MainWindow::showMonitorDetails() {
    const ScannedMonitor* monitor = monitorsTool_->current();
    if (monitor == nullptr || !monitor->monitor.ok) {
        return;
    }
    details_->showParse(ParseEdid(monitor->monitor.edid, CurrentYear()),
                        QString::fromStdString(monitor->monitor.directory));
    details_->showBeside(analyzer_.get());
}

void MainWindow::copyToCreator() {
    if (!creatorModel_->copyFrom(edidTool_->deviceRecord())) {
        return;
    }
    analyzer_->close();
    commander_->activate(QStringLiteral("EDID Creator"));
    EdidCreatorTab* creator = commander_->creatorTab();
    creator->pages()->setCurrentWidget(Find<QWidget>(creator, QStringLiteral("TabSheet5")));
}

void MainWindow::onDisconnected() {
    CommanderWindow* c = commander_.get();
    c->edidTab()->setModeButtonsEnabled({});
    c->edidTab()->clearLists();
    c->creatorTab()->uploadList()->clear();
    grid_->setSelectedRow(0);
    grid_->resetColumnWidths();
    analyzer_->close();
    c->close();
    hexTable_->close();
    // The first channel's memo is emptied by the Multi-COM tool itself.
}

void MainWindow::onConnectionLost() {
    // The log wrote its line first (it follows the connection from the start): the message
    // says the same. It shows once the flow that noticed the loss has unwound.
    const QString text =
        activity_->entries().empty() ? QString() : activity_->entries().back().text;
    QTimer::singleShot(0, this,
                       [this, text] { prompt_->message("Connection Lost", text.toStdString()); });
}

void MainWindow::onBusy(bool busy) {
    searchButton_->setEnabled(controller_->searchEnabled() && !busy);
    grid_->setEnabled(!busy);
    // The creator's page stays lit while a flow runs (its status label is read then); its
    // flow buttons and every other page are disabled.
    QTabWidget* pages = commander_->pages();
    pages->tabBar()->setEnabled(!busy);
    for (int i = 0; i < pages->count(); ++i) {
        QWidget* page = pages->widget(i);
        page->setEnabled(!busy || page == commander_->creatorTab());
    }
    commander_->creatorTab()->setFlowsEnabled(!busy);
}

void MainWindow::toggleDebugMemo() {
    memoShown_ = !memoShown_;
    const int delta = kMemoWidth + 25;
    memo_->setVisible(memoShown_);
    clearButton_->setVisible(memoShown_);
    const int width = central_->width() + (memoShown_ ? delta : -delta);
    central_->setFixedWidth(width);
    setFixedWidth(width);
    if (memoShown_) {
        refreshMemo();
    }
}

void MainWindow::refreshMemo() {
    if (!memoShown_) {
        return;
    }
    // Only what was appended since the last refresh goes into the memo; the whole text only
    // after it was replaced or cut at its cap (a flooded channel must not reload 256 KiB
    // several times a second).
    const DebugLog& log = controller_->log();
    const std::string& text = log.text();
    if (log.rewrites() == memoRewrites_ && text.size() >= memoShownSize_) {
        const std::size_t fresh = text.size() - memoShownSize_;
        if (fresh > 0) {
            QTextCursor end(memo_->document());
            end.movePosition(QTextCursor::End);
            end.insertText(
                QString::fromLatin1(text.data() + memoShownSize_, static_cast<int>(fresh)));
        }
    } else {
        memo_->setPlainText(QString::fromLatin1(text.data(), static_cast<int>(text.size())));
    }
    memoRewrites_ = log.rewrites();
    memoShownSize_ = text.size();
    memo_->verticalScrollBar()->setValue(memo_->verticalScrollBar()->maximum());
}

void MainWindow::about() {
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Linkvex"),
                                QStringLiteral("Linkvex   v%1").arg(QLatin1String(kVersion)),
                                QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("AboutBox"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    const QPoint place = pos() + QPoint(210, 170);
    box->move(place);
    box->open();
    // Its size is known once shown: near a screen edge it moves back into view.
    PlaceInView(box, place, this);
}

void MainWindow::toggleHexTable() {
    // The menu item has already flipped its check mark.
    if (hexItem_->isChecked()) {
        hexTable_->show();
        hexTable_->raise();
    } else {
        hexTable_->hide();
    }
}

} // namespace lvx
