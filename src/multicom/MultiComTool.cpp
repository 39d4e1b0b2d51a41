#include "multicom/MultiComTool.h"

#include "common/AtomicFileWriter.h"
#include "connection/ConnectionController.h"

#include <algorithm>

namespace lvx {

namespace {

// The settings a channel shows after a report: what it reports, the rest as it was.
// True when something changed.
bool TakeReported(ChannelSettings& shown, const ReportedSettings& r) {
    const ChannelSettings before = shown;
    shown.baud = r.baud >= 0 ? r.baud : shown.baud;
    shown.dataLength = r.dataLength >= 0 ? r.dataLength : shown.dataLength;
    shown.parity = r.parity >= 0 ? r.parity : shown.parity;
    return shown != before;
}

} // namespace

MultiComTool::MultiComTool(ConnectionController& connection, QObject* parent, std::size_t textCap)
    : FlowTool(connection, parent), connection_(connection) {
    for (ChannelState& c : channels_) {
        c.text = ChannelText(textCap);
    }
    ProtocolSession& session = connection_.session();
    session.setHandler(CmdComMsg, [this](std::string_view answer) { handleChannelAnswer(answer); });
    session.setHandler(CmdComConfig,
                       [this](std::string_view answer) { handleSettingsAnswer(answer); });
    // Disconnect empties the first channel's memo; the others keep their text.
    connect(&connection_, &ConnectionController::disconnected, this, [this] { clear(1); });
}

MultiComTool::~MultiComTool() {
    connection_.session().setHandler(CmdComMsg, nullptr);
    connection_.session().setHandler(CmdComConfig, nullptr);
}

int MultiComTool::channelCount() const {
    const DeviceTable& devices = connection_.devices();
    if (devices.count < 1) {
        return 0;
    }
    return std::clamp(static_cast<int>(devices.current().comChannelCount), 0, kChannelMax);
}

ChannelState& MultiComTool::state(int n) {
    return channels_[static_cast<std::size_t>(std::clamp(n, 1, kChannelMax) - 1)];
}

const ChannelState& MultiComTool::channel(int n) const {
    return channels_[static_cast<std::size_t>(std::clamp(n, 1, kChannelMax) - 1)];
}

void MultiComTool::setListen(int n, bool on) {
    if (!valid(n)) {
        return;
    }
    ChannelState& c = state(n);
    c.listen = on;
    c.controlsEnabled = on;
    c.memoColour = MemoColour(n, on);
    emit listenChanged(n);
}

void MultiComTool::chooseBaud(int n, int index) {
    if (valid(n) && index >= 0 && index < static_cast<int>(kBaudItems.size())) {
        state(n).settings.baud = index;
        emit settingsChanged(n);
        sendSettings(n);
    }
}

void MultiComTool::chooseDataLength(int n, int index) {
    if (valid(n) && index >= 0 && index < static_cast<int>(kDataLengthItems.size())) {
        state(n).settings.dataLength = index;
        emit settingsChanged(n);
        sendSettings(n);
    }
}

void MultiComTool::chooseParity(int n, int index) {
    if (valid(n) && index >= 0 && index < static_cast<int>(kParityItems.size())) {
        state(n).settings.parity = index;
        emit settingsChanged(n);
        sendSettings(n);
    }
}

bool MultiComTool::chooseSettings(int n, const ChannelSettings& settings) {
    if (!valid(n) || settings.baud < 0 || settings.baud >= static_cast<int>(kBaudItems.size()) ||
        settings.dataLength < 0 ||
        settings.dataLength >= static_cast<int>(kDataLengthItems.size()) || settings.parity < 0 ||
        settings.parity >= static_cast<int>(kParityItems.size())) {
        return false;
    }
    state(n).settings = settings;
    emit settingsChanged(n);
    return sendSettings(n);
}

bool MultiComTool::canSend() const {
    const DeviceTable& devices = connection_.devices();
    return connection_.connected() && devices.count > 0 && devices.current().isSerial() &&
           !connection_.busy();
}

bool MultiComTool::sendSettings(int n) {
    if (!canSend()) {
        return false;
    }
    const FlowGuard flow(connection_);
    ProtocolSession& session = connection_.session();
    session.sendSet(CmdComConfig, ChannelConfigPayload(n, state(n).settings));
    if (session.answered()) {
        return true;
    }
    lastError_ = connection_.selectedLinkUp()
                     ? QStringLiteral("the device did not answer SET COM_CONFIG")
                     : QStringLiteral("the link to the device was lost");
    connection_.log().addLine("\r\nChannel settings not changed: " + lastError_.toStdString());
    report(QStringLiteral("Channel %1 settings not changed: %2").arg(n).arg(lastError_),
           Severity::Failure);
    // The lists show what the device has, not the change it never took.
    if (settingsReports_ > 0 &&
        TakeReported(state(n).settings, lastReport_[static_cast<std::size_t>(n - 1)])) {
        emit settingsChanged(n);
    }
    return false;
}

void MultiComTool::requestSettings() {
    if (!canSend()) {
        return;
    }
    const FlowGuard flow(connection_);
    connection_.session().SendCommand(ModeGet, CmdComConfig);
}

void MultiComTool::clear(int n) {
    if (valid(n)) {
        emit textChanged(n, state(n).text.clear());
    }
}

std::string MultiComTool::askLogName(Prompt& prompt, int n) {
    // The dialog starts in the folder last used for logs.
    return prompt.saveFileNameFor(FileKind::Log, kLogFilter, DefaultLogName(n));
}

MultiComTool::SaveOutcome MultiComTool::saveLog(int n, Prompt& prompt) {
    lastError_.clear();
    if (!valid(n)) {
        return SaveOutcome::Cancelled;
    }
    const std::string chosen = askLogName(prompt, n);
    if (chosen.empty()) {
        return SaveOutcome::Cancelled;
    }
    const QString path = QString::fromStdString(LogSaveName(chosen));
    AtomicFileWriter writer;
    // The text as it is when the dialog closes (more may have arrived meanwhile).
    const std::string_view bytes = state(n).text.bytes();
    if (!writer.open(path) || !writer.write(bytes.data(), static_cast<qint64>(bytes.size()))) {
        lastError_ =
            QStringLiteral("The log could not be saved to %1: %2. Any earlier file of "
                           "that name is left as it was.")
                .arg(path.isEmpty() ? QString::fromStdString(chosen) : path, writer.error());
        prompt.message("Save Log", lastError_.toStdString());
        report(lastError_, Severity::Failure);
        return SaveOutcome::Failed;
    }
    report(QStringLiteral("Saved the channel %1 log to %2").arg(n).arg(path), Severity::Success);
    return SaveOutcome::Saved;
}

bool MultiComTool::handleChannelAnswer(std::string_view answer) {
    const std::optional<ChannelData> data = ParseChannelAnswer(answer, channelCount());
    if (!data) {
        return false;
    }
    receive(data->channel, data->text);
    return true;
}

void MultiComTool::receive(int n, std::string_view bytes) {
    if (!valid(n) || bytes.empty()) {
        return;
    }
    const MemoChange change = state(n).text.append(bytes);
    emit textChanged(n, change);
    emit received(n, QByteArray(bytes.data(), static_cast<int>(bytes.size())));
}

bool MultiComTool::handleSettingsAnswer(std::string_view answer) {
    const std::optional<SettingsReport> report = ParseChannelSettings(answer, channelCount());
    if (!report) {
        return false;
    }
    for (int n = 1; n <= kChannelMax; ++n) {
        if (TakeReported(state(n).settings, (*report)[static_cast<std::size_t>(n - 1)])) {
            emit settingsChanged(n);
        }
    }
    lastReport_ = *report;
    ++settingsReports_;
    emit settingsReported();
    return true;
}

} // namespace lvx
