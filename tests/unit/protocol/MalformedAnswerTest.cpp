// Whatever a device sends, the receiver never crashes, never keeps more than its buffer,
// and the next exchange works.
#include "protocol/Crc16.h"
#include "protocol/Hex.h"
#include "protocol/ProtocolSession.h"
#include "support/FakeByteLink.h"
#include "support/QtTestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace lvx;
using lvx::test::FakeByteLink;

namespace {

std::string Answer(const std::string& body) {
    return body + Hex4(Crc16(kCrcInit, body)) + "\n";
}

const std::string kValid = Answer("V1\x0CP1\x0CM1\x0C"
                                  "D1\x0Cx\x0C"
                                  "1.0\x0CT\x0C"
                                  "4\x0C"
                                  "2\x0C"
                                  "3\x0C"
                                  "8\x0C"
                                  "0\x0C");
const std::string kNode = Answer("7\x0C"
                                 "8\x0C"
                                 "9\x0CT\x0CT\x0CT\x0CT\x0CT\x0C");

// How the bytes of one case reach the port.
struct Case {
    std::string name;
    std::vector<std::string> chunks; // one chunk per receive tick
};

std::vector<std::string> Whole(const std::string& bytes) {
    return {bytes};
}

std::vector<Case> Cases() {
    std::vector<Case> cases;
    for (std::size_t n = 0; n <= kValid.size(); ++n) {
        cases.push_back({"prefix " + std::to_string(n), Whole(kValid.substr(0, n))});
    }
    for (std::size_t i = 0; i < kValid.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            std::string flipped = kValid;
            flipped[i] = static_cast<char>(flipped[i] ^ (1 << bit));
            cases.push_back(
                {"flip " + std::to_string(i) + "." + std::to_string(bit), Whole(flipped)});
        }
    }
    for (std::size_t at = 1; at < kValid.size(); ++at) {
        cases.push_back(
            {"split at " + std::to_string(at), {kValid.substr(0, at), kValid.substr(at)}});
    }
    std::vector<std::string> trickle;
    for (char c : kValid) {
        trickle.emplace_back(1, c);
    }
    cases.push_back({"one-byte trickle", trickle});
    cases.push_back({"carriage return alone", Whole("\r")});
    cases.push_back({"line feed alone", Whole("\n")});
    cases.push_back({"NUL bytes", Whole(std::string("V1\0\0P1\x0C", 7) + "ABCD\n")});
    cases.push_back({"NUL first", Whole(std::string("\0", 1) + kValid)});
    cases.push_back({"odd-length payload", Whole(Answer("ABC"))});
    cases.push_back({"non-hex payload", Whole(Answer(std::string(128, 'z')))});
    cases.push_back({"two answers in one read", Whole(kValid + kValid)});
    cases.push_back({"garbage before the answer", Whole("\x01\x02garbage" + kValid)});
    cases.push_back({"64 KiB without a line feed at once", Whole(std::string(64 * 1024, 'q'))});
    std::vector<std::string> flood;
    for (int i = 0; i < 64; ++i) {
        flood.push_back(std::string(1024, 'q'));
    }
    cases.push_back({"64 KiB without a line feed in reads of 1 KiB", flood});
    std::mt19937 random(20261209);
    for (int i = 0; i < 200; ++i) {
        std::string bytes(random() % 300, '\0');
        for (char& c : bytes) {
            c = static_cast<char>(random() & 0xFF);
        }
        cases.push_back({"random " + std::to_string(i), Whole(bytes)});
    }
    return cases;
}

void RunCase(const Case& c, std::uint16_t command) {
    DeviceTable devices;
    devices.count = 1;
    devices.current().nodeSelector = 0;
    DebugLog log;
    FakeByteLink link;
    ProtocolSession session(devices, log);
    session.setLink(&link);
    session.setConnected(true);
    session.setDelay([](int) {});
    session.setHandler(command, [](std::string_view answer) {
        // Handlers read whatever they were given; make sure it is all readable.
        volatile char sink = 0;
        for (char ch : answer) {
            sink = static_cast<char>(sink ^ ch);
        }
    });

    session.SendCommand(ModeGet, command);
    for (const std::string& chunk : c.chunks) {
        link.incoming += chunk;
        session.receiveTick();
        ASSERT_LE(session.bufferedBytes(), kReceiveBufferSize) << c.name;
    }
    session.receiveTick();

    // The next exchange works.
    link.incoming.clear();
    session.SendCommand(ModeGet, CmdNdDscpt);
    link.incoming += kNode;
    session.receiveTick();
    EXPECT_EQ(devices.current().inputNodes[0].bytes[0], 7) << c.name;
    EXPECT_EQ(session.currentCommand(), 0u) << c.name;
}

} // namespace

TEST(MalformedAnswers, NeverCrashStayBoundedAndRecover) {
    lvx::test::EnsureApplication();
    const std::vector<Case> cases = Cases();
    ASSERT_GT(cases.size(), 500u);
    for (std::uint16_t command : {CmdSysDscpt, CmdNdEd0A, CmdRxEdMd, CmdComMsg, CmdComConfig}) {
        for (const Case& c : cases) {
            RunCase(c, command);
        }
    }
}
