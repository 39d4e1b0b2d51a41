#include "protocol/ProtocolSession.h"
#include "protocol/Crc16.h"
#include "protocol/Hex.h"
#include "protocol/PollScheduler.h"
#include "protocol/TransferBracket.h"
#include "support/FakeByteLink.h"
#include "support/QtTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

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
const std::string kNode = Answer("1\x0C"
                                 "0\x0C"
                                 "0\x0CT\x0CT\x0C"
                                 "F\x0CT\x0C"
                                 "F\x0C");

// A session on an in-memory link. Waits do not pass real time: each one records its length
// and runs one receive tick, so answers that wait in the link are taken during the wait, as
// the 12 ms tick does during a real wait.
class SessionTest : public ::testing::Test {
protected:
    SessionTest() : session(devices, log), polls(session, devices) {
        session.setLink(&link);
        session.setDelay([this](int ms) {
            waits.push_back(ms);
            if (tickDuringWaits) {
                session.receiveTick();
            }
        });
        session.setConnected(true);
        devices.count = 1;
    }

    // Bytes that arrive and the ticks that read them.
    void arrive(const std::string& bytes) {
        link.incoming += bytes;
        session.receiveTick();
    }

    int handled(std::uint16_t command) const {
        return calls.count(command) ? calls.at(command) : 0;
    }
    void countCalls(std::uint16_t command) {
        session.setHandler(command, [this, command](std::string_view answer) {
            ++calls[command];
            lastAnswer = std::string(answer);
        });
    }

    // The event loop exists before the session's timers do.
    struct App {
        App() { lvx::test::EnsureApplication(); }
    } app;
    DeviceTable devices;
    DebugLog log;
    FakeByteLink link;
    ProtocolSession session;
    PollScheduler polls;
    std::vector<int> waits;
    bool tickDuringWaits = false;
    std::map<std::uint16_t, int> calls;
    std::string lastAnswer;
};

} // namespace

TEST_F(SessionTest, SendCommandWritesHeaderPairsTrailerAndPaces) {
    const std::uint8_t def = 0x55;
    session.SendCommand(ModeSet, CmdSysDef, 1, &def);
    EXPECT_EQ(link.writes, (std::vector<std::string>{"$SET SYS_DEF ", "55", "5E8C\r\n"}));
    EXPECT_EQ(waits, (std::vector<int>{20, 500}));
    EXPECT_TRUE(polls.statusPollArmed());
    EXPECT_TRUE(polls.channelPollArmed());
    EXPECT_EQ(session.lastMode(), ModeSet);
    EXPECT_EQ(session.currentCommand(), CmdSysDef);

    link.writes.clear();
    waits.clear();
    session.SendCommand(ModeGet, CmdSysDscpt, 64, nullptr);
    EXPECT_EQ(link.writes, (std::vector<std::string>{"$GET SYS_DSCPT ", "FFFF\r\n"}));
    EXPECT_EQ(waits, (std::vector<int>{60}));
    // After a GET the polls wait for the answer.
    EXPECT_FALSE(polls.statusPollArmed());
    EXPECT_FALSE(polls.channelPollArmed());
}

TEST_F(SessionTest, PacingOfNodeSelectFirmwareDataEntranceAndWakeUp) {
    session.sendNodeSelect(0x2001);
    EXPECT_EQ(link.written(), "$SET ND_SEL 2001" + Hex4(Crc16(kCrcInit, "2001")) + "\r\n");
    EXPECT_EQ(link.writes[1], "20");
    EXPECT_EQ(link.writes[2], "01");
    EXPECT_EQ(waits, (std::vector<int>{20, 100}));
    EXPECT_EQ(devices.current().nodeSelector, 0x2001u);
    waits.clear();
    session.sendNodeSelect(0x1000);
    EXPECT_EQ(waits, (std::vector<int>{20, 50}));

    const std::uint8_t data[2] = {1, 2};
    for (auto [kind, extra] : {std::pair{0, -1}, std::pair{1, 90}, std::pair{2, 30}}) {
        waits.clear();
        devices.current().ispKind = static_cast<std::uint8_t>(kind);
        session.SendCommand(ModeSet, CmdFwData, 2, data);
        EXPECT_EQ(waits.front(), 20);
        if (extra < 0) {
            EXPECT_EQ(waits.size(), 1u);
        } else {
            EXPECT_EQ(waits, (std::vector<int>{20, extra}));
        }
    }

    link.writes.clear();
    waits.clear();
    session.SendCommand(ModeGet, CmdEntrance);
    EXPECT_EQ(link.writes, (std::vector<std::string>{" \r", "$ENTRANCE ", "FFFF\r\n"}));
    EXPECT_EQ(waits, (std::vector<int>{150, 60}));
    EXPECT_FALSE(polls.statusPollArmed());
    EXPECT_FALSE(polls.channelPollArmed());

    link.writes.clear();
    waits.clear();
    session.SendCommand(ModeGet, CmdWakeUp);
    EXPECT_EQ(link.writes, (std::vector<std::string>{" \r"}));
    EXPECT_EQ(waits, (std::vector<int>{200}));
    EXPECT_TRUE(polls.statusPollArmed());
    EXPECT_TRUE(polls.channelPollArmed());
}

TEST_F(SessionTest, AFlowLearnsWhatBecameOfTheAnswerItNeeds) {
    session.startReceiving();
    tickDuringWaits = true;
    // Answered within the pacing.
    link.onWrite = [this](const std::string& bytes) {
        if (bytes.find("\r\n") != std::string::npos) {
            link.incoming += Answer("OK");
        }
    };
    session.sendSet(CmdSysStr, {'A'});
    EXPECT_EQ(session.waitForAnswer(50), AnswerState::Handled);
    EXPECT_TRUE(session.answered(50));

    // Its answer failed the check.
    link.onWrite = [this](const std::string& bytes) {
        if (bytes.find("\r\n") != std::string::npos) {
            link.incoming += "OK0000\n";
        }
    };
    session.sendSet(CmdSysStr, {'B'});
    EXPECT_EQ(session.waitForAnswer(50), AnswerState::BadCrc);

    // No answer at all: the wait ends after its time, and at once when the link is gone.
    link.onWrite = nullptr;
    session.sendSet(CmdSysStr, {'C'});
    EXPECT_EQ(session.waitForAnswer(30), AnswerState::Missing);
    link.close();
    EXPECT_EQ(session.waitForAnswer(60000), AnswerState::Missing);
}

TEST_F(SessionTest, ComMsgLeavesTheStatusPollAsItWas) {
    session.SendCommand(ModeGet, CmdRxEdMd); // a GET stops both polls
    ASSERT_FALSE(polls.statusPollArmed());
    session.SendCommand(ModeGet, CmdComMsg);
    EXPECT_FALSE(polls.statusPollArmed());
    session.sendSet(CmdSysStr, {'A'}); // a SET's pacing over: both run
    ASSERT_TRUE(polls.statusPollArmed());
    session.SendCommand(ModeGet, CmdComMsg);
    EXPECT_TRUE(polls.statusPollArmed());
    EXPECT_FALSE(polls.channelPollArmed());
}

TEST_F(SessionTest, AnswerSplitOverTicksIsHandledOnceAfterItsLineFeed) {
    countCalls(CmdRxEdMd);
    session.SendCommand(ModeGet, CmdRxEdMd);
    const std::string answer = Answer("05\x0C");
    arrive(answer.substr(0, 3));
    arrive(answer.substr(3, 2));
    EXPECT_EQ(handled(CmdRxEdMd), 0);
    arrive(answer.substr(5));
    EXPECT_EQ(handled(CmdRxEdMd), 1);
    EXPECT_EQ(lastAnswer, answer);
    EXPECT_EQ(session.bufferedBytes(), 0u);
    EXPECT_EQ(session.currentCommand(), 0u);
    EXPECT_TRUE(polls.statusPollArmed());
    session.receiveTick();
    EXPECT_EQ(handled(CmdRxEdMd), 1);
}

TEST_F(SessionTest, SecondAnswerIncompleteWaitsForALaterLineFeed) {
    countCalls(CmdRxEdMd);
    session.SendCommand(ModeGet, CmdRxEdMd);
    const std::string first = Answer("05\x0C");
    const std::string second = Answer("07\x0C");
    arrive(first + second.substr(0, 4));
    EXPECT_EQ(log.text().find("CRC Err!"), std::string::npos); // nothing judged yet
    EXPECT_EQ(handled(CmdRxEdMd), 0);
    arrive(second.substr(4));
    // Both answers form one text, whose CRC then fails.
    EXPECT_EQ(handled(CmdRxEdMd), 0);
    EXPECT_NE(log.text().find("CRC Err! [Cmd=12]"), std::string::npos);
}

TEST_F(SessionTest, ShortTextIsKeptAndLaterBytesAppended) {
    countCalls(CmdRxEdMd);
    session.SendCommand(ModeGet, CmdRxEdMd);
    arrive("\r\n");
    EXPECT_EQ(session.bufferedBytes(), 2u);
    EXPECT_EQ(handled(CmdRxEdMd), 0);
    arrive(Answer("05\x0C"));
    EXPECT_EQ(handled(CmdRxEdMd), 0); // "\r\n" + the answer: a CRC error
    EXPECT_NE(log.text().find("CRC Err! [Cmd=12]"), std::string::npos);
}

TEST_F(SessionTest, RejectedAnswerIsJudgedOnce) {
    devices.current().comChannelCount = 3;
    session.SendCommand(ModeGet, CmdComMsg);
    std::string answer = Answer("CHA:hi\x0C");
    answer[answer.size() - 2] ^= 1;
    arrive(answer);
    for (int i = 0; i < 20; ++i) {
        session.receiveTick();
    }
    const std::string& text = log.text();
    const std::size_t first = text.find("CRC Err! [Cmd=17]");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(text.find("CRC Err!", first + 1), std::string::npos);
}

TEST_F(SessionTest, OneBadEdidBlockIsOneErrorNotTwo) {
    session.SendCommand(ModeGet, CmdNdEd0A);
    std::string block = Answer(std::string(128, 'A'));
    block[block.size() - 2] ^= 1;
    arrive(block);
    EXPECT_TRUE(session.hasFlag(FlagEdidBlockError));
    EXPECT_TRUE(session.hasFlag(FlagRetry));
    // 12 ms later the same answer must not count as the second error that gives up the
    // read and turns the polls back on in the middle of the transfer.
    session.receiveTick();
    session.receiveTick();
    EXPECT_FALSE(polls.statusPollArmed());
    EXPECT_FALSE(polls.channelPollArmed());
    EXPECT_EQ(session.currentCommand(), CmdNdEd0A);
    EXPECT_GT(session.bufferedBytes(), 0u);
}

TEST_F(SessionTest, CrcErrorOnChannelPollIsOnlyLogged) {
    devices.current().comChannelCount = 3;
    countCalls(CmdComMsg);
    session.SendCommand(ModeGet, CmdComMsg);
    std::string answer = Answer("CHA:hi\x0C");
    answer[answer.size() - 2] ^= 1;
    arrive(answer);
    EXPECT_EQ(handled(CmdComMsg), 0);
    EXPECT_FALSE(session.hasFlag(FlagRetry));
    EXPECT_FALSE(polls.channelPollArmed());
    EXPECT_EQ(session.currentCommand(), CmdComMsg);
    EXPECT_NE(log.text().find("\r\nCRC Err! [Cmd=17]"), std::string::npos);
}

TEST_F(SessionTest, EdidBlockAnswersAreDecodedOnlyAfterAGet) {
    countCalls(CmdNdEd0A);
    const std::string block = Answer(std::string(128, 'A'));
    const std::uint8_t payload[64] = {};
    session.SendCommand(ModeSet, CmdNdEd0A, 64, payload);
    arrive(block);
    EXPECT_EQ(handled(CmdNdEd0A), 0);
    session.SendCommand(ModeGet, CmdNdEd0A);
    arrive(block);
    EXPECT_EQ(handled(CmdNdEd0A), 1);

    // A failed block raises the block-error flag for the transfer to repeat it.
    session.SendCommand(ModeGet, CmdNdEd1B);
    std::string bad = block;
    bad[0] = 'B';
    arrive(bad);
    EXPECT_TRUE(session.hasFlag(FlagEdidBlockError));
    EXPECT_TRUE(session.hasFlag(FlagRetry));
}

TEST_F(SessionTest, ChannelAnswersReachTheirHandlerOnlyForExistingChannels) {
    countCalls(CmdComMsg);
    devices.current().comChannelCount = 2;
    for (const char* body : {"CHC:x\x0C", "CH@:x\x0C", "XXA:x\x0C", "CHB-x\x0C", "CHB:x\x0C"}) {
        session.SendCommand(ModeGet, CmdComMsg);
        arrive(Answer(body));
    }
    EXPECT_EQ(handled(CmdComMsg), 1);
    EXPECT_EQ(lastAnswer.substr(0, 4), "CHB:");
}

TEST_F(SessionTest, WatchdogEndsASilentConnectionAfter250Ticks) {
    int lost = 0;
    QObject::connect(&session, &ProtocolSession::connectionLost, [&] { ++lost; });
    for (int i = 0; i < 249; ++i) {
        session.receiveTick();
    }
    EXPECT_EQ(lost, 0);
    session.receiveTick();
    EXPECT_EQ(lost, 1);
    EXPECT_EQ(session.watchdogCount(), 0u);

    // A handled answer starts the count again.
    for (int i = 0; i < 200; ++i) {
        session.receiveTick();
    }
    session.SendCommand(ModeGet, CmdRxEdMd);
    arrive(Answer("01\x0C"));
    for (int i = 0; i < 200; ++i) {
        session.receiveTick();
    }
    EXPECT_EQ(lost, 1);

    // A transfer pauses it; so does the loader mode and having no connection.
    {
        const TransferBracket transfer(session, true, TransferBracket::Tell::Nobody);
        EXPECT_TRUE(session.hasFlag(FlagTransfer));
        for (int i = 0; i < 1000; ++i) {
            session.receiveTick();
        }
        EXPECT_EQ(lost, 1);
    }
    EXPECT_FALSE(session.hasFlag(FlagTransfer));
    session.setLoaderMode(true);
    for (int i = 0; i < 1000; ++i) {
        session.receiveTick();
    }
    EXPECT_EQ(session.watchdogCount(), 0u);
    session.setLoaderMode(false);
    session.setConnected(false);
    for (int i = 0; i < 1000; ++i) {
        session.receiveTick();
    }
    EXPECT_EQ(lost, 1);
}

TEST_F(SessionTest, FloodIsPurgedAndTheBufferStaysBounded) {
    session.SendCommand(ModeGet, CmdRxEdMd);
    link.incoming = std::string(1025, 'x');
    session.receiveTick();
    EXPECT_EQ(link.purges, 1);
    EXPECT_EQ(session.bufferedBytes(), 0u);
    for (int i = 0; i < 5; ++i) {
        arrive(std::string(1000, 'y'));
    }
    EXPECT_EQ(session.bufferedBytes(), 1024u);
    EXPECT_EQ(link.purges, 1);
}

TEST_F(SessionTest, LostLinkEndsTheConnection) {
    int lost = 0;
    QObject::connect(&session, &ProtocolSession::connectionLost, [&] { ++lost; });
    link.vanish();
    EXPECT_EQ(lost, 1);
    session.setConnected(false);
    link.reopen();
    link.vanish();
    EXPECT_EQ(lost, 1);
}

TEST_F(SessionTest, StatusPollAsksSerialDevicesThatWantIt) {
    devices.count = 2;
    devices.records[0].linkKind = LinkKind::Serial;
    devices.records[0].inputNodes[0].bytes[7] = 1;
    devices.records[1].linkKind = LinkKind::Network;
    devices.records[1].inputNodes[0].bytes[7] = 1;
    polls.pollStatus();
    EXPECT_TRUE(link.writes.empty()); // not before a descriptor was read
    session.SendCommand(ModeGet, CmdSysDscpt);
    arrive(kDescriptor);
    ASSERT_TRUE(session.hasFlag(FlagDescriptor));
    devices.current().comChannelCount = 0;
    link.writes.clear();
    polls.pollStatus();
    EXPECT_EQ(link.written(), "$GET RXEDMD FFFF\r\n");
    EXPECT_TRUE(polls.channelPollArmed());

    link.writes.clear();
    polls.pollChannels();
    EXPECT_TRUE(link.writes.empty());
    devices.current().comChannelCount = 1;
    polls.pollChannels();
    EXPECT_EQ(link.written(), "$GET COM_MSG FFFF\r\n");
}

TEST_F(SessionTest, APollAnswerOnItsWayIsNotTakenForTheNextCommandsAnswer) {
    devices.current().comChannelCount = 1;
    countCalls(CmdComMsg);
    countCalls(CmdSysDscpt);
    polls.pollChannels(); // GET COM_MSG; its answer has not come within the GET's wait
    ASSERT_EQ(link.written(), "$GET COM_MSG FFFF\r\n");
    link.writes.clear();
    waits.clear();

    // The channel answer arrives while the next command is about to go out: it reaches the
    // channel's handler, and the command goes out after it.
    tickDuringWaits = true;
    link.incoming += Answer("CHA:text\x0C");
    session.SendCommand(ModeGet, CmdSysDscpt);
    EXPECT_EQ(handled(CmdComMsg), 1);
    EXPECT_EQ(lastAnswer, Answer("CHA:text\x0C"));
    EXPECT_EQ(link.written(), "$GET SYS_DSCPT FFFF\r\n");
    ASSERT_GE(waits.size(), 2u);
    EXPECT_EQ(waits.front(), 5);
    EXPECT_EQ(waits.back(), 60);

    // The descriptor's own answer is the descriptor's.
    arrive(kDescriptor);
    EXPECT_EQ(handled(CmdSysDscpt), 1);
    EXPECT_EQ(handled(CmdComMsg), 1);
}

TEST_F(SessionTest, ALostPollAnswerHoldsTheNextCommandBackAtMostItsWait) {
    devices.current().comChannelCount = 1;
    polls.pollChannels();
    waits.clear();
    tickDuringWaits = true; // nothing arrives
    session.SendCommand(ModeGet, CmdSysDscpt);
    int held = 0;
    for (std::size_t i = 0; i + 1 < waits.size(); ++i) {
        held += waits[i];
    }
    EXPECT_LE(held, kPollAnswerWaitMs);
    EXPECT_GE(held, kPollAnswerWaitMs - 20); // no real time passes in this test's waits
    EXPECT_EQ(waits.back(), 60);

    // Once its moment has passed, a lost poll answer holds nothing back.
    polls.pollChannels();
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollAnswerWaitMs + 10));
    waits.clear();
    session.SendCommand(ModeGet, CmdSysDscpt);
    EXPECT_EQ(waits, std::vector<int>{60});
    // A command that is no poll's holds nothing back either.
    waits.clear();
    session.SendCommand(ModeGet, CmdRxEdMd);
    EXPECT_EQ(waits, std::vector<int>{60});
}

TEST_F(SessionTest, AnswersDoNotPushBackTheModePoll) {
    devices.current().comChannelCount = 1;
    session.sendSet(CmdSysStr, {'A'}); // the SET's pacing over: the mode poll counts down
    // Coarse timers may move their deadline by 5 % (125 ms here): wait well past that.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    session.SendCommand(ModeGet, CmdComMsg); // a channel poll leaves the mode poll running
    arrive(Answer("CHA:x\x0C"));
    ASSERT_TRUE(polls.statusPollArmed());
    EXPECT_LE(polls.statusPollDueMs(), kPollStatusMs - 150);
}

namespace {

// A session in real time on an in-memory link whose device answers every GET RXEDMD at once.
class SleepingSession : public ::testing::Test {
protected:
    SleepingSession() : session(devices, log), polls(session, devices) {
        lvx::test::EnsureApplication();
        devices.count = 1;
        link.onWrite = [this](const std::string& w) {
            if (w == "FFFF\r\n" && answers) {
                link.incoming += Answer("01\x0C");
                if (link.onArrival) {
                    link.onArrival(); // as QSerialPort's readyRead reports new bytes
                }
            }
        };
        session.setLink(&link);
        session.startReceiving();
        session.setConnected(true);
        QObject::connect(&session, &ProtocolSession::connectionLost, [this] {
            ++lost;
            lostAfterMs = clock.elapsed();
        });
    }

    DeviceTable devices;
    DebugLog log;
    FakeByteLink link;
    ProtocolSession session;
    PollScheduler polls;
    bool answers = true;
    int lost = 0;
    qint64 lostAfterMs = -1;
    QElapsedTimer clock;
};

TEST_F(SleepingSession, TickRunsOnlyWhileAnAnswerIsAwaited) {
    answers = false;
    session.SendCommand(ModeGet, CmdRxEdMd);
    EXPECT_TRUE(session.ticking());
    link.incoming += Answer("01\x0C");
    lvx::test::WaitUntil([&] { return !session.ticking(); }, 500);
    EXPECT_FALSE(session.ticking());
    EXPECT_EQ(session.currentCommand(), 0u);

    // Part of an answer keeps it ticking until the line feed is there.
    answers = true;
    session.SendCommand(ModeGet, CmdRxEdMd);
    EXPECT_FALSE(session.ticking());
    link.incoming += "0";
    session.receiveNow();
    EXPECT_TRUE(session.ticking());
    link.incoming += Answer("1\x0C"); // completes the line (with a wrong CRC): judged once
    session.receiveNow();
    EXPECT_FALSE(session.ticking());
}

TEST_F(SleepingSession, WatchdogStillEndsASilentConnectionAfterThreeSeconds) {
    session.SendCommand(ModeGet, CmdRxEdMd);
    ASSERT_FALSE(session.ticking());
    clock.start();
    PumpDelay(2500);
    EXPECT_EQ(lost, 0);
    lvx::test::WaitUntil([&] { return lost > 0; }, 2500);
    ASSERT_EQ(lost, 1);
    // 250 ticks of 12 ms after the answer: generous bounds, the benchmark measures it.
    EXPECT_GE(lostAfterMs, 2800);
    EXPECT_LE(lostAfterMs, 4500);
}

TEST_F(SleepingSession, SleepingTicksCountForTheWatchdogUnlessATransferRuns) {
    session.SendCommand(ModeGet, CmdRxEdMd);
    PumpDelay(600);
    link.incoming += "x"; // bytes without an answer: read at once, the count goes on
    session.receiveNow();
    EXPECT_GE(session.watchdogCount(), 40u);
    EXPECT_LT(session.watchdogCount(), 250u);

    const TransferBracket transfer(session, true, TransferBracket::Tell::Nobody);
    const std::uint32_t paused = session.watchdogCount();
    session.SendCommand(ModeGet, CmdRxEdMd);
    const std::uint32_t afterAnswer = session.watchdogCount();
    EXPECT_LE(afterAnswer, paused);
    PumpDelay(3500);
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(session.watchdogCount(), afterAnswer);
}

} // namespace
