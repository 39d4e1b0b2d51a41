#include "connection/ConnectionController.h"

#include "connection/ActivityLog.h"

#include "connection/DescriptorRequest.h"

#include <algorithm>

namespace lvx {

namespace {

// "its description (no answer to SYS_DSCPT)", or "... (its answer to ... failed its check)".
std::string MissingAnswer(const std::string& what, const std::string& command, AnswerState state) {
    return what + (state == AnswerState::BadCrc
                       ? " (the answer to " + command + " failed its check)"
                       : " (no answer to " + command + ")");
}

} // namespace

ConnectionController::ConnectionController(QObject* parent)
    : QObject(parent), session_(devices_, log_), polls_(session_, devices_) {
    session_.setParent(this);
    polls_.setParent(this);
    connect(&session_, &ProtocolSession::connectionLost, this, &ConnectionController::lose);
    connect(&session_, &ProtocolSession::deviceDescribed, this,
            &ConnectionController::edidListsChanged);
    opener_ = [](const QString& port, DebugLog& log) -> std::unique_ptr<ByteLink> {
        auto link = std::make_unique<SerialLink>();
        if (!link->open(port, log)) {
            return nullptr;
        }
        return link;
    };
}

ConnectionController::~ConnectionController() {
    session_.setLink(nullptr);
}

void ConnectionController::lose() {
    if (devices_.count < 1) {
        return;
    }
    emit connectionLost(DeviceLabel(*this));
    disconnectDevices();
}

void ConnectionController::closeByUser() {
    if (devices_.count < 1) {
        return;
    }
    disconnectDevices();
    emit closedByUser();
}

void ConnectionController::setBusy(bool on) {
    const bool was = busy();
    busy_ += on ? 1 : -1;
    if (on) {
        polls_.pause();
    } else {
        polls_.resume();
    }
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
    // Without the group no reply of a device comes in: say so where a technician looks.
    if (!link->endpoints().warningString().isEmpty()) {
        log_.addLine("UDP: " + link->endpoints().warningString().toStdString());
    }
    attachNetwork(std::move(link));
    return true;
}

void ConnectionController::attachNetwork(std::unique_ptr<NetworkLink> link) {
    net_ = std::move(link);
    if (net_) {
        connect(net_.get(), &NetworkLink::deviceAdded, this,
                &ConnectionController::networkDeviceAdded);
        emit networkAttached(net_.get());
    }
}

void ConnectionController::showProductString(int index) {
    if (index < 0 || index >= devices_.count || static_cast<std::size_t>(index) >= rows_.size()) {
        return;
    }
    rows_[static_cast<std::size_t>(index)].description =
        " " + devices_.at(index).productString + " ";
    selectedRow_ = 0;
    emit descriptionRewritten(index);
    emit rowsChanged();
}

void ConnectionController::setRow(int index, DeviceRow row) {
    if (index < 0) {
        return;
    }
    if (rows_.size() <= static_cast<std::size_t>(index)) {
        rows_.resize(static_cast<std::size_t>(index) + 1);
    }
    rows_[static_cast<std::size_t>(index)] = std::move(row);
}

void ConnectionController::networkDeviceAdded(int index, const QStringList& row) {
    DeviceRow r;
    std::string* cells[] = {&r.number, &r.interface, &r.product, &r.description, &r.ip, &r.mac};
    for (int c = 0; c < kDeviceColumns && c < row.size(); ++c) {
        *cells[c] = row[c].toStdString();
    }
    setRow(index, std::move(r));
    emit rowsChanged();
}

void ConnectionController::dropLink(ByteLink* link) {
    if (session_.link() == link) {
        session_.setLink(nullptr);
    }
    for (auto it = links_.begin(); it != links_.end(); ++it) {
        if (it->link.get() == link) {
            it->link->close();
            retired_.push_back(std::move(it->link));
            links_.erase(it);
            return;
        }
    }
}

void ConnectionController::closeLinks() {
    session_.setLink(nullptr);
    for (PortLink& kept : links_) {
        kept.link->close();
        retired_.push_back(std::move(kept.link));
    }
    links_.clear();
}

void ConnectionController::search() {
    if (busy() || !searchEnabled_) {
        return;
    }
    setBusy(true);
    const std::uint64_t epoch = ++epoch_;
    devices_.count = 0;
    devices_.selected = 0;
    rows_.clear();
    closeLinks();
    retired_.clear();
    if (net_) {
        net_->closeDevice();
    }
    selectedRow_ = 0;
    searchReasons_.clear();
    emit rowsChanged();

    if (ethernet && net_) {
        net_->sendProbe();
    }
    if (comPort) {
        searchPorts(epoch);
    }
    if (epoch == epoch_ && devices_.count == 0 && ethernet) {
        session_.wait(100);
    }
    if (epoch == epoch_) {
        log_.addLine("Device Cnt= [" + std::to_string(devices_.count) + "]");
        if (devices_.count > 0) {
            searchEnabled_ = false;
            disconnectEnabled_ = true;
            session_.setConnected(true);
            listed_ = true;
        }
        addInterfaceReasons();
    }
    emit stateChanged();
    if (epoch == epoch_) {
        emit searchEnded(devices_.count, devices_.count > 0 ? QStringList() : searchReasons_);
    }
    setBusy(false);
}

void ConnectionController::searchPorts(std::uint64_t epoch) {
    ports_ = ListSerialPorts(givenPorts);
    emit portsListed(ports_);
    if (ports_.isEmpty()) {
        searchReasons_ << tr("Com Port: no serial port found on this computer.");
    }
    for (const QString& port : ports_) {
        if (searchPort(port, epoch) || epoch != epoch_) {
            break;
        }
    }
}

void ConnectionController::addInterfaceReasons() {
    if (devices_.count == 0 && ethernet) {
        searchReasons_ << (net_ ? tr("Ethernet: no device replied. Check the cable and that the "
                                     "firewall lets UDP replies in on port 31002 (for example: "
                                     "sudo ufw allow 31002/udp).")
                                : tr("Ethernet: the network endpoints are not open."));
    }
    if (!ethernet && !comPort) {
        searchReasons_ << tr("Both interfaces are unchecked in the Interface menu.");
    }
}

// One port of the Search: true when the Search stops here (a device accepted, the table is
// full, or Disconnect ended the Search meanwhile).
//
// The event loop runs during every wait, and discovery replies that arrive then are stored
// at the device count: a serial device takes its slot (and counts) before its first wait, so
// no reply can land in the record being filled.
bool ConnectionController::searchPort(const QString& port, std::uint64_t epoch) {
    if (devices_.full()) {
        return true;
    }
    ByteLink* link = probePort(port);
    if (link == nullptr) {
        return false;
    }
    if (epoch != epoch_) {
        return true; // Disconnect closed the link and forgot every device
    }
    const std::string_view all = session_.received();
    const bool accepted = all.find("$ACCEPT") != std::string_view::npos;
    const bool isp029 = !accepted && all.find("$ISP029") != std::string_view::npos;
    const bool isp091 = !accepted && all.find("$ISP091") != std::string_view::npos;
    if ((accepted || isp029 || isp091) && devices_.full()) {
        // Replies that came in during the wait took the last slot: this device is dropped.
        log_.addLine("\r\nDevice table full: " + port.toStdString() + " not listed.");
        dropProbe(link);
        return true;
    }

    if (accepted) {
        return listAccepted(port, *link, epoch);
    }

    log_.appendText("No Device Detected.\r\n");
    if (isp029 || isp091) {
        session_.setLoaderMode(true);
        searchEnabled_ = false;
        disconnectEnabled_ = true;
        const int index = devices_.count;
        DeviceRecord& record = devices_.at(index);
        record = DeviceRecord{};
        record.linkKind = LinkKind::Serial;
        // The kind belongs to this row: another loader on the next port may be of the other.
        record.ispKind = isp091 ? 2 : 1;
        const std::string model = IspModelText(all, isp091 ? "$ISP091" : "$ISP029");
        const int row = index + 1;
        setRow(index,
               {std::to_string(row), port.toStdString(), model, "ISP Mode", "NC", "NC", true, {}});
        links_.back().row = row;
        devices_.count += 1;
        emit rowsChanged();
        emit stateChanged();
        return false;
    }

    searchReasons_ << tr("%1: no device answered.").arg(port);
    dropProbe(link);
    return false;
}

ByteLink* ConnectionController::probePort(const QString& port) {
    // What the link says about a port it may not open goes to the Search's reasons too.
    std::string hint;
    auto notice = log_.onNotice;
    log_.onNotice = [&hint, notice](std::string_view text) {
        hint += text;
        if (notice) {
            notice(text);
        }
    };
    std::unique_ptr<ByteLink> opened = opener_ ? opener_(port, log_) : nullptr;
    log_.onNotice = notice;
    if (!opened) {
        // The link's hint names the port, why it did not open and what to do.
        const QString why = QString::fromStdString(hint).trimmed();
        searchReasons_ << (why.isEmpty() ? tr("%1: cannot be opened.").arg(port) : why);
        return nullptr;
    }
    ByteLink* link = opened.get();
    links_.push_back({std::move(opened), 0});
    session_.setLink(link);
    session_.startReceiving();
    session_.SendCommand(ModeGet, CmdEntrance);
    session_.wait(150);
    return link;
}

void ConnectionController::dropProbe(ByteLink* link) {
    session_.stopReceiving();
    dropLink(link);
}

bool ConnectionController::listAccepted(const QString& port, ByteLink& link, std::uint64_t epoch) {
    log_.addLine("\r\nGot One Device.");
    const int index = devices_.count;
    const int row = index + 1;
    devices_.count += 1;
    devices_.selected = index;
    DeviceRecord& record = devices_.at(index);
    record = DeviceRecord{};
    record.linkKind = LinkKind::Serial;
    links_.back().row = row;
    setRow(index, {std::to_string(row), port.toStdString(), "", "", "NC", "NC", false, {}});

    std::string missing = readDescription(record, epoch);
    if (epoch != epoch_) {
        return true;
    }
    if (record.inputNodes[0].modeSelectFlag()) {
        modeSelect_ = {record.internalEdidCount, record.outputCount, record.userEdidCount};
    }
    ApplyModelTable(record);
    if (record.comChannelCount > 0) {
        session_.SendCommand(ModeGet, CmdComConfig);
        if (epoch != epoch_) {
            return true;
        }
    }
    record.linkKind = LinkKind::Serial;
    if (!link.isOpen()) {
        missing = "its description (the link to the device was lost while connecting)";
        log_.notice("\r\n" + port.toStdString() +
                    ": the link to the device was lost while connecting.\r\n");
    } else if (!missing.empty()) {
        // Listed all the same (the port answers), but never silently without them.
        log_.notice("\r\n" + port.toStdString() + ": the device did not send " + missing +
                    "; it is listed without them.\r\n");
    }
    setRow(index, {std::to_string(row), port.toStdString(), record.model,
                   " " + record.productString + " ", "NC", "NC", false, missing});
    record.inputNodes[0].edidMode() = 255;
    emit rowsChanged();
    return true;
}

bool ConnectionController::selectedLinkUp() const {
    if (!connected() || devices_.count <= 0) {
        return false;
    }
    if (!devices_.current().isSerial()) {
        return net_ != nullptr;
    }
    const ByteLink* link = session_.link();
    return link != nullptr && link->isOpen();
}

std::string ConnectionController::readDescription(DeviceRecord& record, std::uint64_t epoch) {
    // Each answer is waited for: a slow or split one would otherwise be cleared half-read by
    // the next command, and the device listed with an empty model and no inputs.
    std::vector<std::string> missing;
    const AnswerState described = RequestDeviceDescriptor(session_);
    if (epoch != epoch_) {
        return {};
    }
    if (session_.hasFlag(FlagRetry)) {
        log_.addLine("\r\nSYS_Descript Err!!!");
    }
    if (described != AnswerState::Handled) {
        missing.push_back(MissingAnswer("its description", "SYS_DSCPT", described));
    }
    record.nodeSelector = 0;
    session_.sendNodeSelect(0x0000);
    const AnswerState selected = session_.waitForAnswer();
    if (epoch != epoch_) {
        return {};
    }
    session_.SendCommand(ModeGet, CmdNdDscpt);
    const AnswerState node = session_.waitForAnswer();
    if (epoch != epoch_) {
        return {};
    }
    if (selected != AnswerState::Handled) {
        missing.push_back(MissingAnswer("the description of input 1", "ND_SEL", selected));
    } else if (node != AnswerState::Handled) {
        missing.push_back(MissingAnswer("the description of input 1", "ND_DSCPT", node));
    }
    std::string text;
    for (const std::string& part : missing) {
        text += (text.empty() ? "" : " and ") + part;
    }
    return text;
}

void ConnectionController::readNodeDescriptions(std::uint64_t epoch) {
    // Each answer waited for, as in the Search: a late one would land in the next.
    for (const std::uint32_t selector : {0x0000u, 0x1000u}) {
        session_.sendNodeSelect(selector);
        session_.waitForAnswer();
        if (epoch != epoch_) {
            return;
        }
        session_.SendCommand(ModeGet, CmdNdDscpt);
        session_.waitForAnswer();
        if (epoch != epoch_) {
            return;
        }
    }
}

ByteLink* ConnectionController::linkForRow(int row) {
    for (const PortLink& kept : links_) {
        if (kept.row == row) {
            return kept.link.get();
        }
    }
    return nullptr;
}

void ConnectionController::select(int row) {
    if (row <= 0 || devices_.count <= 0 || row > devices_.count || busy()) {
        return;
    }
    setBusy(true);
    const std::uint64_t epoch = epoch_;
    devices_.selected = row - 1;
    selectedRow_ = row;
    emit rowsChanged();

    if (net_) {
        net_->closeDevice();
    }
    const bool opened =
        devices_.current().isSerial() ? openSerialDevice(row, epoch) : openNetworkDevice(epoch);
    if (!opened) {
        setBusy(false); // Disconnect came while the device was being opened
        return;
    }
    selected_ = SelectedDeviceOf(devices_.current(), row);
    emit selectionChanged();
    setBusy(false);
}

bool ConnectionController::openSerialDevice(int row, std::uint64_t epoch) {
    if (ByteLink* link = linkForRow(row)) {
        session_.setLink(link);
    }
    if (devices_.current().ispKind != 0) {
        return true; // a loader describes no nodes
    }
    readNodeDescriptions(epoch);
    return epoch == epoch_;
}

bool ConnectionController::openNetworkDevice(std::uint64_t epoch) {
    if (net_) {
        net_->openDevice();
    }
    session_.wait(50);
    if (epoch != epoch_) {
        return false;
    }
    // The network description does not say how many internal EDIDs there are.
    DeviceRecord& record = devices_.current();
    record.internalEdidCount = record.pid == "2037" ? 8 : 6;
    return true;
}

void ConnectionController::disconnectDevices() {
    if (devices_.count < 1) {
        return;
    }
    ++epoch_;
    // Every port link goes, also with the Com Port interface unchecked since the Search: a
    // link left open would still answer for a row of the next Search.
    closeLinks();
    session_.endConnection();
    if (net_) {
        net_->closeDevice();
    }
    searchEnabled_ = true;
    disconnectEnabled_ = false;
    session_.setConnected(false);
    listed_ = false;
    modeSelect_ = {};
    rows_.clear();
    devices_.count = 0;
    selectedRow_ = 0;
    emit rowsChanged();
    emit stateChanged();
    emit disconnected();
}

} // namespace lvx
