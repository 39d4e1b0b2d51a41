#pragma once

#include "common/DebugLog.h"
#include "protocol/AnswerFramer.h"
#include "protocol/ByteLink.h"
#include "protocol/CommandTable.h"
#include "protocol/Descriptor.h"
#include "protocol/DeviceRecord.h"
#include "protocol/Watchdog.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <array>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace lvx {

// Bits of the protocol's status word, as hasFlag() reports them.
enum StatusFlag : std::uint32_t {
    FlagIspMode = 0x008,        // the device answered as a loader (the watchdog holds at 0)
    FlagRetry = 0x020,          // a first CRC error of SYS_DSCPT or an EDID block: a second one
                                // in a row gives the exchange up
    FlagTransfer = 0x040,       // a transfer bracket is open (the watchdog pauses)
    FlagDescriptor = 0x080,     // a device descriptor was read (the mode poll may run)
    FlagEdidBlockError = 0x100, // an EDID block answer failed its CRC
};

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

// The serial command protocol on the main thread, one exchange at a time: a request frame
// goes out with its pacing (PacingFor), the bytes of the port go through the AnswerFramer on
// the 12 ms receive tick, and a valid answer goes to the handler registered for the command
// awaited. The link Watchdog counts the ticks without a handled answer. The polls are the
// PollScheduler's, which follows the exchanges through exchangeStarted and exchangeSettled;
// whether a failed answer is asked for again is decided by the caller that sent the command.
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
    // Waits about ms with the event loop running.
    void wait(int ms);

    // Opens an exchange: the polls stop, the receive buffer is emptied, the frame is written
    // in pieces and the pacing waited. When the exchange in flight is a poll's, its answer is
    // first given until kPollAnswerWaitMs after the poll to arrive: otherwise it would be taken
    // for this command's.
    void SendCommand(std::uint8_t mode, std::uint16_t command, std::uint16_t length = 0,
                     const std::uint8_t* data = nullptr);
    void sendGet(std::uint16_t command) { SendCommand(ModeGet, command); }
    void sendSet(std::uint16_t command, const std::vector<std::uint8_t>& payload) {
        SendCommand(ModeSet, command, static_cast<std::uint16_t>(payload.size()), payload.data());
    }
    void sendNodeSelect(std::uint32_t selector);

    // The last command's answer, waited for at most `timeoutMs` while the event loop runs:
    // Handled once its valid answer was handled, BadCrc once it failed its check, Missing when
    // none came in time or the link went away. A flow that needs the answer before it goes on
    // asks here instead of trusting the pacing.
    AnswerState waitForAnswer(int timeoutMs = kAnswerWaitMs);
    AnswerState answerState() const { return exchange_.state; }
    // A command the device answered with a valid answer (the wait above).
    bool answered(int timeoutMs = kAnswerWaitMs) {
        return waitForAnswer(timeoutMs) == AnswerState::Handled;
    }
    // A command went out and its answer has not been handled.
    bool awaitingAnswer() const { return exchange_.awaiting; }

    // The receive side of an open port ("Timer_UART_Rx" enabled). While it is on, the 12 ms
    // tick runs only while something is awaited: a command sent and not yet answered, or part
    // of an answer in the buffer. Otherwise the process sleeps: bytes the port reports are
    // read at once (receiveNow), and the watchdog counts the ticks that would have passed
    // from the time elapsed, with one timer set for the moment it would reach 250.
    void startReceiving();
    void stopReceiving();
    bool receiving() const { return rxEnabled_; }
    // Whether the 12 ms tick runs right now.
    bool ticking() const { return rxTimer_.isActive(); }

    // One receive tick: the watchdog step, the receive step, then the response handler.
    void receiveTick();
    // The receive step and the handler, run when the port reports new bytes.
    void receiveNow();

    // Handlers for answers of commands the protocol core does not parse itself.
    void setHandler(std::uint16_t command, Handler handler);

    // Bytes read from the link so far (benchmarks put them against the line rate).
    std::uint64_t bytesReceived() const { return bytesReceived_; }

    // The exchange and the receive buffer, as they stand.
    std::uint32_t currentCommand() const { return exchange_.command; }
    std::uint8_t lastMode() const { return exchange_.mode; }
    std::size_t bufferedBytes() const { return framer_.size(); }
    // Every byte received since the last send, also those of an answer already handled.
    std::string_view received() const { return framer_.stored(); }
    std::uint32_t watchdogCount() const { return watchdog_.count(); }

    bool hasFlag(std::uint32_t flag) const;
    // Search found a device in its loader mode: the watchdog holds at 0 until Disconnect.
    void setLoaderMode(bool on);
    // The EDID transfer acted on a failed block.
    void clearEdidBlockError() { flags_ &= ~FlagEdidBlockError; }
    // A flow starts or ends an operation: the watchdog counts from 0.
    void resetWatchdog();

    // The watchdog counts only while a connection is up (the Search button is disabled).
    void setConnected(bool connected);
    bool connected() const { return watchdog_.connected(); }
    // Disconnect: the status word is cleared and no answer is awaited any more (the port is
    // closed), so the tick sleeps.
    void endConnection();

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
    // A command is about to go out.
    void exchangeStarted(std::uint16_t command);
    // The exchange of this command is over: its answer was handled or given up (`byAnswer`),
    // or it was a SET or the wake-up and its pacing has passed.
    void exchangeSettled(std::uint16_t command, bool byAnswer);

private:
    friend class PollScheduler;
    friend class TransferBracket;

    // A GET sent by the poll scheduler (an exchange the next command lets finish first).
    void sendPoll(std::uint16_t command);

    // The exchange in flight.
    struct Exchange {
        std::uint32_t command = 0; // awaited; 0 once the answer was handled
        std::uint8_t mode = ModeGet;
        bool awaiting = false; // sent and its answer not yet handled
        bool poll = false;     // sent by the poll scheduler
        AnswerState state = AnswerState::Missing;
        QElapsedTimer sent; // valid for a poll
    };

    void openExchange(std::uint8_t mode, std::uint16_t command, bool poll);
    void writeFrame(std::uint8_t mode, std::uint16_t command,
                    const std::vector<std::string>& pieces);
    void write(std::string_view bytes);
    // Lets the answer of a poll still on its way arrive before another command goes out.
    void finishPollInFlight();

    void receive();
    AnswerFramer::Verdict receiveStep();
    void ResponseHandler(AnswerFramer::Verdict verdict);
    void rejectAnswer();
    void acceptAnswer();
    void dispatch(std::uint32_t command, std::uint8_t mode, std::string_view answer);
    void linkLost();

    // The transfer bracket (see TransferBracket): the watchdog pauses.
    void setTransfer(bool on);

    // Runs the tick while something is awaited, sleeps otherwise.
    void updateTicking();
    bool awaiting() const { return exchange_.awaiting || framer_.partial(); }
    void watchdogDue();

    DeviceTable& devices_;
    DebugLog& log_;
    ByteLink* link_ = nullptr;
    Delay delay_;
    AnswerFramer framer_;
    Exchange exchange_;
    bool sendingPoll_ = false;
    std::uint32_t flags_ = 0; // FlagRetry, FlagDescriptor, FlagEdidBlockError
    std::array<Handler, kCommandCount> handlers_{};
    std::uint64_t bytesReceived_ = 0;
    QElapsedTimer clock_;
    Watchdog watchdog_;
    QTimer rxTimer_;
    bool rxEnabled_ = false;
    QTimer watchdogTimer_; // wakes the sleeping session when the watchdog is due
};

} // namespace lvx
