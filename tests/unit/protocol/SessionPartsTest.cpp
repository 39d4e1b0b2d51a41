// The session's pure parts: the answer framer, the pacing of each command and the watchdog on
// a clock the test steps.
#include "protocol/AnswerFramer.h"
#include "protocol/CommandTable.h"
#include "protocol/Crc16.h"
#include "protocol/Hex.h"
#include "protocol/Pacing.h"
#include "protocol/Watchdog.h"

#include <gtest/gtest.h>

#include <string>

using namespace lvx;
using Verdict = AnswerFramer::Verdict;

namespace {

std::string Answer(const std::string& body) {
    return body + Hex4(Crc16(kCrcInit, body)) + "\n";
}

} // namespace

TEST(AnswerFramer, JudgesALineOnceItsLineFeedArrives) {
    AnswerFramer framer;
    const std::string answer = Answer("05\x0C");
    EXPECT_EQ(framer.feed(answer.substr(0, 4)), Verdict::NeedMore);
    EXPECT_TRUE(framer.partial());
    EXPECT_EQ(framer.feed(answer.substr(4)), Verdict::Answer);
    EXPECT_FALSE(framer.partial());
    EXPECT_EQ(framer.text(), answer);

    // A wrong CRC is judged when its line feed comes, and not again without new bytes.
    AnswerFramer bad;
    std::string wrong = answer;
    wrong[wrong.size() - 2] ^= 1;
    EXPECT_EQ(bad.feed(wrong), Verdict::BadCrc);
    EXPECT_EQ(bad.feed(""), Verdict::NeedMore);
}

TEST(AnswerFramer, ShortLinesStayAndLaterBytesAreAppended) {
    AnswerFramer framer;
    EXPECT_EQ(framer.feed("\r\n"), Verdict::NeedMore);
    EXPECT_EQ(framer.size(), 2u);
    EXPECT_FALSE(framer.partial());
    // "\r\n" ahead of a valid answer makes one text whose CRC fails.
    EXPECT_EQ(framer.feed(Answer("05\x0C")), Verdict::BadCrc);

    // Taken: later bytes start over, while the stored bytes stay readable until cleared.
    framer.take();
    EXPECT_EQ(framer.size(), 0u);
    EXPECT_EQ(framer.stored().substr(0, 2), "\r\n");
    EXPECT_EQ(framer.feed(Answer("07\x0C")), Verdict::Answer);
    framer.clear();
    EXPECT_EQ(framer.stored(), std::string(kReceiveBufferSize, '\0'));
}

TEST(AnswerFramer, HoldsAtMost1024BytesAndTextEndsAtAZero) {
    AnswerFramer framer;
    EXPECT_EQ(framer.feed(std::string(1023, 'y')), Verdict::NeedMore);
    EXPECT_TRUE(framer.partial());
    EXPECT_EQ(framer.feed("zz"), Verdict::NeedMore); // one byte fits, the second is dropped
    EXPECT_EQ(framer.size(), 1024u);
    EXPECT_EQ(framer.text().back(), 'z');
    EXPECT_FALSE(framer.partial()); // a full buffer waits for nothing more
    EXPECT_EQ(framer.feed("\n"), Verdict::NeedMore);
    EXPECT_EQ(framer.size(), 1024u);

    AnswerFramer zero;
    zero.feed(std::string("ab\0cd", 5));
    EXPECT_EQ(zero.size(), 5u);
    EXPECT_EQ(zero.text(), "ab");
}

TEST(Pacing, WaitsOfEachCommand) {
    struct Case {
        std::uint8_t mode;
        std::uint16_t command;
        std::uint8_t loader;
        std::uint32_t selector;
        int wakeUp, frame, extra;
    };
    const Case cases[] = {
        {ModeGet, CmdSysDscpt, 0, 0, 0, 60, 0},
        {ModeGet, CmdWakeUp, 0, 0, 0, 200, 0},
        {ModeGet, CmdEntrance, 0, 0, 150, 60, 0},
        {ModeSet, CmdSysStr, 0, 0, 0, 20, 0},
        {ModeSet, CmdSysDef, 0, 0, 0, 20, 500},
        // ND_SEL: a user EDID node (class 2 in the top four bits) takes longer.
        {ModeSet, CmdNdSel, 0, 0x2000, 0, 20, 100},
        {ModeSet, CmdNdSel, 0, 0x2FFF, 0, 20, 100},
        {ModeSet, CmdNdSel, 0, 0x1FFF, 0, 20, 50},
        {ModeSet, CmdNdSel, 0, 0x3000, 0, 20, 50},
        // FW_DATA by the kind of the loader it goes to.
        {ModeSet, CmdFwData, 0, 0, 0, 20, 0},
        {ModeSet, CmdFwData, 1, 0, 0, 20, 90},
        {ModeSet, CmdFwData, 2, 0, 0, 20, 30},
        {ModeSet, CmdFwData, 3, 0, 0, 20, 0},
        // A GET is paced as a GET, whatever the selector or loader.
        {ModeGet, CmdNdSel, 1, 0x2000, 0, 60, 0},
    };
    for (const Case& c : cases) {
        const CommandPacing p = PacingFor(c.mode, c.command, c.loader, c.selector);
        EXPECT_EQ(p.wakeUp, c.wakeUp) << c.command << " " << c.selector;
        EXPECT_EQ(p.frame, c.frame) << c.command << " " << c.selector;
        EXPECT_EQ(p.extra, c.extra) << c.command << " " << c.selector << " " << int(c.loader);
    }
}

namespace {

struct SteppedWatchdog {
    SteppedWatchdog() : dog([this] { return now; }) {
        dog.onExpired = [this] { ++expired; };
        dog.setConnected(true);
    }
    std::int64_t now = 1000;
    int expired = 0;
    Watchdog dog;
};

} // namespace

TEST(Watchdog, TicksExpireAt250AndOnlyWhileCounting) {
    SteppedWatchdog w;
    for (int i = 0; i < 249; ++i) {
        w.dog.tick();
    }
    EXPECT_EQ(w.expired, 0);
    EXPECT_EQ(w.dog.count(), 249u);
    w.dog.tick();
    EXPECT_EQ(w.expired, 1);
    EXPECT_EQ(w.dog.count(), 0u);

    w.dog.tick();
    w.dog.setPaused(true); // a transfer keeps the count where it is
    for (int i = 0; i < 500; ++i) {
        w.dog.tick();
    }
    EXPECT_EQ(w.dog.count(), 1u);
    w.dog.setPaused(false);
    w.dog.setLoaderMode(true); // a loader, like no connection, holds it at 0
    w.dog.tick();
    EXPECT_EQ(w.dog.count(), 0u);
    w.dog.setLoaderMode(false);
    w.dog.setConnected(false);
    for (int i = 0; i < 500; ++i) {
        w.dog.tick();
    }
    EXPECT_EQ(w.dog.count(), 0u);
    EXPECT_EQ(w.expired, 1);
}

TEST(Watchdog, SleepingTicksAreCountedFromTheClock) {
    SteppedWatchdog w;
    w.dog.sleep();
    w.now += 100 * kReceiveTickMs + 5;
    w.dog.settle();
    EXPECT_EQ(w.dog.count(), 100u);
    w.dog.settle(); // no time passed: nothing more
    EXPECT_EQ(w.dog.count(), 100u);
    // 150 ticks to go, 5 ms of the 101st already slept.
    EXPECT_EQ(w.dog.msUntilExpiry(), 150 * kReceiveTickMs - 5);
    w.now += 150 * kReceiveTickMs - 6;
    w.dog.settle();
    EXPECT_EQ(w.expired, 0);
    EXPECT_EQ(w.dog.count(), 249u);
    w.now += 1;
    EXPECT_EQ(w.dog.msUntilExpiry(), 0);
    w.dog.settle();
    EXPECT_EQ(w.expired, 1);

    // A reset counts from 0; woken, the clock counts no more.
    w.dog.reset();
    w.now += 10 * kReceiveTickMs;
    w.dog.wake();
    EXPECT_EQ(w.dog.count(), 10u);
    w.now += 1000 * kReceiveTickMs;
    w.dog.settle();
    EXPECT_EQ(w.dog.count(), 10u);
    EXPECT_EQ(w.dog.msUntilExpiry(), -1);
}

TEST(Watchdog, ASleepIsCountedUnderTheConditionsItSleptUnder) {
    SteppedWatchdog w;
    w.dog.sleep();
    w.now += 50 * kReceiveTickMs;
    w.dog.setPaused(true); // the 50 ticks before the pause count
    EXPECT_EQ(w.dog.count(), 50u);
    EXPECT_EQ(w.dog.msUntilExpiry(), -1);
    w.now += 10000 * kReceiveTickMs;
    w.dog.setPaused(false); // those under the pause do not
    EXPECT_EQ(w.dog.count(), 50u);
    EXPECT_EQ(w.expired, 0);
    w.now += 200 * kReceiveTickMs;
    w.dog.settle();
    EXPECT_EQ(w.expired, 1);
}
