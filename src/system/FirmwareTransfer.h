#pragma once

#include "system/FirmwareImage.h"

#include <cstdint>
#include <functional>
#include <string>

namespace lvx {

class ByteLink;
class ProtocolSession;

// The loader's own read of the port, once per pass of the transfer: what waits is appended to
// `received` (bytes past its 1024 are dropped). When more than 1024 bytes wait, 16 of them are
// read and the rest of the port's receive queue is discarded.
void ServiceLoaderPort(ByteLink& link, std::string& received);

// Sends a firmware image to a device in loader mode, block by block with FW_ADDR and FW_DATA,
// and FW_END at the end; kind 2 checks every 2048-byte page with FW_CHK and the device's
// "$CHK" sum (the page the image ends in too, before FW_END), and sends a page again when
// the sums differ. The frames and their pacing are
// SendCommand's (20 ms after every SET, and 90 or 30 ms more after FW_DATA); the transfer
// adds 100 ms after the first block of each kind-2 page and 50 ms before FW_END.
//
// While it runs the protocol's receive tick is stopped and the transfer reads the port
// itself, once per pass of its loop, into a buffer of its own that each frame empties (as a
// send empties the protocol's); each pass also lets the event loop run. The polls are paused
// by the flow that runs the transfer. A page sent 3
// times more without its sum matching, or 2 s without a "$CHK" answer, ends the transfer;
// so does a port that went away (or a Disconnect).
class FirmwareTransfer {
public:
    enum class Result { Done, PageFailed, NoPageCheck, LinkLost };

    static constexpr int kMaxPageResends = 3;
    static constexpr std::int64_t kPageCheckTimeoutMs = 2000;

    using Clock = std::function<std::int64_t()>; // milliseconds, steadily rising
    using Pump = std::function<void()>;          // runs pending events

    FirmwareTransfer(ProtocolSession& session, const FirmwareImage& image, int kind);

    // The clock for the page-check time limit and the pass's event processing; a monotonic
    // clock and QCoreApplication::processEvents unless a test steps them.
    void setClock(Clock clock) { clock_ = std::move(clock); }
    void setPump(Pump pump) { pump_ = std::move(pump); }

    // Called with the percent shown, whenever it changes (100 at the end).
    std::function<void(int percent)> onProgress;

    Result run();

    // The start address of the page that failed, after PageFailed or NoPageCheck.
    std::uint32_t failedPage() const { return failedPage_; }
    // Pages sent again after a wrong sum, over the whole transfer.
    int resends() const { return totalResends_; }

private:
    enum class State { SendAddress, SendData, PageCheck, Done, Failed };

    bool linkUp() const;
    void progress(int percent);
    void sendSet(std::uint16_t command, const std::vector<std::uint8_t>& payload);
    void sendAddress();
    void sendData1();
    void sendData2();
    void pageCheck();
    void fail(Result result, const std::string& memoLine);
    void finish();

    ProtocolSession& session_;
    const FirmwareImage& image_;
    int kind_;
    Clock clock_;
    Pump pump_;
    ByteLink* link_ = nullptr;
    std::string received_; // what the loader sent since the last frame
    State state_ = State::SendAddress;
    Result result_ = Result::Done;
    std::uint32_t address_ = 0;
    std::uint16_t pageSum_ = 0;
    bool lastPage_ = false; // the page being checked is the one the image ends in
    bool checking_ = false; // FW_CHK went out for this page check
    std::int64_t checkStarted_ = 0;
    int pageResends_ = 0; // of the page being sent
    int totalResends_ = 0;
    std::uint32_t failedPage_ = 0;
    int shown_ = -1;
};

} // namespace lvx
