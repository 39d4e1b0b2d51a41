#include "protocol/PollScheduler.h"

#include "protocol/ProtocolSession.h"

namespace lvx {

namespace {

void Enable(QTimer& timer) {
    if (!timer.isActive()) {
        timer.start();
    }
}

} // namespace

PollScheduler::PollScheduler(ProtocolSession& session, const DeviceTable& devices, QObject* parent)
    : QObject(parent), session_(session), devices_(devices) {
    // Children, so that the window owning the connection finds them by name.
    status_.setParent(this);
    channels_.setParent(this);
    status_.setObjectName(QStringLiteral("Timer_Poll_Status"));
    status_.setInterval(kPollStatusMs);
    channels_.setObjectName(QStringLiteral("Timer_MultiCom_Polling"));
    channels_.setInterval(kMultiComPollMs);
    connect(&status_, &QTimer::timeout, this, &PollScheduler::pollStatus);
    connect(&channels_, &QTimer::timeout, this, &PollScheduler::pollChannels);
    connect(&session_, &ProtocolSession::exchangeStarted, this, &PollScheduler::exchangeStarted);
    connect(&session_, &ProtocolSession::exchangeSettled, this, &PollScheduler::exchangeSettled);
    channels_.start();
}

void PollScheduler::pause() {
    if (leases_++ == 0) {
        status_.stop();
        channels_.stop();
    }
}

void PollScheduler::resume() {
    if (leases_ > 0 && --leases_ == 0) {
        armBoth();
    }
}

void PollScheduler::armBoth() {
    Enable(status_);
    Enable(channels_);
}

void PollScheduler::exchangeStarted(std::uint16_t command) {
    // A channel poll may go out while the mode poll counts down.
    if (command != CmdComMsg) {
        status_.stop();
    }
    channels_.stop();
}

void PollScheduler::exchangeSettled(std::uint16_t command, bool byAnswer) {
    if (paused()) {
        return;
    }
    if (byAnswer || command != CmdComMsg) {
        Enable(status_);
    }
    Enable(channels_);
}

void PollScheduler::pollStatus() {
    channels_.stop();
    for (int i = 0; i < devices_.count && i < kDeviceTableSize && !paused(); ++i) {
        const DeviceRecord& record = devices_.records[static_cast<std::size_t>(i)];
        if (record.isSerial() && record.inputNodes[0].modePollFlag() &&
            session_.hasFlag(FlagDescriptor)) {
            session_.sendPoll(CmdRxEdMd);
        }
    }
    if (!paused()) {
        Enable(channels_);
    }
}

void PollScheduler::pollChannels() {
    // After Disconnect the table is empty, but the record of the device that was selected
    // keeps its channel count: without a connection there is no one to poll.
    if (!paused() && session_.connected() && devices_.count > 0 &&
        devices_.current().comChannelCount > 0) {
        session_.sendPoll(CmdComMsg);
    }
}

} // namespace lvx
