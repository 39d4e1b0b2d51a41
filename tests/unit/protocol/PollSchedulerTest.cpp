// The two polls around the session's exchanges, and held off while a flow holds the link.
#include "protocol/PollScheduler.h"
#include "protocol/Crc16.h"
#include "protocol/Hex.h"
#include "protocol/ProtocolSession.h"
#include "support/FakeByteLink.h"
#include "support/QtTestSupport.h"

#include <gtest/gtest.h>

using namespace lvx;
using lvx::test::FakeByteLink;

namespace {

class PollTest : public ::testing::Test {
protected:
    PollTest() : session(devices, log), polls(session, devices) {
        session.setLink(&link);
        session.setDelay([](int) {});
        session.setConnected(true);
        devices.count = 1;
        devices.current().comChannelCount = 2;
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

TEST_F(PollTest, NoPollRunsWhileALeaseIsHeld) {
    ASSERT_TRUE(polls.channelPollArmed()); // the channel poll runs from the start
    {
        const PollLease flow(polls);
        EXPECT_FALSE(polls.channelPollArmed());
        // The flow's own SETs settle without starting a poll.
        session.sendSet(CmdSysStr, {'A'});
        session.SendCommand(ModeGet, CmdWakeUp);
        EXPECT_FALSE(polls.statusPollArmed());
        EXPECT_FALSE(polls.channelPollArmed());
        // A tick that was already due asks nothing.
        link.writes.clear();
        polls.pollChannels();
        polls.pollStatus();
        EXPECT_TRUE(link.writes.empty());
        { const PollLease nested(polls); }
        EXPECT_FALSE(polls.channelPollArmed()); // the outer lease still holds
    }
    EXPECT_TRUE(polls.statusPollArmed());
    EXPECT_TRUE(polls.channelPollArmed());
    polls.pollChannels();
    EXPECT_EQ(link.written(), "$GET COM_MSG FFFF\r\n");
}

TEST_F(PollTest, AGetStopsBothUntilItsAnswerAndASetOnlyForItsPacing) {
    session.sendSet(CmdSysStr, {'A'});
    EXPECT_TRUE(polls.statusPollArmed());
    EXPECT_TRUE(polls.channelPollArmed());
    session.SendCommand(ModeGet, CmdRxEdMd);
    EXPECT_FALSE(polls.statusPollArmed());
    EXPECT_FALSE(polls.channelPollArmed());
    const std::string body = "01\x0C";
    link.incoming = body + Hex4(Crc16(kCrcInit, body)) + "\n";
    session.receiveTick();
    EXPECT_EQ(session.answerState(), AnswerState::Handled);
    EXPECT_TRUE(polls.statusPollArmed());
    EXPECT_TRUE(polls.channelPollArmed());
}
