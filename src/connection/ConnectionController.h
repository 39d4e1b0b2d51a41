#pragma once

#include "common/DebugLog.h"
#include "common/EdidImage.h"
#include "connection/DeviceRows.h"
#include "connection/SelectedDevice.h"
#include "links/NetworkLink.h"
#include "links/SerialLink.h"
#include "protocol/Descriptor.h"
#include "protocol/DeviceRecord.h"
#include "protocol/PollScheduler.h"
#include "protocol/ProtocolSession.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lvx {

// Search, device selection and Disconnect, without any window: the device table, the
// protocol session on the COM port, and the network side through the hooks below.
class ConnectionController : public QObject {
    Q_OBJECT
public:
    explicit ConnectionController(QObject* parent = nullptr);
    ~ConnectionController() override;

    DeviceTable& devices() { return devices_; }
    const DeviceTable& devices() const { return devices_; }
    DebugLog& log() { return log_; }
    ProtocolSession& session() { return session_; }
    PollScheduler& polls() { return polls_; }

    // Interfaces searched: both at start.
    bool ethernet = true;
    bool comPort = true;
    // Ports named by the user replace the system's list.
    QStringList givenPorts;

    // Opens the UDP endpoints; false (with the reason) when the reply port is taken.
    bool openNetwork(const EndpointConfig& config, QString* error);
    // Takes a network link that is already set up (tests feed it datagrams themselves).
    void attachNetwork(std::unique_ptr<NetworkLink> link);
    NetworkLink* network() const { return net_.get(); }

    // Opens a port for the Search: an open link, or null when the port cannot be opened
    // (the reason is in the log). SerialLink unless a test gives another.
    using PortOpener = std::function<std::unique_ptr<ByteLink>(const QString& port, DebugLog& log)>;
    void setPortOpener(PortOpener opener) { opener_ = std::move(opener); }

    // The device EDID image: every EDID read from a device lands here (block answers and
    // network replies alike); Save writes it, the EDID flows decode it. There is no other copy.
    EdidImage& deviceEdidImage() { return deviceEdid_; }

    void search();
    void select(int row);
    void disconnectDevices();
    // Disconnect asked by the user (the button, the command line's end).
    void closeByUser();

    bool searchEnabled() const { return searchEnabled_; }
    bool disconnectEnabled() const { return disconnectEnabled_; }
    bool connected() const { return !searchEnabled_; }
    // Whether the selected device can still be reached: its port is open (a serial device)
    // or the network endpoints are (a network device).
    bool selectedLinkUp() const;
    bool busy() const { return busy_ > 0; }
    // A Search ended with devices listed, and no Disconnect came since.
    bool listed() const { return listed_; }
    // The Search found a device that answered as a loader (it stays so until Disconnect).
    bool loaderFound() const { return session_.hasFlag(FlagIspMode); }
    const ModeSelectCounts& modeSelectCounts() const { return modeSelect_; }
    const std::vector<DeviceRow>& rows() const { return rows_; }
    int selectedRow() const { return selectedRow_; }
    // The device the last selection opened (selectionChanged() says when it changes).
    const SelectedDevice& selectedDevice() const { return selected_; }
    const QStringList& ports() const { return ports_; }

    // Marks a device flow as running (see FlowGuard), so that no second one starts meanwhile.
    // A busy connection (a flow, the Search, a selection) holds the polls paused.
    void setBusy(bool on);

    // The device at this index has a new product string: its Description cell becomes
    // " " + productString + " " and the row highlight is cleared.
    void showProductString(int index);

signals:
    void rowsChanged();
    void stateChanged();
    void selectionChanged();
    void portsListed(const QStringList& ports);
    void edidListsChanged(const lvx::EdidSelectionLists& lists);
    void disconnected();
    // The selected device stopped answering (the connection then closes as on Disconnect);
    // `device` names its port or MAC address.
    void connectionLost(const QString& device);
    // The user closed the connection.
    void closedByUser();
    // A Search ended with this many devices; when none, why for each port and interface.
    void searchEnded(int found, const QStringList& reasons);
    void busyChanged(bool busy);
    // A network link was attached (tools that follow its signals connect now).
    void networkAttached(lvx::NetworkLink* link);
    // A Description cell was rewritten: its column is measured anew.
    void descriptionRewritten(int index);

private:
    // A port's link, and the device-list row it belongs to (0 while the port is probed).
    struct PortLink {
        std::unique_ptr<ByteLink> link;
        int row = 0;
    };

    bool searchPort(const QString& port, std::uint64_t epoch);
    // Opens a port for the Search and sends it ENTRANCE; null when it cannot be opened.
    ByteLink* probePort(const QString& port);
    // Lists the device that accepted on the probed port and reads its description.
    bool listAccepted(const QString& port, ByteLink& link, std::uint64_t epoch);
    // The probed port is no device's: its receive side stops and its link goes.
    void dropProbe(ByteLink* link);
    // GET SYS_DSCPT, then ND_SEL and GET ND_DSCPT of input 1, into the record of a device
    // that accepted; what it did not send ("its description (no answer to SYS_DSCPT)"), empty
    // when it sent everything.
    std::string readDescription(DeviceRecord& record, std::uint64_t epoch);
    // ND_SEL and GET ND_DSCPT for input 1 and output 1 of the selected device; stops when
    // Disconnect came meanwhile.
    void readNodeDescriptions(std::uint64_t epoch);
    // Opening the selected device over its link; false when Disconnect came meanwhile.
    bool openSerialDevice(int row, std::uint64_t epoch);
    bool openNetworkDevice(std::uint64_t epoch);
    ByteLink* linkForRow(int row);
    void dropLink(ByteLink* link);
    void closeLinks();
    void setRow(int index, DeviceRow row);

    void networkDeviceAdded(int index, const QStringList& row);
    void lose();
    // The Search's COM port part: every port listed, or those given, until one stops it.
    void searchPorts(std::uint64_t epoch);
    // Why an interface gave no device (the network's silence, both interfaces off).
    void addInterfaceReasons();
    // Why the Search found nothing: one line per port and interface that gave no device.
    QStringList searchReasons_;

    DeviceTable devices_;
    EdidImage deviceEdid_{};
    DebugLog log_;
    std::unique_ptr<NetworkLink> net_;
    ProtocolSession session_;
    PollScheduler polls_;
    PortOpener opener_;
    std::vector<PortLink> links_; // the port being probed and one per listed serial device
    // Links of an earlier connection, closed; freed when the next Search starts (a link may
    // be the one whose callback ended the connection).
    std::vector<std::unique_ptr<ByteLink>> retired_;
    // Counts connections: a Search or a selection that finds it changed after a wait has
    // been overtaken by Disconnect and stops touching the device table.
    std::uint64_t epoch_ = 0;
    bool searchEnabled_ = true;
    bool disconnectEnabled_ = false;
    bool listed_ = false;
    ModeSelectCounts modeSelect_;
    std::vector<DeviceRow> rows_;
    int selectedRow_ = 0;
    SelectedDevice selected_;
    QStringList ports_;
    int busy_ = 0;
};

// Holds the controller busy for as long as a device flow runs, and with it the polls' lease:
// nothing but the flow's own commands reaches the device meanwhile.
class FlowGuard {
public:
    explicit FlowGuard(ConnectionController& controller) : controller_(controller) {
        controller_.setBusy(true);
    }
    ~FlowGuard() { controller_.setBusy(false); }
    FlowGuard(const FlowGuard&) = delete;
    FlowGuard& operator=(const FlowGuard&) = delete;

private:
    ConnectionController& controller_;
};

} // namespace lvx
