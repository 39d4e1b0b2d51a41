#include "protocol/ProtocolSession.h"

#include "protocol/Frame.h"
#include "protocol/Pacing.h"
#include "protocol/PumpDelay.h"

#include <utility>

namespace lvx {

ProtocolSession::ProtocolSession(DeviceTable& devices, DebugLog& log, QObject* parent)
    : QObject(parent), devices_(devices), log_(log),
      watchdog_([this] { return static_cast<std::int64_t>(clock_.elapsed()); }) {
    clock_.start();
    watchdog_.onExpired = [this] { emit connectionLost(); };
    // A child too, so that the window owning the session finds it by name.
    rxTimer_.setParent(this);
    rxTimer_.setObjectName(QStringLiteral("Timer_UART_Rx"));
    rxTimer_.setInterval(kReceiveTickMs);
    rxTimer_.setTimerType(Qt::PreciseTimer);
    connect(&rxTimer_, &QTimer::timeout, this, &ProtocolSession::receiveTick);
    watchdogTimer_.setParent(this);
    watchdogTimer_.setSingleShot(true);
    watchdogTimer_.setTimerType(Qt::PreciseTimer);
    connect(&watchdogTimer_, &QTimer::timeout, this, &ProtocolSession::watchdogDue);
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

void ProtocolSession::wait(int ms) {
    if (delay_) {
        delay_(ms);
    } else {
        PumpDelay(ms);
    }
}

// ---- Sending

void ProtocolSession::SendCommand(std::uint8_t mode, std::uint16_t command, std::uint16_t length,
                                  const std::uint8_t* data) {
    const bool poll = std::exchange(sendingPoll_, false); // this send only
    finishPollInFlight();
    openExchange(mode, command, poll);
    const DeviceRecord& target = devices_.current();
    const CommandPacing pacing = PacingFor(mode, command, target.ispKind, target.nodeSelector);
    if (command == CmdWakeUp) {
        writeFrame(mode, command, {std::string(kWakeUpText)});
        wait(pacing.frame);
        emit exchangeSettled(command, false);
        return;
    }
    if (pacing.wakeUp > 0) {
        write(kWakeUpText);
        wait(pacing.wakeUp);
    }
    writeFrame(mode, command, BuildFramePieces(mode, command, data, mode == ModeSet ? length : 0));
    wait(pacing.frame);
    if (mode == ModeGet) {
        return; // the answer settles the exchange
    }
    if (pacing.extra > 0) {
        wait(pacing.extra);
    }
    emit exchangeSettled(command, false);
}

void ProtocolSession::openExchange(std::uint8_t mode, std::uint16_t command, bool poll) {
    emit exchangeStarted(command);
    watchdog_.settle();
    framer_.clear();
    exchange_.command = command;
    exchange_.mode = mode;
    // The wake-up gets no answer; every other command does (an "OK" after a SET).
    exchange_.awaiting = command != CmdWakeUp;
    exchange_.poll = poll;
    exchange_.state = AnswerState::Missing;
    if (poll) {
        exchange_.sent.start();
    }
    updateTicking();
}

void ProtocolSession::writeFrame(std::uint8_t mode, std::uint16_t command,
                                 const std::vector<std::string>& pieces) {
    std::string frame;
    for (const std::string& piece : pieces) {
        write(piece);
        frame += piece;
    }
    emit frameSent(mode, command, frame);
}

void ProtocolSession::write(std::string_view bytes) {
    if (link_ && link_->isOpen()) {
        link_->write(bytes);
    }
}

void ProtocolSession::finishPollInFlight() {
    // The poll answers within its pacing wait, so a short wait from the poll is enough.
    if (!exchange_.awaiting || !exchange_.poll || !link_ || !link_->isOpen()) {
        return;
    }
    constexpr int kStepMs = 5;
    std::int64_t left = kPollAnswerWaitMs - exchange_.sent.elapsed();
    while (left > 0 && exchange_.awaiting && exchange_.poll) {
        wait(kStepMs);
        left -= kStepMs;
    }
}

void ProtocolSession::sendNodeSelect(std::uint32_t selector) {
    devices_.current().nodeSelector = selector;
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>((selector >> 8) & 0xFF),
                                   static_cast<std::uint8_t>(selector & 0xFF)};
    SendCommand(ModeSet, CmdNdSel, 2, bytes);
}

void ProtocolSession::sendPoll(std::uint16_t command) {
    sendingPoll_ = true; // taken, and cleared, by this send alone
    SendCommand(ModeGet, command);
}

AnswerState ProtocolSession::waitForAnswer(int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (exchange_.state == AnswerState::Missing && exchange_.awaiting && link_ &&
           link_->isOpen() && clock.elapsed() < timeoutMs) {
        wait(5);
    }
    return exchange_.state;
}

// ---- Receiving

void ProtocolSession::startReceiving() {
    rxEnabled_ = true;
    updateTicking();
}

void ProtocolSession::stopReceiving() {
    rxEnabled_ = false;
    rxTimer_.stop();
    watchdogTimer_.stop();
    watchdog_.wake();
}

void ProtocolSession::receiveTick() {
    watchdog_.settle();
    watchdog_.tick();
    receive();
    updateTicking();
}

void ProtocolSession::receiveNow() {
    // Bytes are read as soon as the port has them, between ticks too.
    if (!rxEnabled_) {
        return;
    }
    watchdog_.settle();
    receive();
    updateTicking();
}

void ProtocolSession::receive() {
    ResponseHandler(receiveStep());
}

AnswerFramer::Verdict ProtocolSession::receiveStep() {
    if (!link_ || !link_->isOpen()) {
        return AnswerFramer::Verdict::NeedMore;
    }
    const std::int64_t waiting = link_->bytesWaiting();
    if (waiting > static_cast<std::int64_t>(kReceiveBufferSize)) {
        link_->purgeReceive();
        return AnswerFramer::Verdict::NeedMore;
    }
    if (waiting <= 0) {
        return AnswerFramer::Verdict::NeedMore;
    }
    const std::string bytes = link_->read(static_cast<std::size_t>(waiting));
    if (!bytes.empty()) {
        bytesReceived_ += bytes.size();
        log_.addLine(bytes);
    }
    return framer_.feed(bytes);
}

void ProtocolSession::ResponseHandler(AnswerFramer::Verdict verdict) {
    switch (verdict) {
    case AnswerFramer::Verdict::NeedMore:
        break;
    case AnswerFramer::Verdict::BadCrc:
        rejectAnswer();
        break;
    case AnswerFramer::Verdict::Answer:
        acceptAnswer();
        break;
    }
}

void ProtocolSession::rejectAnswer() {
    const std::uint32_t command = exchange_.command;
    if (command == 0) {
        return;
    }
    log_.addLine("\r\nCRC Err! [Cmd=" + std::to_string(command) + "]");
    exchange_.state = AnswerState::BadCrc;
    emit answerRejected(command);
    if (hasFlag(FlagRetry)) {
        // The second error in a row: the exchange is given up, the polls go on.
        framer_.take();
        emit exchangeSettled(static_cast<std::uint16_t>(command), true);
        return;
    }
    if (command == CmdSysDscpt) {
        // The descriptor is no longer valid; the caller that asked for it may ask again.
        flags_ = (flags_ | FlagRetry) & ~FlagDescriptor;
    } else if (command >= CmdNdEd0A && command <= CmdNdEd1B) {
        flags_ |= FlagRetry | FlagEdidBlockError;
    }
    // Otherwise nothing more: the watchdog ends a connection whose device stays silent.
}

void ProtocolSession::acceptAnswer() {
    flags_ &= ~FlagRetry;
    const std::uint32_t command = exchange_.command;
    const std::uint8_t mode = exchange_.mode;
    // The exchange is over before the handler runs, which may start the next one.
    const std::string answer(framer_.text());
    framer_.take();
    exchange_.awaiting = false;
    exchange_.command = 0;
    if (command != 0) {
        exchange_.state = AnswerState::Handled;
    }
    watchdog_.reset();
    emit exchangeSettled(static_cast<std::uint16_t>(command), true);
    dispatch(command, mode, answer);
}

void ProtocolSession::setHandler(std::uint16_t command, Handler handler) {
    if (command < handlers_.size()) {
        handlers_[command] = std::move(handler);
    }
}

namespace {

// "CH", the channel's letter ("A" is 1) and ":": the channel number, or 0.
int ChannelOf(std::string_view answer) {
    if (answer.size() >= 4 && answer[0] == 'C' && answer[1] == 'H' && answer[3] == ':') {
        return static_cast<unsigned char>(answer[2]) - 64;
    }
    return 0;
}

} // namespace

void ProtocolSession::dispatch(std::uint32_t command, std::uint8_t mode, std::string_view answer) {
    const bool afterGet = mode == ModeGet;
    auto call = [&] {
        if (command < handlers_.size() && handlers_[command]) {
            handlers_[command](answer);
        }
    };
    switch (command) {
    case CmdSysDscpt: {
        const EdidSelectionLists lists = ParseDeviceDescriptor(devices_.current(), answer);
        flags_ |= FlagDescriptor;
        call();
        emit deviceDescribed(lists);
        break;
    }
    case CmdNdDscpt:
        ParseNodeDescriptor(devices_.current(), answer);
        call();
        emit nodeDescribed();
        break;
    case CmdNdEd0A:
    case CmdNdEd0B:
    case CmdNdEd1A:
    case CmdNdEd1B:
    case CmdRxEdMd:
    case CmdComConfig:
        if (afterGet) {
            call();
        }
        break;
    case CmdComMsg: {
        const int channel = ChannelOf(answer);
        if (afterGet && channel >= 1 && channel <= devices_.current().comChannelCount) {
            call();
        }
        break;
    }
    default:
        break;
    }
}

void ProtocolSession::linkLost() {
    log_.addLine("\r\nPort lost.");
    if (connected()) {
        emit connectionLost();
    }
}

// ---- Status and watchdog

bool ProtocolSession::hasFlag(std::uint32_t flag) const {
    std::uint32_t word = flags_;
    word |= watchdog_.loaderMode() ? std::uint32_t{FlagIspMode} : 0U;
    word |= watchdog_.paused() ? std::uint32_t{FlagTransfer} : 0U;
    return (word & flag) != 0;
}

void ProtocolSession::setLoaderMode(bool on) {
    watchdog_.setLoaderMode(on);
    updateTicking();
}

void ProtocolSession::setTransfer(bool on) {
    watchdog_.setPaused(on);
    updateTicking();
}

void ProtocolSession::resetWatchdog() {
    watchdog_.reset();
    updateTicking();
}

void ProtocolSession::setConnected(bool connected) {
    watchdog_.setConnected(connected);
    updateTicking();
}

void ProtocolSession::endConnection() {
    flags_ = 0;
    watchdog_.setLoaderMode(false);
    watchdog_.setPaused(false);
    exchange_.awaiting = false;
    exchange_.command = 0;
    framer_.take();
    updateTicking();
}

void ProtocolSession::updateTicking() {
    if (!rxEnabled_) {
        return;
    }
    if (awaiting()) {
        watchdogTimer_.stop();
        if (!rxTimer_.isActive()) {
            watchdog_.wake();
            rxTimer_.start();
        }
        return;
    }
    if (!watchdog_.asleep()) {
        rxTimer_.stop();
        watchdog_.sleep();
    }
    // One wake-up, when the watchdog would reach its limit.
    const std::int64_t due = watchdog_.msUntilExpiry();
    if (due >= 0) {
        watchdogTimer_.start(static_cast<int>(due));
    } else {
        watchdogTimer_.stop();
    }
}

void ProtocolSession::watchdogDue() {
    watchdog_.settle();
    updateTicking();
}

} // namespace lvx
