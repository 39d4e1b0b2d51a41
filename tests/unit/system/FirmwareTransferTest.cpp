// The firmware transfer on an in-memory loader: frames, pacing, page checks and their limits,
// with a clock that only the waits move.
#include "system/FirmwareTransfer.h"

#include "protocol/PollScheduler.h"
#include "protocol/ProtocolSession.h"
#include "support/FakeLoaderDevice.h"
#include "support/QtTestSupport.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace lvx;
using namespace lvx::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

class TransferTest : public ::testing::Test {
protected:
    TransferTest() : session(devices, log), polls(session, devices), loader(link) {
        EnsureApplication();
        session.setLink(&link);
        session.startReceiving();
        session.setDelay([this](int ms) {
            waits.push_back(ms);
            now += ms;
            if (onWait) {
                onWait(ms);
            }
        });
        devices.count = 1;
    }

    FirmwareTransfer::Result run(const Bytes& file, int kind) {
        image = FirmwareImage(file);
        devices.current().ispKind = static_cast<std::uint8_t>(kind);
        // The lease the update flow holds: none of the transfer's frames may start a poll.
        const PollLease lease(polls);
        FirmwareTransfer transfer(session, image, kind);
        transfer.setClock([this] { return now; });
        transfer.setPump([this] {
            ++passes;
            // Between passes the event loop runs: no poll may be due then.
            pollsQuiet = pollsQuiet && !polls.statusPollArmed() && !polls.channelPollArmed();
            if (onPass) {
                onPass();
            }
        });
        transfer.onProgress = [this](int percent) { progress.push_back(percent); };
        const FirmwareTransfer::Result result = transfer.run();
        resends = transfer.resends();
        failedPage = transfer.failedPage();
        return result;
    }

    static Bytes Counting(std::size_t size) {
        Bytes file(size);
        for (std::size_t i = 0; i < size; ++i) {
            file[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
        }
        return file;
    }

    int warnings() const {
        int n = 0;
        for (std::size_t at = 0; (at = log.text().find("Warnning: ", at)) != std::string::npos;
             ++at) {
            ++n;
        }
        return n;
    }

    DeviceTable devices;
    DebugLog log;
    FakeByteLink link;
    ProtocolSession session;
    PollScheduler polls;
    FakeLoaderDevice loader;
    FirmwareImage image;
    std::vector<int> waits;
    std::vector<int> progress;
    std::int64_t now = 0;
    int passes = 0;
    bool pollsQuiet = true;
    int resends = 0;
    std::uint32_t failedPage = 0;
    std::function<void(int)> onWait;
    std::function<void()> onPass;
    std::string rest; // the part of an answer that is still on its way
};

} // namespace

TEST_F(TransferTest, HundredBytesToLoaderOneAreTwoBlocks) {
    const Bytes file = Counting(100);
    ASSERT_EQ(run(file, 1), FirmwareTransfer::Result::Done);
    EXPECT_EQ(loader.sequence(), (std::vector<std::string>{"FW_ADDR 0", "FW_DATA", "FW_ADDR 40",
                                                           "FW_DATA", "FW_END"}));
    ASSERT_EQ(loader.requests[1].payload.size(), 64u);
    const Bytes& second = loader.requests[3].payload;
    ASSERT_EQ(second.size(), 64u);
    EXPECT_EQ(Bytes(second.begin(), second.begin() + 36), Bytes(file.begin() + 64, file.end()));
    EXPECT_EQ(Bytes(second.begin() + 36, second.end()), Bytes(28, 0xFF));
    EXPECT_EQ(loader.requests[2].payload, (Bytes{0x00, 0x40}));
    EXPECT_EQ(progress, (std::vector<int>{64, 100}));
    // 20 after every SET, 90 more after each FW_DATA; nothing else.
    EXPECT_EQ(waits, (std::vector<int>{20, 20, 90, 20, 20, 90, 20}));
    EXPECT_FALSE(session.receiving());
    EXPECT_FALSE(session.ticking());
    EXPECT_TRUE(pollsQuiet);
}

TEST_F(TransferTest, LoaderOneSendsSixteenBitAddresses) {
    ASSERT_EQ(run(Counting(0x1280), 1), FirmwareTransfer::Result::Done);
    int found = 0;
    for (const auto& r : loader.requests) {
        if (r.name == "FW_ADDR") {
            EXPECT_EQ(r.payload.size(), 2u);
            found += r.payload == Bytes{0x12, 0x40} ? 1 : 0;
        }
    }
    EXPECT_EQ(found, 1);
    EXPECT_EQ(loader.count("FW_DATA"), 0x1280 / 64);
    EXPECT_EQ(loader.count("FW_CHK"), 0);
}

TEST_F(TransferTest, ExactlyOnePageIsCheckedAndFollowedByAnErasedBlock) {
    const Bytes file = Counting(2048);
    ASSERT_EQ(run(file, 2), FirmwareTransfer::Result::Done);
    std::vector<std::string> expected;
    for (int block = 0; block < 16; ++block) {
        char address[32];
        std::snprintf(address, sizeof address, "FW_ADDR %x", block * 128);
        expected.push_back(address);
        expected.push_back("FW_DATA");
    }
    // The page the erased block starts is checked too, before FW_END.
    expected.insert(expected.end(), {"FW_CHK", "FW_ADDR 800", "FW_DATA", "FW_CHK", "FW_END"});
    EXPECT_EQ(loader.sequence(), expected);
    EXPECT_EQ(loader.requests[32 + 1].payload, (Bytes{0x00, 0x00, 0x08, 0x00}));
    EXPECT_EQ(loader.requests[32 + 2].payload, Bytes(128, 0xFF));
    // Pacing: each block 20 + 20 + 30, 100 after the first block of a page (also the one at
    // 2048), 20 after each FW_CHK, 50 before FW_END and its 20.
    const int total = std::accumulate(waits.begin(), waits.end(), 0);
    EXPECT_EQ(total, 17 * 70 + 2 * 100 + 2 * 20 + 50 + 20);
    EXPECT_EQ(std::vector<int>(waits.begin(), waits.begin() + 4),
              (std::vector<int>{20, 20, 30, 100}));
    EXPECT_EQ(std::vector<int>(waits.end() - 2, waits.end()), (std::vector<int>{50, 20}));
}

TEST_F(TransferTest, PartialLastPageIsPaddedAndChecked) {
    const Bytes file = Counting(2100);
    ASSERT_EQ(run(file, 2), FirmwareTransfer::Result::Done);
    // The last page is checked as the device sums it: its unwritten rest erased.
    EXPECT_EQ(loader.count("FW_CHK"), 2);
    EXPECT_EQ(loader.count("FW_DATA"), 17);
    EXPECT_EQ(resends, 0);
    ASSERT_EQ(loader.requests[loader.requests.size() - 2].name, "FW_CHK");
    const auto& last = loader.requests[loader.requests.size() - 3];
    ASSERT_EQ(last.name, "FW_DATA");
    EXPECT_EQ(Bytes(last.payload.begin(), last.payload.begin() + 52),
              Bytes(file.begin() + 2048, file.end()));
    EXPECT_EQ(Bytes(last.payload.begin() + 52, last.payload.end()), Bytes(76, 0xFF));
    EXPECT_EQ(loader.requests.back().name, "FW_END");
    EXPECT_EQ(progress.back(), 100);
    Bytes flashed = file;
    flashed.resize(2176, 0xFF);
    EXPECT_EQ(loader.flash, flashed);
}

TEST_F(TransferTest, SumIsComparedAsFiveDigits) {
    // A first page whose bytes add up to 1234: the device answers "$CHK01234".
    Bytes file(2100, 0);
    file[0] = file[1] = file[2] = file[3] = 255;
    file[4] = 214;
    std::string answered;
    loader.checkAnswer = [&answered](int page, int, const std::string& sum) {
        if (page == 0) {
            answered = sum;
        }
        return sum;
    };
    ASSERT_EQ(run(file, 2), FirmwareTransfer::Result::Done);
    EXPECT_EQ(answered, "01234");
    EXPECT_EQ(resends, 0);
    EXPECT_EQ(warnings(), 0);
}

TEST_F(TransferTest, WrongSumResendsThePageFromItsFirstBlock) {
    loader.checkAnswer = [](int page, int check, const std::string& sum) {
        return page == 1 && check == 1 ? std::string("00001") : sum;
    };
    ASSERT_EQ(run(Counting(3 * 2048), 2), FirmwareTransfer::Result::Done);
    EXPECT_EQ(resends, 1);
    EXPECT_NE(log.text().find("Warnning: Add:1000, Check:00001"), std::string::npos);
    EXPECT_EQ(loader.count("FW_DATA"), 3 * 16 + 16 + 1);
    const std::vector<std::string> seq = loader.sequence();
    EXPECT_EQ(std::count(seq.begin(), seq.end(), "FW_ADDR 800"), 2);
    EXPECT_EQ(std::count(seq.begin(), seq.end(), "FW_ADDR 0"), 1);
    EXPECT_EQ(Bytes(loader.flash.begin(), loader.flash.begin() + 3 * 2048), Counting(3 * 2048));
}

TEST_F(TransferTest, PageThatNeverMatchesStopsAfterThreeResends) {
    loader.checkAnswer = [](int page, int, const std::string& sum) {
        return page == 1 ? std::string("99999") : sum;
    };
    EXPECT_EQ(run(Counting(3 * 2048), 2), FirmwareTransfer::Result::PageFailed);
    EXPECT_EQ(failedPage, 0x800u);
    EXPECT_EQ(resends, 3);
    EXPECT_EQ(warnings(), 4);
    EXPECT_EQ(loader.count("FW_CHK"), 1 + 4);
    EXPECT_EQ(loader.count("FW_END"), 0);
    const std::vector<std::string> seq = loader.sequence();
    EXPECT_EQ(std::count(seq.begin(), seq.end(), "FW_ADDR 800"), 4);
    EXPECT_EQ(std::count(seq.begin(), seq.end(), "FW_ADDR 1000"), 0);
    EXPECT_NE(log.text().find("page 0x800"), std::string::npos);
    EXPECT_LT(progress.back(), 100);
}

TEST_F(TransferTest, MissingCheckAnswerGivesUpAfterTwoSeconds) {
    loader.checkAnswer = [](int page, int, const std::string& sum) {
        return page == 0 ? std::nullopt : std::optional<std::string>(sum);
    };
    std::int64_t checkFrom = -1;
    onWait = [&](int) {
        if (checkFrom < 0 && loader.count("FW_CHK") == 1) {
            checkFrom = now;
        }
    };
    EXPECT_EQ(run(Counting(4096), 2), FirmwareTransfer::Result::NoPageCheck);
    EXPECT_EQ(failedPage, 0u);
    EXPECT_EQ(loader.count("FW_END"), 0);
    EXPECT_EQ(loader.count("FW_ADDR"), 16);
    // FW_CHK every 20 ms for 2 s, then no more.
    EXPECT_GE(loader.count("FW_CHK"), 90);
    EXPECT_LE(loader.count("FW_CHK"), 102);
    EXPECT_GE(now - checkFrom, 2000 - 20);
    EXPECT_LE(now - checkFrom, 2100);
    EXPECT_NE(log.text().find("no $CHK answer for page 0x0"), std::string::npos);
}

TEST_F(TransferTest, AnswerThatArrivesInPiecesIsWaitedFor) {
    // The device's "$CHK" comes first, its digits a little later.
    loader.checkAnswer = [this](int, int check, const std::string& sum) {
        if (check == 1) {
            link.incoming += "$CHK" + sum.substr(0, 2);
            rest = sum.substr(2) + "\r\n";
            return std::optional<std::string>();
        }
        return std::optional<std::string>(sum);
    };
    onWait = [this](int ms) {
        if (ms == 1 && !rest.empty()) {
            link.incoming += rest;
            rest.clear();
        }
    };
    ASSERT_EQ(run(Counting(2048), 2), FirmwareTransfer::Result::Done);
    EXPECT_EQ(loader.count("FW_CHK"), 2); // the first page and the one of the erased block
    EXPECT_EQ(resends, 0);
}

TEST_F(TransferTest, LoaderThatTakesNoFrameFailsAlsoWithinTheFirstPage) {
    // The flash stays erased: every check answers the sum of an erased page.
    loader.checkAnswer = [](int, int, const std::string&) {
        return std::optional<std::string>(PageSumText(static_cast<std::uint16_t>(2048 * 0xFF)));
    };
    EXPECT_EQ(run(Counting(1000), 2), FirmwareTransfer::Result::PageFailed);
    EXPECT_EQ(loader.count("FW_CHK"), 4);
    EXPECT_EQ(loader.count("FW_END"), 0);
    EXPECT_LT(progress.empty() ? 0 : progress.back(), 100);
}

TEST_F(TransferTest, DisconnectDuringTheTransferStopsIt) {
    onPass = [this] {
        if (loader.count("FW_DATA") == 5) {
            session.setLink(nullptr); // what Disconnect does
        }
    };
    EXPECT_EQ(run(Counting(8192), 2), FirmwareTransfer::Result::LinkLost);
    EXPECT_EQ(loader.count("FW_DATA"), 5);
    EXPECT_EQ(loader.count("FW_END"), 0);

    // A port that is already closed sends nothing at all.
    link.close();
    session.setLink(&link);
    const std::size_t before = loader.requests.size();
    EXPECT_EQ(run(Counting(100), 1), FirmwareTransfer::Result::LinkLost);
    EXPECT_EQ(loader.requests.size(), before);
}

TEST_F(TransferTest, ReceiveSideLeavesTheBytesToTheLoader) {
    session.stopReceiving();
    link.incoming = "$CHK01234\r\n";
    link.onArrival();
    // A frame sent while the loader reads the port starts no receive tick.
    session.SendCommand(ModeSet, CmdFwEnd);
    EXPECT_FALSE(session.ticking());
    link.onArrival();
    EXPECT_EQ(link.incoming, "$CHK01234\r\n");
    EXPECT_EQ(session.bufferedBytes(), 0u);
}

TEST(LoaderPort, FloodIsCutToSixteenBytesAndPurged) {
    FakeByteLink link;
    std::string received;
    link.incoming = std::string(1025, 'x');
    ServiceLoaderPort(link, received);
    EXPECT_EQ(received.size(), 16u);
    EXPECT_EQ(link.purges, 1);
    EXPECT_TRUE(link.incoming.empty());

    // Up to 1024 waiting bytes are read whole; what does not fit in the buffer is dropped.
    link.incoming = std::string(1024, 'y');
    ServiceLoaderPort(link, received);
    EXPECT_EQ(received.size(), 1024u);
    EXPECT_EQ(link.purges, 1);
    EXPECT_EQ(received.substr(14, 4), "xxyy");
    link.incoming = "zz";
    ServiceLoaderPort(link, received);
    EXPECT_EQ(received.size(), 1024u);
}
