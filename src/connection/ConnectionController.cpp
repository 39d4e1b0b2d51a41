#include "connection/ConnectionController.h"

#include <algorithm>

namespace lvx {

namespace {

int atMost8(int n) {
    return std::clamp(n, 0, 8);
}

std::string versionLabel(const DeviceRecord& r) {
    return "Current :    VID- " + r.vid + "     PID- " + r.pid + "     Version- " + r.version;
}

} // namespace

SelectionView& ApplyModeGroupLayout(SelectionView& view, int internalCount, int outputCount,
                                    int userCount) {
    view.modeSelectGroup = true;
    view.internalRadios = atMost8(internalCount);
    view.externalRadios = atMost8(outputCount);
    view.userRadios = atMost8(userCount);
    const int rows = std::max(internalCount, userCount);
    view.modeGroupHeight = 65 + (rows > 1 ? 15 * (rows - 1) : 0) + 6;
    view.label30 = rows > 1;
    return view;
}

ConnectionController::ConnectionController(QObject* parent)
    : QObject(parent), session_(devices_, log_) {
    session_.setParent(this);
    connect(&session_, &ProtocolSession::connectionLost, this,
            &ConnectionController::disconnectDevices);
    connect(&session_, &ProtocolSession::deviceDescribed, this,
            &ConnectionController::edidListsChanged);
}

ConnectionController::~ConnectionController() {
    session_.setLink(nullptr);
}

void ConnectionController::setBusy(bool on) {
    const bool was = busy();
    busy_ += on ? 1 : -1;
    if (busy() != was) {
        emit busyChanged(busy());
    }
}

bool ConnectionController::openNetwork(const EndpointConfig& config, QString* error) {
    auto link = std::make_unique<NetworkLink>(devices_, deviceEdid_, config);
    if (!link->open()) {
        if (error) {
            *error = link->errorString();
        }
        return false;
    }
    connect(link.get(), &NetworkLink::deviceAdded, this, &ConnectionController::networkDeviceAdded);
    net_ = std::move(link);
    return true;
}

void ConnectionController::networkDeviceAdded(int /*index*/, const QStringList& row) {
    DeviceRow r;
    std::string* cells[] = {&r.number, &r.interface, &r.product, &r.description, &r.ip, &r.mac};
    for (int c = 0; c < kDeviceColumns && c < row.size(); ++c) {
        *cells[c] = row[c].toStdString();
    }
    rows_.push_back(r);
    emit rowsChanged();
}

void ConnectionController::search() {
    if (busy() || !searchEnabled_) {
        return;
    }
    setBusy(true);
    devices_.count = 0;
    devices_.selected = 0;
    rows_.clear();
    session_.setLink(nullptr);
    links_.clear();
    linkRows_.clear();
    selectedRow_ = 0;
    emit rowsChanged();

    if (ethernet && net_) {
        net_->sendProbe();
    }
    if (comPort) {
        ports_ = ListSerialPorts(givenPorts);
        emit portsListed(ports_);
        for (const QString& port : ports_) {
            if (searchPort(port)) {
                break;
            }
        }
    }
    if (devices_.count == 0 && ethernet) {
        session_.wait(100);
    }
    log_.addLine("Device Cnt= [" + std::to_string(devices_.count) + "]");
    if (devices_.count > 0) {
        searchEnabled_ = false;
        disconnectEnabled_ = true;
        session_.setConnected(true);
        pictures_ = {"OpenColor", "SaveColor", "CopyUpColor", "AnalysisColor"};
        if (!session_.hasFlag(FlagIspMode)) {
            firmwareGroupHeight_ = 48;
        }
    }
    emit stateChanged();
    setBusy(false);
}

// One port of the Search: true when a device accepted and the Search stops here.
bool ConnectionController::searchPort(const QString& port) {
    if (devices_.full()) {
        return true;
    }
    auto link = std::make_unique<SerialLink>();
    if (!link->open(port, log_)) {
        return false;
    }
    session_.setLink(link.get());
    session_.rxTimer().start();

    session_.SendCommand(ModeGet, CmdEntrance);
    session_.wait(150);
    const ProtocolState& state = session_.state();

    if (state.contains("$ACCEPT")) {
        log_.addLine("\r\nGot One Device.");
        devices_.selected = devices_.count;
        DeviceRecord& record = devices_.current();
        record = DeviceRecord{};
        session_.SendCommand(ModeGet, CmdSysDscpt);
        if (session_.hasFlag(FlagRetry)) {
            log_.addLine("\r\nSYS_Descript Err!!!");
        }
        record.nodeSelector = 0;
        session_.sendNodeSelect(0x0000);
        session_.SendCommand(ModeGet, CmdNdDscpt);
        if (record.inputNodes[0].modeSelectFlag()) {
            modeButtons_ = {atMost8(record.internalEdidCount), atMost8(record.outputCount),
                            atMost8(record.userEdidCount)};
        }
        ApplyModelTable(record);
        if (record.comChannelCount > 0) {
            session_.SendCommand(ModeGet, CmdComConfig);
        }
        record.linkKind = 1;
        const int row = devices_.count + 1;
        rows_.push_back({std::to_string(row), port.toStdString(), record.model,
                         " " + record.productString + " ", "NC", "NC"});
        links_.push_back(std::move(link));
        linkRows_.push_back(row);
        devices_.count += 1;
        record.inputNodes[0].edidMode() = 255;
        emit rowsChanged();
        return true;
    }

    log_.appendText("No Device Detected.\r\n");
    const std::string_view all(reinterpret_cast<const char*>(state.buffer.data()),
                               state.buffer.size());
    const bool isp029 = state.contains("$ISP029");
    const bool isp091 = state.contains("$ISP091");
    if (isp029) {
        session_.ispKind = 1;
    }
    if (isp091) {
        session_.ispKind = 2;
    }
    if (isp029 || isp091) {
        session_.setFlag(FlagIspMode, true);
        searchEnabled_ = false;
        disconnectEnabled_ = true;
        firmwareGroupHeight_ = 155;
        DeviceRecord& record = devices_.at(devices_.count);
        record = DeviceRecord{};
        record.linkKind = 1;
        const std::string model = IspModelText(all, isp091 ? "$ISP091" : "$ISP029");
        const int row = devices_.count + 1;
        rows_.push_back(
            {std::to_string(row), port.toStdString(), model, "ISP Mode", "NC", "NC", true});
        links_.push_back(std::move(link));
        linkRows_.push_back(row);
        devices_.count += 1;
        emit rowsChanged();
        emit stateChanged();
        return false;
    }

    session_.rxTimer().stop();
    session_.pollStatusTimer().stop();
    session_.multiComTimer().stop();
    session_.setLink(nullptr);
    link->close();
    return false;
}

SerialLink* ConnectionController::linkForRow(int row) {
    for (std::size_t i = 0; i < linkRows_.size(); ++i) {
        if (linkRows_[i] == row) {
            return links_[i].get();
        }
    }
    return nullptr;
}

void ConnectionController::select(int row) {
    if (row <= 0 || devices_.count <= 0 || row > devices_.count || busy()) {
        return;
    }
    setBusy(true);
    devices_.selected = row - 1;
    selectedRow_ = row;
    emit rowsChanged();

    DeviceRecord& record = devices_.current();
    SelectionView view;
    if (record.isSerial()) {
        if (SerialLink* link = linkForRow(row)) {
            session_.setLink(link);
        }
        view.serial = true;
        view.clearFwPath = true;
        view.ipTab = false;
        view.serialNumberGroup = false;
        view.multiComTab = record.comChannelCount > 0;
        if (session_.hasFlag(FlagIspMode)) {
            view.isp = true;
            view.edidTab = false;
            view.creatorTab = false;
            view.configurationGroup = false;
            view.sysDefaultButton = false;
            view.fwVersionLabel = "Target :";
        } else {
            view.edidTab = true;
            view.creatorTab = true;
            view.configurationGroup = true;
            view.sysDefaultButton = true;
            view.fwVersionLabel = versionLabel(record);
            view.activeTab = "EDID Controller";
            session_.sendNodeSelect(0x0000);
            session_.SendCommand(ModeGet, CmdNdDscpt);
            session_.sendNodeSelect(0x1000);
            session_.SendCommand(ModeGet, CmdNdDscpt);
            ApplyModeGroupLayout(view, record.internalEdidCount, record.outputCount,
                                 record.userEdidCount);
        }
    } else {
        view.serial = false;
        view.ipTab = true;
        view.multiComTab = false;
        view.sysDefaultButton = false;
        view.modeSelectGroup = false;
        view.serialNumberGroup = true;
        view.activeTab = "IP Configure";
        if (net_) {
            net_->openDevice();
        }
        session_.wait(50);
        view.fwVersionLabel = versionLabel(record);
        view.serialNumLabel = "SN :    " + record.serialNumber;
        record.internalEdidCount = record.pid == "2037" ? 8 : 6;
        view.listsRefilled = true;
        view.lists = BuildEdidSelectionLists(record.inputCount, record.outputCount,
                                             record.userEdidCount, record.internalEdidCount);
    }
    view.productString = record.productString;
    selection_ = view;
    emit selectionChanged();
    setBusy(false);
}

void ConnectionController::disconnectDevices() {
    if (devices_.count < 1) {
        return;
    }
    session_.state().flags = 0;
    if (comPort) {
        for (auto& link : links_) {
            link->close();
        }
    }
    searchEnabled_ = true;
    disconnectEnabled_ = false;
    session_.setConnected(false);
    modeButtons_ = {};
    pictures_ = ButtonPictures{};
    rows_.clear();
    devices_.count = 0;
    selectedRow_ = 0;
    emit rowsChanged();
    emit stateChanged();
    emit disconnected();
}

} // namespace lvx
