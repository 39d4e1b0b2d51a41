#include "protocol/ProtocolSession.h"

#include "protocol/Frame.h"
#include "protocol/PumpDelay.h"

#include <QEventLoop>

#include <algorithm>
#include <cstring>

namespace lvx {

std::string_view ProtocolState::text() const {
    // Only the bytes stored since the last send or handled answer count, up to a zero byte.
    const auto* begin = reinterpret_cast<const char*>(buffer.data());
    const std::size_t stored = std::min<std::size_t>(count, buffer.size());
    const void* zero = std::memchr(begin, 0, stored);
    const std::size_t length =
        zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - begin) : stored;
    return std::string_view(begin, length);
}

bool ProtocolState::contains(std::string_view needle) const {
    const std::string_view all(reinterpret_cast<const char*>(buffer.data()), buffer.size());
    return all.find(needle) != std::string_view::npos;
}

ProtocolSession::ProtocolSession(DeviceTable& devices, DebugLog& log, QObject* parent)
    : QObject(parent), devices_(devices), log_(log) {
    // Members, and children too, so that the window owning the session finds them by name.
    rxTimer_.setParent(this);
    pollStatusTimer_.setParent(this);
    multiComTimer_.setParent(this);
    rxTimer_.setObjectName(QStringLiteral("Timer_UART_Rx"));
    rxTimer_.setInterval(kReceiveTickMs);
    rxTimer_.setTimerType(Qt::PreciseTimer);
    pollStatusTimer_.setObjectName(QStringLiteral("Timer_Poll_Status"));
    pollStatusTimer_.setInterval(kPollStatusMs);
    multiComTimer_.setObjectName(QStringLiteral("Timer_MultiCom_Polling"));
    multiComTimer_.setInterval(kMultiComPollMs);
    connect(&rxTimer_, &QTimer::timeout, this, &ProtocolSession::receiveTick);
    watchdogTimer_.setParent(this);
    watchdogTimer_.setSingleShot(true);
    watchdogTimer_.setTimerType(Qt::PreciseTimer);
    connect(&watchdogTimer_, &QTimer::timeout, this, &ProtocolSession::watchdogDue);
    connect(&pollStatusTimer_, &QTimer::timeout, this, &ProtocolSession::pollStatusTick);
    connect(&multiComTimer_, &QTimer::timeout, this, &ProtocolSession::multiComTick);
    multiComTimer_.start();
}

ProtocolSession::~ProtocolSession() {
    if (link_) {
        link_->onLost = nullptr;
        link_->onArrival = nullptr;
    }
}

void ProtocolSession::setLink(ByteLink* link) {
    if (link_ && link_ != link) {
        link_->onLost = nullptr;
        link_->onArrival = nullptr;
    }
    link_ = link;
    if (link_) {
        link_->onLost = [this] { linkLost(); };
        link_->onArrival = [this] { receiveNow(); };
    }
}

void ProtocolSession::receiveNow() {
    // Bytes are read as soon as the port has them, between ticks too.
    if (!rxEnabled_) {
        return;
    }
    settleSleep();
    ++tickDepth_;
    receiveStep();
    ResponseHandler();
    --tickDepth_;
    updateTicking();
}

void ProtocolSession::startReceiving() {
    rxEnabled_ = true;
    updateTicking();
}

void ProtocolSession::stopReceiving() {
    rxEnabled_ = false;
    rxTimer_.stop();
    watchdogTimer_.stop();
    asleep_.invalidate();
}

void ProtocolSession::forgetAnswer() {
    awaiting_ = false;
    state_.count = 0;
    state_.currentCommand = 0;
    updateTicking();
}

bool ProtocolSession::awaiting() const {
    if (awaiting_) {
        return true;
    }
    // Part of an answer waits for its line feed.
    return state_.count > 0 && state_.count < kReceiveBufferSize &&
           state_.buffer[state_.count - 1] != '\n';
}

bool ProtocolSession::watchdogCounts() const {
    return connected_ && !hasFlag(FlagIspMode) && !hasFlag(FlagTransfer);
}

void ProtocolSession::settleSleep() {
    if (!asleep_.isValid()) {
        return;
    }
    const std::int64_t ticks = asleep_.elapsed() / kReceiveTickMs;
    std::int64_t fresh = ticks - sleptTicks_;
    sleptTicks_ = ticks;
    if (fresh <= 0) {
        return;
    }
    // The watchdog steps the sleeping ticks would have made, all at once.
    if (hasFlag(FlagIspMode) || !connected_) {
        state_.watchdog = 0;
        return;
    }
    if (hasFlag(FlagTransfer)) {
        return;
    }
    const std::int64_t reached = static_cast<std::int64_t>(state_.watchdog) + fresh;
    if (reached >= kWatchdogTicks) {
        state_.watchdog = 0;
        emit connectionLost();
        return;
    }
    state_.watchdog = static_cast<std::uint32_t>(reached);
}

void ProtocolSession::updateTicking() {
    if (!rxEnabled_) {
        return;
    }
    if (awaiting()) {
        watchdogTimer_.stop();
        if (!rxTimer_.isActive()) {
            settleSleep();
            asleep_.invalidate();
            rxTimer_.start();
        }
        return;
    }
    if (rxTimer_.isActive() || !asleep_.isValid()) {
        rxTimer_.stop();
        asleep_.start();
        sleptTicks_ = 0;
    }
    // One wake-up, when the watchdog would reach its limit.
    if (watchdogCounts()) {
        const std::int64_t left = kWatchdogTicks - static_cast<std::int64_t>(state_.watchdog);
        const std::int64_t due = (sleptTicks_ + left) * kReceiveTickMs - asleep_.elapsed();
        watchdogTimer_.start(static_cast<int>(std::max<std::int64_t>(due, 0)));
    } else {
        watchdogTimer_.stop();
    }
}

void ProtocolSession::watchdogDue() {
    settleSleep();
    updateTicking();
}

void ProtocolSession::resetWatchdog() {
    settleSleep();
    state_.watchdog = 0;
    updateTicking();
}

void ProtocolSession::setConnected(bool connected) {
    settleSleep();
    connected_ = connected;
    updateTicking();
}

void ProtocolSession::wait(int ms) {
    if (delay_) {
        delay_(ms);
        return;
    }
    if (tickDepth_ == 0 || !rxEnabled_) {
        PumpDelay(ms);
        return;
    }
    QEventLoop loop;
    QTimer end;
    end.setSingleShot(true);
    end.setTimerType(Qt::PreciseTimer);
    connect(&end, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    connect(&tick, &QTimer::timeout, this, &ProtocolSession::receiveTick);
    tick.start(kReceiveTickMs);
    end.start(ms);
    loop.exec(QEventLoop::AllEvents);
}

void ProtocolSession::setFlag(std::uint32_t flag, bool on) {
    const bool watchdogFlag = (flag & (FlagTransfer | FlagIspMode)) != 0;
    if (watchdogFlag) {
        settleSleep(); // the ticks slept so far count under the flags they slept under
    }
    if (on) {
        state_.flags |= flag;
    } else {
        state_.flags &= ~flag;
    }
    if (watchdogFlag) {
        updateTicking();
    }
}

namespace {
// Enabling a timer that runs already leaves its countdown alone: the mode poll must not be
// pushed back by every channel answer.
void Enable(QTimer& timer) {
    if (!timer.isActive()) {
        timer.start();
    }
}
} // namespace

void ProtocolSession::enablePolling() {
    Enable(pollStatusTimer_);
    Enable(multiComTimer_);
}

void ProtocolSession::disablePolling() {
    pollStatusTimer_.stop();
    multiComTimer_.stop();
}

void ProtocolSession::write(std::string_view bytes) {
    if (link_ && link_->isOpen()) {
        link_->write(bytes);
    }
}

void ProtocolSession::SendCommand(std::uint8_t mode, std::uint16_t command, std::uint16_t length,
                                  const std::uint8_t* data) {
    const bool poll = sendingPoll_; // only this send: a flow started during its wait is none
    sendingPoll_ = false;
    awaitPollAnswer();
    const bool keepStatusPoll = command == CmdComMsg;
    if (!keepStatusPoll) {
        pollStatusTimer_.stop();
    }
    multiComTimer_.stop();

    settleSleep();
    state_.count = 0;
    state_.lastMode = mode;
    state_.currentCommand = command;
    state_.buffer.fill(0);
    // The wake-up gets no answer; every other command does (an "OK" after a SET).
    awaiting_ = command != CmdWakeUp;
    answerState_ = AnswerState::Missing;
    pollCommand_ = poll ? command : 0;
    if (poll) {
        pollSent_.start();
    }
    updateTicking();
    if (command == CmdSysDscpt && !retrying_) {
        descriptorRetried_ = false;
    }

    if (command == CmdWakeUp) {
        write(kWakeUpText);
        emit frameSent(mode, command, std::string(kWakeUpText));
        wait(200);
        enablePolling();
        return;
    }
    if (command == CmdEntrance) {
        write(kWakeUpText);
        wait(150);
    }

    const std::vector<std::string> pieces =
        BuildFramePieces(mode, command, data, mode == ModeSet ? length : 0);
    std::string frame;
    for (const std::string& piece : pieces) {
        write(piece);
        frame += piece;
    }
    emit frameSent(mode, command, frame);

    if (mode == ModeGet) {
        wait(60);
        return;
    }
    wait(20);
    if (command == CmdNdSel) {
        wait((devices_.current().nodeSelector >> 12) == 2 ? 100 : 50);
    } else if (command == CmdFwData) {
        // The loader kind is the one the device being flashed (the selected row) answered.
        const std::uint8_t ispKind = devices_.current().ispKind;
        if (ispKind == 1) {
            wait(90);
        } else if (ispKind == 2) {
            wait(30);
        }
    } else if (command == CmdSysDef) {
        wait(500);
    }
    if (!keepStatusPoll) {
        Enable(pollStatusTimer_);
    }
    Enable(multiComTimer_);
}

void ProtocolSession::awaitPollAnswer() {
    // A poll's answer still on its way would be taken for the answer of the next command:
    // a channel's text would be lost and the command would take an answer not its own.
    // The poll answers within its pacing wait, so a short wait from the poll is enough.
    if (!awaiting_ || pollCommand_ == 0 || state_.currentCommand != pollCommand_ || !link_ ||
        !link_->isOpen()) {
        return;
    }
    constexpr int kStepMs = 5;
    std::int64_t left = kPollAnswerWaitMs - pollSent_.elapsed();
    while (left > 0 && awaiting_ && state_.currentCommand == pollCommand_) {
        wait(kStepMs);
        left -= kStepMs;
    }
}

AnswerState ProtocolSession::waitForAnswer(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (answerState_ == AnswerState::Missing && awaiting_ && link_ && link_->isOpen() &&
           clock.elapsed() < timeoutMs) {
        wait(5);
    }
    return answerState_;
}

void ProtocolSession::sendPoll(std::uint16_t command) {
    sendingPoll_ = true; // taken, and cleared, by this send alone
    SendCommand(ModeGet, command);
}

void ProtocolSession::sendNodeSelect(std::uint32_t selector) {
    devices_.current().nodeSelector = selector;
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>((selector >> 8) & 0xFF),
                                   static_cast<std::uint8_t>(selector & 0xFF)};
    SendCommand(ModeSet, CmdNdSel, 2, bytes);
}

void ProtocolSession::beginTransfer() {
    setFlag(FlagTransfer, true);
    resetWatchdog();
    SendCommand(ModeSet, CmdSysStm);
}

void ProtocolSession::endTransfer() {
    setFlag(FlagTransfer, false);
    resetWatchdog();
    SendCommand(ModeSet, CmdSysCtm);
}

void ProtocolSession::receiveTick() {
    settleSleep();
    ++tickDepth_;
    watchdogStep();
    receiveStep();
    ResponseHandler();
    --tickDepth_;
    updateTicking();
}

void ProtocolSession::watchdogStep() {
    if (hasFlag(FlagIspMode) || !connected_) {
        state_.watchdog = 0;
        return;
    }
    if (hasFlag(FlagTransfer)) {
        return;
    }
    if (++state_.watchdog >= kWatchdogTicks) {
        state_.watchdog = 0;
        emit connectionLost();
    }
}

void ProtocolSession::receiveStep() {
    if (!link_ || !link_->isOpen()) {
        return;
    }
    const std::int64_t waiting = link_->bytesWaiting();
    if (waiting > static_cast<std::int64_t>(kReceiveBufferSize)) {
        link_->purgeReceive();
        return;
    }
    bool stored = false;
    if (waiting > 0) {
        const std::string bytes = link_->read(static_cast<std::size_t>(waiting));
        if (!bytes.empty()) {
            stored = true;
            bytesReceived_ += bytes.size();
            log_.addLine(bytes);
            const std::size_t room =
                kReceiveBufferSize - std::min<std::size_t>(state_.count, kReceiveBufferSize);
            const std::size_t kept = std::min(room, bytes.size());
            std::memcpy(state_.buffer.data() + state_.count, bytes.data(), kept);
            state_.count = static_cast<std::uint32_t>(
                std::min<std::size_t>(state_.count + bytes.size(), kReceiveBufferSize));
        }
    }
    // An answer is judged once: only bytes that arrived now can complete one. A rejected
    // answer stays in the buffer until the next send, but is not checked again on every tick.
    if (stored && state_.count > 0 && state_.buffer[state_.count - 1] == '\n') {
        state_.flags |= FlagReceiveComplete;
    }
}

void ProtocolSession::ResponseHandler() {
    if (!hasFlag(FlagReceiveComplete)) {
        return;
    }
    setFlag(FlagReceiveComplete, false);
    const std::string_view text = state_.text();
    const AnswerCheck check = CheckAnswer(text);
    if (check == AnswerCheck::TooShort) {
        return;
    }
    const std::uint32_t command = state_.currentCommand;
    if (check == AnswerCheck::BadCrc) {
        if (command == 0) {
            return;
        }
        log_.addLine("\r\nCRC Err! [Cmd=" + std::to_string(command) + "]");
        answerState_ = AnswerState::BadCrc;
        emit answerRejected(command);
        if (hasFlag(FlagRetry)) {
            state_.count = 0;
            enablePolling();
            return;
        }
        if (command == CmdSysDscpt) {
            setFlag(FlagRetry, true);
            if (descriptorRetried_) {
                // One retry per descriptor request, even when a valid answer of something
                // else came in between and cleared the retry flag.
                state_.count = 0;
                enablePolling();
                return;
            }
            descriptorRetried_ = true;
            setFlag(FlagDescriptor, false);
            log_.addLine("\r\nRetry [Cmd=" + std::to_string(command) + "]");
            retrying_ = true;
            SendCommand(ModeGet, CmdWakeUp);
            SendCommand(ModeGet, CmdSysDscpt);
            retrying_ = false;
            return;
        }
        if (command >= CmdNdEd0A && command <= CmdNdEd1B) {
            setFlag(FlagRetry, true);
            setFlag(FlagEdidBlockError, true);
        }
        return;
    }

    setFlag(FlagRetry, false);
    // Handlers may send further commands, which clear the buffer: hand them a copy.
    const std::string answer(text);
    awaiting_ = false;
    if (command != 0) {
        answerState_ = AnswerState::Handled;
    }
    dispatch(answer);
    enablePolling();
    state_.count = 0;
    state_.currentCommand = 0;
    state_.watchdog = 0;
}

void ProtocolSession::setHandler(std::uint16_t command, Handler handler) {
    if (command < handlers_.size()) {
        handlers_[command] = std::move(handler);
    }
}

void ProtocolSession::dispatch(std::string_view answer) {
    const std::uint32_t command = state_.currentCommand;
    const bool afterGet = state_.lastMode == ModeGet;
    auto call = [&](std::uint32_t cmd) {
        if (cmd < handlers_.size() && handlers_[cmd]) {
            handlers_[cmd](answer);
        }
    };
    switch (command) {
    case CmdSysDscpt: {
        const EdidSelectionLists lists = ParseDeviceDescriptor(devices_.current(), answer);
        setFlag(FlagDescriptor, true);
        call(command);
        emit deviceDescribed(lists);
        break;
    }
    case CmdNdDscpt:
        ParseNodeDescriptor(devices_.current(), answer);
        call(command);
        emit nodeDescribed();
        break;
    case CmdNdEd0A:
    case CmdNdEd0B:
    case CmdNdEd1A:
    case CmdNdEd1B:
    case CmdRxEdMd:
    case CmdComConfig:
        if (afterGet) {
            call(command);
        }
        break;
    case CmdComMsg:
        if (afterGet && answer.size() >= 4 && answer[0] == 'C' && answer[1] == 'H' &&
            answer[3] == ':') {
            const int channel = static_cast<unsigned char>(answer[2]) - 64;
            if (channel >= 1 && channel <= devices_.current().comChannelCount) {
                call(command);
            }
        }
        break;
    default:
        break;
    }
}

void ProtocolSession::pollStatusTick() {
    multiComTimer_.stop();
    for (int i = 0; i < devices_.count && i < kDeviceTableSize; ++i) {
        const DeviceRecord& record = devices_.records[static_cast<std::size_t>(i)];
        if (record.isSerial() && record.inputNodes[0].modePollFlag() && hasFlag(FlagDescriptor)) {
            sendPoll(CmdRxEdMd);
        }
    }
    Enable(multiComTimer_);
}

void ProtocolSession::multiComTick() {
    // After Disconnect the table is empty, but the record of the device that was selected
    // keeps its channel count: without a connection there is no one to poll.
    if (connected_ && devices_.count > 0 && devices_.current().comChannelCount > 0) {
        sendPoll(CmdComMsg);
    }
}

void ProtocolSession::linkLost() {
    log_.addLine("\r\nPort lost.");
    if (connected_) {
        emit connectionLost();
    }
}

} // namespace lvx
