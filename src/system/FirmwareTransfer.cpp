#include "system/FirmwareTransfer.h"

#include "protocol/ProtocolSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace lvx {

namespace {

constexpr std::size_t kFloodRead = 16;

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(value));
    return text;
}

} // namespace

void ServiceLoaderPort(ByteLink& link, std::string& received) {
    const std::int64_t waiting = link.bytesWaiting();
    if (waiting <= 0) {
        return;
    }
    std::string bytes;
    if (waiting > static_cast<std::int64_t>(kReceiveBufferSize)) {
        bytes = link.read(kFloodRead);
        link.purgeReceive();
    } else {
        bytes = link.read(static_cast<std::size_t>(waiting));
    }
    const std::size_t room = kReceiveBufferSize - std::min(received.size(), kReceiveBufferSize);
    received.append(bytes, 0, std::min(bytes.size(), room));
}

FirmwareTransfer::FirmwareTransfer(ProtocolSession& session, const FirmwareImage& image, int kind)
    : session_(session), image_(image), kind_(kind) {
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    clock_ = [started] { return static_cast<std::int64_t>(started->elapsed()); };
    pump_ = [] { QCoreApplication::processEvents(QEventLoop::AllEvents); };
}

bool FirmwareTransfer::linkUp() const {
    // The session lets go of the link at Disconnect; the link object itself is not touched
    // again once it is no longer the session's.
    return link_ != nullptr && session_.link() == link_ && link_->isOpen();
}

void FirmwareTransfer::progress(int percent) {
    if (percent != shown_) {
        shown_ = percent;
        if (onProgress) {
            onProgress(percent);
        }
    }
}

void FirmwareTransfer::sendSet(std::uint16_t command, const std::vector<std::uint8_t>& payload) {
    received_.clear();
    session_.SendCommand(ModeSet, command, static_cast<std::uint16_t>(payload.size()),
                         payload.empty() ? nullptr : payload.data());
}

FirmwareTransfer::Result FirmwareTransfer::run() {
    link_ = session_.link();
    if (!linkUp()) {
        return Result::LinkLost;
    }
    session_.stopReceiving();
    received_.clear();
    state_ = State::SendAddress;
    address_ = 0;
    pageSum_ = 0;
    while (state_ != State::Done && state_ != State::Failed) {
        if (!linkUp()) {
            fail(Result::LinkLost, "\r\nFirmware update stopped: the port is gone.");
            break;
        }
        ServiceLoaderPort(*link_, received_);
        switch (state_) {
        case State::SendAddress:
            sendAddress();
            break;
        case State::SendData:
            if (kind_ == 1) {
                sendData1();
            } else {
                sendData2();
            }
            break;
        case State::PageCheck:
            pageCheck();
            break;
        case State::Done:
        case State::Failed:
            break;
        }
        pump_();
    }
    return result_;
}

void FirmwareTransfer::sendAddress() {
    sendSet(CmdFwAddr, FirmwareAddressBytes(kind_, address_));
    state_ = State::SendData;
}

void FirmwareTransfer::finish() {
    progress(100);
    if (kind_ == 2) {
        session_.wait(50);
    }
    sendSet(CmdFwEnd, {});
    state_ = State::Done;
    result_ = Result::Done;
}

void FirmwareTransfer::sendData1() {
    sendSet(CmdFwData, image_.block(address_, kLoader1Block));
    address_ += kLoader1Block;
    if (address_ < image_.size()) {
        progress(ProgressPercent(address_, image_.size()));
        state_ = State::SendAddress;
    } else {
        finish();
    }
}

void FirmwareTransfer::sendData2() {
    const std::vector<std::uint8_t> block = image_.block(address_, kLoader2Block);
    sendSet(CmdFwData, block);
    if (address_ % kLoaderPage == 0) {
        session_.wait(100);
    }
    pageSum_ = AddToPageSum(pageSum_, block);
    const bool closesPage = (address_ + kLoader2Block) % kLoaderPage == 0;
    // The page the image ends in is checked too: without a single check answered, a loader
    // that took none of the frames would end as success.
    lastPage_ = !closesPage && address_ + kLoader2Block >= image_.size();
    if (closesPage || lastPage_) {
        state_ = State::PageCheck;
        checking_ = false;
        return;
    }
    address_ += kLoader2Block;
    progress(ProgressPercent(address_, image_.size()));
    state_ = State::SendAddress;
}

void FirmwareTransfer::pageCheck() {
    const std::uint32_t pageEnd = address_ + kLoader2Block;
    const std::uint32_t pageStart = address_ - address_ % kLoaderPage;
    if (!checking_) {
        checking_ = true;
        checkStarted_ = clock_();
    }
    // The text up to a zero byte, as the protocol's receive buffer gives it.
    const PageCheckAnswer answer = ReadPageCheckAnswer(std::string_view(received_.c_str()));
    if (answer.state != PageCheckAnswer::State::Complete) {
        if (clock_() - checkStarted_ >= kPageCheckTimeoutMs) {
            failedPage_ = pageStart;
            fail(Result::NoPageCheck, "\r\nFirmware update stopped: no $CHK answer for page 0x" +
                                          Hex(pageStart) + " in 2 s.");
            return;
        }
        if (answer.state == PageCheckAnswer::State::None) {
            sendSet(CmdFwChk, {});
        } else {
            session_.wait(1); // the rest of the answer is on its way
        }
        return;
    }
    // The device sums its whole page; the part of the last page no block reached is erased.
    std::uint16_t expected = pageSum_;
    for (std::uint32_t at = pageEnd; at < pageStart + kLoaderPage; ++at) {
        expected = static_cast<std::uint16_t>(expected + 0xFF);
    }
    if (answer.sum == PageSumText(expected)) {
        address_ = pageEnd;
        pageResends_ = 0;
        if (lastPage_) {
            finish();
            return;
        }
    } else {
        session_.log().addLine(PageWarningLine(pageEnd, answer.text));
        if (pageResends_ >= kMaxPageResends) {
            failedPage_ = pageStart;
            fail(Result::PageFailed, "\r\nFirmware update stopped: page 0x" + Hex(pageStart) +
                                         " failed its check after " +
                                         std::to_string(kMaxPageResends) + " resends.");
            return;
        }
        ++pageResends_;
        ++totalResends_;
        address_ = pageStart;
    }
    pageSum_ = 0;
    checking_ = false;
    state_ = State::SendAddress;
}

void FirmwareTransfer::fail(Result result, const std::string& memoLine) {
    result_ = result;
    state_ = State::Failed;
    session_.log().addLine(memoLine);
}

} // namespace lvx
