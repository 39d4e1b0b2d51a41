// Asking a device for its descriptor: one more request after a wake-up when the answer fails
// its check, never a second retry, on an in-memory link.
#include "connection/DescriptorRequest.h"

#include "protocol/Crc16.h"
#include "protocol/Hex.h"
#include "protocol/PollScheduler.h"
#include "support/FakeByteLink.h"
#include "support/QtTestSupport.h"

#include <gtest/gtest.h>

using namespace lvx;
using lvx::test::FakeByteLink;

namespace {

std::string Answer(const std::string& body) {
    return body + Hex4(Crc16(kCrcInit, body)) + "\n";
}

const std::string kDescriptor = Answer("V1\x0CP1\x0CM1\x0C"
                                       "D1\x0Cx\x0C"
                                       "1.0\x0CT\x0C"
                                       "2\x0C"
                                       "1\x0C"
                                       "4\x0C"
                                       "8\x0C"
                                       "2\x0C");

// Each wait runs one receive tick and passes no real time.
class DescriptorRequestTest : public ::testing::Test {
protected:
    DescriptorRequestTest() : session(devices, log), polls(session, devices) {
        session.setLink(&link);
        session.setDelay([this](int) { session.receiveTick(); });
        session.setConnected(true);
        devices.count = 1;
    }

    struct App {
        App() { lvx::test::EnsureApplication(); }
    } app;
    DeviceTable devices;
    DebugLog log;
    FakeByteLink link;
    ProtocolSession session;
    PollScheduler polls;
};

} // namespace

TEST_F(DescriptorRequestTest, DescriptorIsRetriedOnceAfterAWakeUp) {
    int sends = 0;
    link.onWrite = [&](const std::string& w) {
        if (w == "$GET SYS_DSCPT ") {
            ++sends;
        }
        if (w == "FFFF\r\n" && sends > 0) {
            std::string answer = kDescriptor;
            if (sends == 1) {
                answer[answer.size() - 2] ^= 1; // the first answer fails its CRC
            }
            link.incoming += answer;
        }
    };
    EXPECT_EQ(RequestDeviceDescriptor(session), AnswerState::Handled);
    EXPECT_EQ(sends, 2);
    EXPECT_FALSE(session.hasFlag(FlagRetry));
    EXPECT_TRUE(session.hasFlag(FlagDescriptor));
    EXPECT_EQ(devices.current().vid, "V1");
    EXPECT_EQ(devices.current().comChannelCount, 2);
    const std::string& text = log.text();
    EXPECT_NE(text.find("CRC Err! [Cmd=1]"), std::string::npos);
    EXPECT_NE(text.find("Retry [Cmd=1]"), std::string::npos);
    EXPECT_EQ(text.find("Retry", text.find("Retry [Cmd=1]") + 1), std::string::npos);
    // The wake-up went out between the two requests.
    const std::string written = link.written();
    const std::size_t firstGet = written.find("$GET SYS_DSCPT");
    const std::size_t wake = written.find(" \r", firstGet);
    EXPECT_LT(wake, written.find("$GET SYS_DSCPT", firstGet + 1));
}

TEST_F(DescriptorRequestTest, SecondDescriptorCrcErrorGivesUp) {
    link.onWrite = [&](const std::string& w) {
        if (w == "FFFF\r\n") {
            std::string answer = kDescriptor;
            answer[answer.size() - 2] ^= 1;
            link.incoming += answer;
        }
    };
    EXPECT_EQ(RequestDeviceDescriptor(session), AnswerState::BadCrc);
    EXPECT_TRUE(session.hasFlag(FlagRetry));
    EXPECT_FALSE(session.hasFlag(FlagDescriptor));
    EXPECT_EQ(session.bufferedBytes(), 0u);
    EXPECT_EQ(session.currentCommand(), CmdSysDscpt);
    EXPECT_TRUE(polls.statusPollArmed());
    EXPECT_TRUE(polls.channelPollArmed());
}

TEST_F(DescriptorRequestTest, DescriptorRetryIsSpentOncePerRequest) {
    // A device that answers every wake-up with a valid line and every descriptor request
    // with a bad CRC: the valid line in between must not buy another retry.
    int descriptorRequests = 0;
    link.onWrite = [&](const std::string& w) {
        if (w == " \r") {
            link.incoming += Answer("OK");
        } else if (w == "FFFF\r\n" && descriptorRequests < 50) {
            ++descriptorRequests;
            std::string answer = kDescriptor;
            answer[answer.size() - 2] ^= 1;
            link.incoming += answer;
        }
    };
    EXPECT_EQ(RequestDeviceDescriptor(session), AnswerState::BadCrc);
    EXPECT_EQ(descriptorRequests, 2);
    EXPECT_TRUE(session.hasFlag(FlagRetry));
    EXPECT_FALSE(session.hasFlag(FlagDescriptor));
    const std::string& text = log.text();
    const std::size_t retry = text.find("Retry [Cmd=1]");
    ASSERT_NE(retry, std::string::npos);
    EXPECT_EQ(text.find("Retry", retry + 1), std::string::npos);
}
