#pragma once

#include "protocol/DeviceRecord.h"

#include <QObject>
#include <QTimer>

#include <cstdint>

namespace lvx {

class ProtocolSession;

constexpr int kPollStatusMs = 2500;
constexpr int kMultiComPollMs = 400;

// The two polls of a connected device: "Timer_Poll_Status" (2.5 s) asks every serial device
// that wants it for its input mode (GET RXEDMD, once a descriptor was read), and
// "Timer_MultiCom_Polling" (400 ms, running from the start) asks the selected device for its
// channel text (GET COM_MSG) while it has channels and a connection is up.
//
// The scheduler follows the session's exchanges: a command going out stops the channel poll
// and, unless it is COM_MSG, the status poll; once the exchange is settled (its answer handled
// or given up, a SET's or the wake-up's pacing over) both run again. Enabling a poll that runs
// already leaves its countdown alone, so that a channel answer every 400 ms does not push the
// mode poll back.
//
// While any lease is held (a flow holds the link) no poll runs, whatever the exchanges do; when
// the last one is returned both run again.
class PollScheduler : public QObject {
    Q_OBJECT
public:
    PollScheduler(ProtocolSession& session, const DeviceTable& devices, QObject* parent = nullptr);

    void pause();
    void resume();
    bool paused() const { return leases_ > 0; }

    bool statusPollArmed() const { return status_.isActive(); }
    bool channelPollArmed() const { return channels_.isActive(); }
    // Milliseconds until the status poll is due; -1 when it does not run.
    int statusPollDueMs() const { return status_.remainingTime(); }

    // What each timer does when it fires.
    void pollStatus();
    void pollChannels();

private:
    void exchangeStarted(std::uint16_t command);
    void exchangeSettled(std::uint16_t command, bool byAnswer);
    void armBoth();

    ProtocolSession& session_;
    const DeviceTable& devices_;
    QTimer status_;
    QTimer channels_;
    int leases_ = 0;
};

// Holds the polls paused for as long as it lives.
class PollLease {
public:
    explicit PollLease(PollScheduler& polls) : polls_(polls) { polls_.pause(); }
    ~PollLease() { polls_.resume(); }
    PollLease(const PollLease&) = delete;
    PollLease& operator=(const PollLease&) = delete;

private:
    PollScheduler& polls_;
};

} // namespace lvx
