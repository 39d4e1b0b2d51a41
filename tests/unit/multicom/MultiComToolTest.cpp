// The channel tool on a connection to a device on an in-memory link: what the Search's
// settings answer and a user's change send, the 400 ms poll with one request on its way,
// channel text in order, Disconnect, and Save log.
#include "multicom/MultiComTool.h"
#include "connection/ConnectionController.h"
#include "protocol/Crc16.h"
#include "protocol/Hex.h"
#include "support/FakeSerialDevice.h"
#include "support/QtTestSupport.h"
#include "support/RecordingPrompt.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <deque>
#include <memory>
#include <sys/resource.h>

using namespace lvx;
using namespace lvx::test;

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A device with `channels` serial channels on an in-memory link, found by a Search and
// selected. Its channel polls are answered from `channelAnswers` (bodies, oldest first), or
// held back while `holdPolls` is set; its settings answer is `settings`.
class MultiComFixture : public ::testing::Test {
protected:
    void connect(int channels) {
        EnsureApplication();
        controller = std::make_unique<ConnectionController>();
        controller->ethernet = false;
        controller->givenPorts = {"/dev/fake0"};
        controller->setPortOpener([this, channels](const QString&, DebugLog&) {
            auto owned = std::make_unique<FakeByteLink>();
            link = owned.get();
            device = std::make_unique<FakeSerialDevice>(*link);
            device->descriptor[11] = std::to_string(channels);
            device->inputNode[6] = "F"; // no input mode poll
            device->onRequest = [this](const std::string& name, const std::string&) {
                if (name == "COM_CONFIG" && !settings.empty()) {
                    device->bodyOverride["COM_CONFIG"] = settings;
                } else {
                    device->bodyOverride.erase("COM_CONFIG");
                }
                if (name != "COM_MSG") {
                    return true;
                }
                ++polls;
                if (pollWaiting) {
                    overlaps = true; // a poll went out while the last one had no answer
                }
                if (holdPolls || channelAnswers.empty()) {
                    pollWaiting = holdPolls;
                    if (!holdPolls) {
                        link->incoming += DeviceAnswer("CHA:\x0C");
                    }
                    return false;
                }
                link->incoming += DeviceAnswer(channelAnswers.front());
                channelAnswers.pop_front();
                return false;
            };
            return std::unique_ptr<ByteLink>(std::move(owned));
        });
        tool = std::make_unique<MultiComTool>(*controller, nullptr, textCap);
        controller->search();
        ASSERT_EQ(controller->devices().count, 1);
        controller->select(1);
    }

    // The device answers the poll that waits.
    void answerHeldPoll(const std::string& body) {
        pollWaiting = false;
        link->incoming += DeviceAnswer(body);
    }

    std::vector<std::string> requestsNamed(const std::string& name) const {
        std::vector<std::string> found;
        for (const std::string& line : device->requests) {
            if (FakeSerialDevice::NameOf(line) == name) {
                found.push_back(line);
            }
        }
        return found;
    }

    std::size_t textCap = kChannelTextCap;
    std::string settings;
    std::deque<std::string> channelAnswers;
    bool holdPolls = false;
    bool pollWaiting = false;
    bool overlaps = false;
    int polls = 0;
    std::unique_ptr<ConnectionController> controller;
    std::unique_ptr<MultiComTool> tool;
    std::unique_ptr<FakeSerialDevice> device;
    FakeByteLink* link = nullptr;
};

} // namespace

TEST_F(MultiComFixture, ReportedSettingsSendNothingAUsersChangeSendsTheChannelsFourBytes) {
    settings = "08000303\x0C"
               "3033\x0C"
               "0000\x0C";
    connect(4);
    EXPECT_EQ(requestsNamed("COM_CONFIG").size(), 1u); // the Search's GET
    EXPECT_EQ(tool->channel(1).settings, (ChannelSettings{8, 3, 0}));
    EXPECT_EQ(tool->channel(4).settings, (ChannelSettings{3, 3, 0}));

    // Channel D's parity to "Odd" while its baud index is 3 and its data length index 3.
    tool->chooseParity(4, 1);
    const std::vector<std::string> sent = requestsNamed("COM_CONFIG");
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1], "$SET COM_CONFIG 03030301" + Hex4(Crc16(kCrcInit, "03030301")) + "\r\n");

    // The device's next report moves the lists again, and that sends nothing.
    settings = "08000501\x0C"
               "3032\x0C"
               "0002\x0C";
    QSignalSpy changed(tool.get(), &MultiComTool::settingsChanged);
    tool->requestSettings();
    EXPECT_EQ(tool->channel(4).settings, (ChannelSettings{1, 2, 2}));
    EXPECT_EQ(tool->channel(3).settings, (ChannelSettings{5, 3, 0}));
    EXPECT_EQ(changed.count(), 2); // C and D; A and B stayed as they were
    EXPECT_EQ(requestsNamed("COM_CONFIG").size(), 3u);
    EXPECT_EQ(device->requests.back().rfind("$GET COM_CONFIG", 0), 0u);
}

TEST_F(MultiComFixture, PollKeepsOneRequestOnItsWayAndTextArrivesInOrder) {
    holdPolls = true;
    connect(2);
    // The first poll gets no answer: no second one follows it within a second.
    ASSERT_TRUE(WaitUntil([this] { return polls >= 1; }, 2000));
    EXPECT_FALSE(WaitUntil([this] { return polls >= 2; }, 1200));
    EXPECT_FALSE(overlaps);

    // Answers, some for no channel of this device: the text of A and B in order.
    holdPolls = false;
    channelAnswers = {"CHB:caf\xE9 \x0C", "CHC:three\x0C", "CHA:one\r\x0C",
                      "CHA:\x0C",         "CHA:\ntwo\x0C", "CHB:\x80\x0C"};
    answerHeldPoll("CHA:zero \x0C");
    ASSERT_TRUE(WaitUntil([this] { return channelAnswers.empty() && polls >= 8; }, 6000));
    EXPECT_FALSE(overlaps);
    EXPECT_EQ(tool->channel(1).text.bytes(), "zero one\r\ntwo");
    EXPECT_EQ(tool->channel(2).text.bytes(), "caf\xE9 \x80");
    EXPECT_EQ(tool->channel(3).text.size(), 0u);
}

TEST_F(MultiComFixture, ASettingsChangeWaitsForThePollAnswerOnItsWay) {
    holdPolls = true;
    connect(1);
    ASSERT_TRUE(WaitUntil([this] { return pollWaiting; }, 2000));
    // The answer comes a moment after the user's change.
    QTimer::singleShot(40, [this] { answerHeldPoll("CHA:kept\x0C"); });
    tool->chooseBaud(1, 5);
    EXPECT_EQ(tool->channel(1).text.bytes(), "kept");
    EXPECT_EQ(device->requests.back(),
              "$SET COM_CONFIG 00050000" + Hex4(Crc16(kCrcInit, "00050000")) + "\r\n");
}

TEST_F(MultiComFixture, DisconnectEmptiesTheFirstChannelOnlyAndEndsThePolls) {
    connect(3);
    int pollsAfter = 0;
    QObject::connect(&controller->session(), &ProtocolSession::frameSent,
                     [&pollsAfter](std::uint8_t, std::uint16_t command, const std::string&) {
                         pollsAfter += command == CmdComMsg ? 1 : 0;
                     });
    tool->receive(1, "first");
    tool->receive(3, "third");
    QSignalSpy changed(tool.get(), &MultiComTool::textChanged);
    controller->disconnectDevices();
    EXPECT_EQ(tool->channel(1).text.size(), 0u);
    EXPECT_EQ(tool->channel(3).text.bytes(), "third");
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed[0][0].toInt(), 1);
    // Without a device a change is kept and sends nothing.
    const std::size_t before = device->requests.size();
    tool->chooseParity(2, 2);
    EXPECT_EQ(tool->channel(2).settings.parity, 2);
    EXPECT_EQ(device->requests.size(), before);
    // No device, no channel polls (the status poll runs on and would restart them), and the
    // receive side sleeps.
    pollsAfter = 0;
    EXPECT_FALSE(WaitUntil([&pollsAfter] { return pollsAfter > 0; }, 3000));
    EXPECT_FALSE(controller->session().ticking());
}

TEST_F(MultiComFixture, SaveLogWritesTheBytesAsTheyCameUnderTheTxtRule) {
    connect(2);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string bytes = "caf\xE9\r\nline\x80\x01\r";
    tool->receive(2, bytes);

    RecordingPrompt prompt;
    prompt.saveAnswers = {dir.filePath("trace").toStdString(),
                          dir.filePath("trace.TXT").toStdString(),
                          dir.filePath("kept.txt").toStdString(), ""};
    EXPECT_EQ(tool->saveLog(2, prompt), MultiComTool::SaveOutcome::Saved);
    EXPECT_EQ(ReadAll(dir.filePath("trace.txt")), QByteArray::fromStdString(bytes));
    EXPECT_EQ(tool->saveLog(2, prompt), MultiComTool::SaveOutcome::Saved);
    EXPECT_EQ(ReadAll(dir.filePath("trace.TXT.txt")), QByteArray::fromStdString(bytes));
    EXPECT_FALSE(QFile::exists(dir.filePath("trace.TXT")));
    ASSERT_EQ(prompt.filters.size(), 2u);
    EXPECT_EQ(prompt.filters[0], "Log (*.txt)|*.txt");
    EXPECT_EQ(prompt.proposedNames[0], "ChannelB Log");

    // A write that fails half way (the file size limit stands for a full disk): the user
    // is told, and the old file keeps what it held.
    WriteFile(dir.filePath("kept.txt"), "old");
    tool->receive(2, std::string(4096, 'x'));
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 1024;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const MultiComTool::SaveOutcome failed = tool->saveLog(2, prompt);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(failed, MultiComTool::SaveOutcome::Failed);
    EXPECT_EQ(ReadAll(dir.filePath("kept.txt")), QByteArray("old"));
    ASSERT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(prompt.messages[0].caption, "Save Log");
    EXPECT_NE(prompt.messages[0].text.find("kept.txt"), std::string::npos);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3); // no temporary file left

    // A cancelled dialog writes nothing.
    EXPECT_EQ(tool->saveLog(2, prompt), MultiComTool::SaveOutcome::Cancelled);
    EXPECT_EQ(prompt.messages.size(), 1u);
}

TEST_F(MultiComFixture, EachChannelKeepsItsLastBytesUnderTheCap) {
    textCap = 16;
    connect(2);
    QSignalSpy changed(tool.get(), &MultiComTool::textChanged);
    tool->receive(1, "0123456789");
    tool->receive(1, "abcdefghij");
    tool->receive(2, "short");
    EXPECT_EQ(tool->channel(1).text.bytes(), "456789abcdefghij");
    EXPECT_TRUE(tool->channel(1).text.dropped());
    EXPECT_FALSE(tool->channel(2).text.dropped());
    ASSERT_EQ(changed.count(), 3);
    EXPECT_TRUE(changed[1][1].value<MemoChange>().insertNote);
}
