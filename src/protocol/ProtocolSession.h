#pragma once

#include "common/DebugLog.h"
#include "protocol/ByteLink.h"
#include "protocol/CommandTable.h"
#include "protocol/Descriptor.h"
#include "protocol/DeviceRecord.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace lvx {

// Bits of the protocol's status word.
enum StatusFlag : std::uint32_t {
    FlagReceiveComplete = 0x001,
    FlagIspMode = 0x008,
    FlagRetry = 0x020,
    FlagTransfer = 0x040,
    FlagDescriptor = 0x080,
    FlagEdidBlockError = 0x100,
};

constexpr std::size_t kReceiveBufferSize = 1024;
constexpr int kWatchdogTicks = 250;
constexpr int kReceiveTickMs = 12;
constexpr int kPollStatusMs = 2500;
constexpr int kMultiComPollMs = 400;
// How long a command waits for the answer of a poll still on its way, counted from the poll.
constexpr int kPollAnswerWaitMs = 150;
// How long a flow waits for the answer of a command it cannot go on without.
constexpr int kAnswerWaitMs = 1000;

// What became of the last command sent.
enum class AnswerState {
    Missing, // not (yet) answered: no answer within the wait, or the link is gone
    Handled, // a valid answer was handled (its handler has run)
    BadCrc,  // its answer failed the CRC check
};

// State shared by the sender and the receiver.
struct ProtocolState {
    std::array<std::uint8_t, kReceiveBufferSize> buffer{};
    std::uint32_t count = 0;
    std::uint32_t currentCommand = 0;
    std::uint8_t lastMode = ModeGet;
    std::uint32_t watchdog = 0;
    std::uint32_t flags = 0;

    // The buffer as text, up to its first zero byte.
    std::string_view text() const;
    bool contains(std::string_view needle) const;
};

// The serial command protocol on the main thread: sends request frames with their pacing,
// reads the port on the 12 ms receive tick, validates answers and hands them to the handler
// registered for their command, retries a failed device descriptor once, runs the link
// watchdog and the two polling timers.
class ProtocolSession : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(std::string_view answer)>;
    using Delay = std::function<void(int ms)>;

    ProtocolSession(DeviceTable& devices, DebugLog& log, QObject* parent = nullptr);
    ~ProtocolSession() override;

    // The link the protocol talks through; may be null (nothing is written then).
    void setLink(ByteLink* link);
    ByteLink* link() const { return link_; }

    // The wait used for pacing; PumpDelay unless a test steps time itself.
    void setDelay(Delay delay) { delay_ = std::move(delay); }
    // Waits with the event loop running. Inside a receive tick (the descriptor retry is sent
    // from the response handler) the tick timer cannot fire again, so the wait runs the
    // receive tick itself every 12 ms.
    void wait(int ms);

    void SendCommand(std::uint8_t mode, std::uint16_t command, std::uint16_t length = 0,
                     const std::uint8_t* data = nullptr);
    void sendGet(std::uint16_t command) { SendCommand(ModeGet, command); }
    void sendSet(std::uint16_t command, const std::vector<std::uint8_t>& payload) {
        SendCommand(ModeSet, command, static_cast<std::uint16_t>(payload.size()), payload.data());
    }
    void sendNodeSelect(std::uint32_t selector);

    // The last command's answer, waited for at most `timeoutMs` while the event loop runs:
    // Handled once its valid answer was handled, BadCrc once it failed its check (after the
    // descriptor's retry), Missing when none came in time or the link went away. A flow
    // that needs the answer before it goes on asks here instead of trusting the pacing.
    AnswerState waitForAnswer(int timeoutMs = kAnswerWaitMs);
    AnswerState answerState() const { return answerState_; }
    // A command the device answered with a valid answer (the wait above).
    bool answered(int timeoutMs = kAnswerWaitMs) {
        return waitForAnswer(timeoutMs) == AnswerState::Handled;
    }

    // The receive side of an open port ("Timer_UART_Rx" enabled). While it is on, the 12 ms
    // tick runs only while something is awaited: a command sent and not yet answered, or part
    // of an answer in the buffer. Otherwise the process sleeps: bytes the port reports are
    // read at once (receiveNow), and the watchdog counts the ticks that would have passed
    // from the time elapsed, with one timer set for the moment it would reach 250.
    void startReceiving();
    void stopReceiving();
    // Disconnect: no answer is awaited any more (the port is closed), so the tick sleeps.
    void forgetAnswer();
    bool receiving() const { return rxEnabled_; }
    // Whether the 12 ms tick runs right now.
    bool ticking() const { return rxTimer_.isActive(); }

    // One receive tick: the watchdog step, the receive step, then the response handler.
    void receiveTick();
    // The receive step and the handler, run when the port reports new bytes.
    void receiveNow();
    void watchdogStep();
    void receiveStep();
    void ResponseHandler();

    // Handlers for answers of commands the protocol core does not parse itself.
    void setHandler(std::uint16_t command, Handler handler);

    // Bytes read from the link so far (benchmarks put them against the line rate).
    std::uint64_t bytesReceived() const { return bytesReceived_; }

    ProtocolState& state() { return state_; }
    const ProtocolState& state() const { return state_; }
    bool hasFlag(std::uint32_t flag) const { return (state_.flags & flag) != 0; }
    void setFlag(std::uint32_t flag, bool on);
    void resetWatchdog();

    // Transfer bracket: pause the watchdog and tell the device a block transfer starts/ends.
    void beginTransfer();
    void endTransfer();

    // The watchdog counts only while a connection is up (the Search button is disabled).
    void setConnected(bool connected);
    bool connected() const { return connected_; }

    QTimer& pollStatusTimer() { return pollStatusTimer_; }
    QTimer& multiComTimer() { return multiComTimer_; }
    void enablePolling();
    void disablePolling();
    // The polling timers' ticks.
    void pollStatusTick();
    void multiComTick();

    DeviceTable& devices() { return devices_; }
    DebugLog& log() { return log_; }

signals:
    // The watchdog saw 3 s without a handled answer, or the port went away.
    void connectionLost();
    // A device descriptor was parsed into the selected record.
    void deviceDescribed(const lvx::EdidSelectionLists& lists);
    void nodeDescribed();
    // Every frame written, as one text (for traces and tests).
    void frameSent(std::uint8_t mode, std::uint16_t command, const std::string& frame);
    // An answer to this command failed its CRC check.
    void answerRejected(std::uint32_t command);

private:
    void write(std::string_view bytes);
    void dispatch(std::string_view answer);
    void linkLost();
    // Runs the tick while something is awaited, sleeps otherwise.
    void updateTicking();
    bool awaiting() const;
    bool watchdogCounts() const;
    // Adds the ticks that passed while the tick timer slept to the watchdog.
    void settleSleep();
    void watchdogDue();
    // Lets the answer of a poll still on its way arrive before another command goes out.
    void awaitPollAnswer();
    void sendPoll(std::uint16_t command);

    DeviceTable& devices_;
    DebugLog& log_;
    ByteLink* link_ = nullptr;
    ProtocolState state_;
    bool connected_ = false;
    Delay delay_;
    int tickDepth_ = 0;
    // The device descriptor request in flight has had its one retry.
    bool descriptorRetried_ = false;
    bool retrying_ = false;
    std::array<Handler, kCommandCount> handlers_{};
    QTimer rxTimer_;
    bool rxEnabled_ = false;
    std::uint64_t bytesReceived_ = 0;
    bool awaiting_ = false; // a command went out and its answer has not been handled
    AnswerState answerState_ = AnswerState::Missing; // of the last command sent
    QElapsedTimer asleep_;        // valid while the tick timer sleeps with the receive side on
    std::int64_t sleptTicks_ = 0; // ticks of this sleep already given to the watchdog
    QTimer watchdogTimer_;
    bool sendingPoll_ = false;
    std::uint16_t pollCommand_ = 0; // the awaited command, when a poll sent it
    QElapsedTimer pollSent_;        // started when pollCommand_ is set
    QTimer pollStatusTimer_;
    QTimer multiComTimer_;
};

} // namespace lvx
