#include "system/SystemConfigTool.h"

#include "connection/ActivityLog.h"
#include "connection/ConnectionController.h"
#include "connection/DescriptorRequest.h"
#include "links/NetCommand.h"
#include "protocol/TransferBracket.h"
#include "system/ProductString.h"

namespace lvx {

SystemConfigTool::SystemConfigTool(ConnectionController& connection, QObject* parent)
    : FlowTool(connection, parent), connection_(connection) {}

bool SystemConfigTool::ready() const {
    return connection_.connected() && connection_.devices().count > 0 && !connection_.busy();
}

void SystemConfigTool::checkLength(const std::string& text) {
    if (ProductStringTooLong(text)) {
        report(QStringLiteral("63 Letters Limited!"), Severity::Warning);
    } else {
        report(QString(), Severity::Info);
    }
}

SystemConfigTool::Outcome SystemConfigTool::noAnswer(const QString& label, const QString& why) {
    lastError_ = connection_.connected() && connection_.devices().count > 0
                     ? why
                     : QStringLiteral("the link to the device was lost");
    report(label, Severity::Failure, why.isEmpty() ? lastError_ : why);
    return Outcome::NoAnswer;
}

SystemConfigTool::Outcome SystemConfigTool::writeConfiguration(const std::string& text) {
    if (!ready()) {
        return Outcome::Nothing;
    }
    lastError_.clear();
    DeviceTable& devices = connection_.devices();
    const int index = devices.selected;
    DeviceRecord& record = devices.current();
    if (text == record.productString) {
        report(QStringLiteral("No Changed."), Severity::Info);
        return Outcome::Unchanged;
    }
    const FlowGuard flow(connection_);
    ProtocolSession& session = connection_.session();
    const std::string before = record.productString;
    record.setProductString(ProductStringStored(text));
    const bool serial = record.isSerial();
    // The watchdog pauses; the device is not told (no block transfer follows).
    TransferBracket bracket(session, true, TransferBracket::Tell::Nobody);
    report(QStringLiteral("Ok."), Severity::Success,
           tr("Sending the description \"%1\"").arg(QString::fromStdString(text)));

    const std::vector<std::uint8_t> bytes = ProductStringBytes(text);
    AnswerState answer = AnswerState::Handled; // the datagram has no reply to wait for
    if (serial) {
        session.sendSet(CmdSysStr, bytes);
        answer = session.waitForAnswer();
    } else if (NetworkLink* net = connection_.network()) {
        net->sendCommand(netcmd::kProductString,
                         ProductStringData(std::string(bytes.begin(), bytes.end())));
    }
    if (answer == AnswerState::Handled) {
        session.wait(1000);
    }
    bracket.close();

    // The waits ran the event loop: the record is found again, and the text is shown only if
    // the device took it and is still listed.
    const bool listed = connection_.connected() && index < devices.count;
    if (answer != AnswerState::Handled || !listed) {
        devices.at(index).productString = before;
        return noAnswer(QStringLiteral("Write Fail."),
                        answer == AnswerState::BadCrc
                            ? QStringLiteral("the device's answer to SET SYS_STR failed its check")
                            : QStringLiteral("the device did not answer SET SYS_STR"));
    }
    // Written: the label's "Ok." goes as the list shows the new text.
    report(QString(), Severity::Info,
           tr("Wrote the description \"%1\"").arg(QString::fromStdString(text)));
    connection_.showProductString(index);
    return Outcome::Done;
}

SystemConfigTool::Outcome SystemConfigTool::factoryDefault(Prompt& prompt) {
    if (!ready() || !connection_.devices().current().isSerial()) {
        return Outcome::Nothing;
    }
    const int row = connection_.devices().selected + 1;
    const std::string port = DeviceLabel(connection_).toStdString();
    const std::string product = connection_.devices().current().productString;
    const std::string target = "\r\n\r\nDevice: row " + std::to_string(row) + " (" + port +
                               (product.empty() ? std::string() : ", " + product) +
                               ")\r\nIts settings are lost; this cannot be undone.";
    if (!prompt.confirmIrreversible("Warning", "Warning!\r\nReset system to default." + target)) {
        return Outcome::Cancelled;
    }
    if (!ready()) {
        return Outcome::Nothing;
    }
    lastError_.clear();
    const FlowGuard flow(connection_);
    ProtocolSession& session = connection_.session();
    const int index = connection_.devices().selected;
    session.resetWatchdog();
    session.sendSet(CmdSysDef, {0x55});
    const bool reset = session.answered();
    if (reset) {
        session.wait(1000);
    }
    if (!reset || !connection_.connected()) {
        return noAnswer(QStringLiteral("Default Fail."),
                        QStringLiteral("the device did not answer SET SYS_DEF"));
    }

    // The description is shown once it came, not while its answer is still on its way; one
    // that fails its check is asked for once more, as the Search does.
    const bool described =
        RequestDeviceDescriptor(session, kDescriptionWaitMs) == AnswerState::Handled;
    if (!connection_.connected() || index >= connection_.devices().count) {
        return noAnswer(QStringLiteral("Default Fail."), QString());
    }
    const std::string& text = connection_.devices().at(index).productString;
    emit productStringShown(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    connection_.showProductString(index);
    if (!described) {
        return noAnswer(QStringLiteral("Default Fail."),
                        QStringLiteral("the device was reset but did not send its description "
                                       "again"));
    }
    note(tr("Reset the device to its factory settings"), Severity::Success);
    return Outcome::Done;
}

} // namespace lvx
