#include "system/IpConfigTool.h"

#include "connection/ConnectionController.h"
#include "links/NetworkLink.h"

namespace lvx {

IpConfigTool::IpConfigTool(ConnectionController& connection, QObject* parent)
    : FlowTool(connection, parent), connection_(connection) {
    watchNetwork(connection_.network());
    connect(&connection_, &ConnectionController::networkAttached, this,
            &IpConfigTool::watchNetwork);
}

void IpConfigTool::watchNetwork(NetworkLink* net) {
    if (net != nullptr) {
        connect(net, &NetworkLink::deviceOpening, this, &IpConfigTool::fill, Qt::UniqueConnection);
    }
}

const NetworkRecord* IpConfigTool::record() const {
    const NetworkLink* net = connection_.network();
    if (net == nullptr) {
        return nullptr;
    }
    const int index = net->openedIndex();
    const DeviceTable& devices = connection_.devices();
    if (index < 0 || index >= devices.count || index != devices.selected ||
        devices.records[static_cast<std::size_t>(index)].isSerial()) {
        return nullptr;
    }
    return &net->networkTable()[static_cast<std::size_t>(index)];
}

void IpConfigTool::fill(int index) {
    NetworkLink* net = connection_.network();
    if (net == nullptr || index < 0 || index >= kDeviceTableSize) {
        return;
    }
    shown_ = IpEditsOf(net->networkRecord(index));
    report(QString(), Severity::Info);
    emit filled();
}

IpConfigTool::Outcome IpConfigTool::write(const IpEdits& edits) {
    const NetworkRecord* stored = record();
    NetworkLink* net = connection_.network();
    if (stored == nullptr || net == nullptr || connection_.busy()) {
        return Outcome::Nothing;
    }
    lastDatagram_.clear();
    lastSkipped_.clear();
    const IpConfigPlan plan = PlanIpConfiguration(*stored, edits);
    if (plan.refused) {
        report(QString::fromStdString(plan.error), Severity::Failure);
        return Outcome::Refused;
    }
    lastDatagram_ = BuildIpConfigDatagram(plan.entries);
    if (lastDatagram_.empty() || !net->sendIpConfiguration(plan.entries)) {
        report(tr("The IP configuration could not be sent."), Severity::Failure,
               tr("Check that the network endpoints are open and the device is listed."));
        return Outcome::Failed;
    }
    // Only what went out is stored, so a second write without edits sends the MAC alone.
    net->networkRecord(net->openedIndex()) = plan.stored;
    lastSkipped_ = plan.skipped;
    QStringList lines;
    for (const std::string& line : plan.skipped) {
        lines << QString::fromStdString(line);
    }
    // A write that left addresses out says which; one that sent everything has nothing to say.
    const QString sent = tr("Sent the IP configuration (%1 setting(s))").arg(plan.entries.size());
    report(lines.join(QLatin1Char('\n')), lines.isEmpty() ? Severity::Info : Severity::Warning,
           lines.isEmpty() ? sent : sent + tr("; left out: ") + lines.join(QStringLiteral("; ")));
    return Outcome::Sent;
}

QString IpConfigTool::webAddress() const {
    const NetworkRecord* stored = record();
    return stored ? QString::fromLatin1(DeviceWebAddress(*stored).c_str()) : QString();
}

} // namespace lvx
