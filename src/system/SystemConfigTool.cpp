#include "system/SystemConfigTool.h"

#include "connection/ConnectionController.h"
#include "links/NetCommand.h"
#include "system/ProductString.h"

namespace lvx {

SystemConfigTool::SystemConfigTool(ConnectionController& connection, QObject* parent)
    : QObject(parent), connection_(connection) {}

void SystemConfigTool::setStatus(const QString& text, bool red) {
    status_ = text;
    statusRed_ = red;
    emit statusChanged(text, red);
}

bool SystemConfigTool::ready() const {
    return connection_.connected() && connection_.devices().count > 0 && !connection_.busy();
}

void SystemConfigTool::checkLength(const std::string& text) {
    if (ProductStringTooLong(text)) {
        setStatus(QStringLiteral("63 Letters Limited!"), true);
    } else {
        setStatus(QString(), false);
    }
}

SystemConfigTool::Outcome SystemConfigTool::writeConfiguration(const std::string& text) {
    if (!ready()) {
        return Outcome::Nothing;
    }
    DeviceTable& devices = connection_.devices();
    const int index = devices.selected;
    DeviceRecord& record = devices.current();
    if (text == record.productString) {
        setStatus(QStringLiteral("No Changed."), false);
        return Outcome::Unchanged;
    }
    const FlowGuard flow(connection_);
    ProtocolSession& session = connection_.session();
    record.setProductString(ProductStringStored(text));
    const bool serial = record.isSerial();
    session.setFlag(FlagTransfer, true);
    session.resetWatchdog();
    setStatus(QStringLiteral("Ok."), false);

    const std::vector<std::uint8_t> bytes = ProductStringBytes(text);
    if (serial) {
        session.sendSet(CmdSysStr, bytes);
    } else if (NetworkLink* net = connection_.network()) {
        net->sendCommand(netcmd::kProductString,
                         ProductStringData(std::string(bytes.begin(), bytes.end())));
    }
    session.wait(1000);

    setStatus(QString(), false);
    // The wait ran the event loop: show the text only if the device is still listed.
    if (connection_.connected() && index < devices.count) {
        connection_.showProductString(index);
    }
    session.setFlag(FlagTransfer, false);
    return Outcome::Done;
}

SystemConfigTool::Outcome SystemConfigTool::factoryDefault(Prompt& prompt) {
    if (!ready() || !connection_.devices().current().isSerial()) {
        return Outcome::Nothing;
    }
    if (!prompt.confirm("Warning", "Warning!\r\nReset system to default.")) {
        return Outcome::Cancelled;
    }
    if (!ready()) {
        return Outcome::Nothing;
    }
    const FlowGuard flow(connection_);
    ProtocolSession& session = connection_.session();
    const int index = connection_.devices().selected;
    session.resetWatchdog();
    session.sendSet(CmdSysDef, {0x55});
    session.wait(1000);
    if (!connection_.connected()) {
        return Outcome::Nothing;
    }

    // The description is shown once it came, not while its answer is still on its way.
    bool described = false;
    const QMetaObject::Connection watch = connect(&session, &ProtocolSession::deviceDescribed, this,
                                                  [&described] { described = true; });
    session.sendGet(CmdSysDscpt);
    for (int waited = 0; !described && connection_.connected() && waited < kDescriptionWaitMs;
         waited += 10) {
        session.wait(10);
    }
    disconnect(watch);
    if (!connection_.connected() || index >= connection_.devices().count) {
        return Outcome::Nothing;
    }
    const std::string& text = connection_.devices().at(index).productString;
    emit productStringShown(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    connection_.showProductString(index);
    return described ? Outcome::Done : Outcome::NoAnswer;
}

} // namespace lvx
