// The simulator's request parsers, which tests and demos trust to behave like a device: the
// serial device's request lines (normal mode and both loaders) and the network device's
// datagrams. The first input byte picks the serial device's mode and how the bytes arrive;
// the rest is what the program would write to the port, and then one datagram.
// - A device in normal mode answers only whole request lines, at most one answer per line,
//   and every answer passes the program's own CheckAnswer.
// - Bytes fed in pieces give the same answers as bytes fed at once.
// - A request the program's framer builds for a known GET is answered exactly once.
// - A loader's flash never grows past its limit.
// - The network device answers a datagram with replies a datagram can hold; its answer to a
//   probe is a discovery reply the program accepts.

#include "FuzzQt.h"
#include "FuzzSupport.h"

#include "devsim/net/NetSimConfig.h"
#include "devsim/net/SimNetDevice.h"
#include "devsim/serial/SerialDeviceSim.h"
#include "links/Discovery.h"
#include "links/TlvDatagram.h"
#include "protocol/CommandTable.h"
#include "protocol/Frame.h"

#include <algorithm>
#include <iterator>
#include <vector>

using namespace lvx;
using lvx::fuzz::ByteReader;
using lvx::sim::SerialDeviceSim;
using lvx::sim::SerialProfile;

namespace {

constexpr qsizetype kFlashLimit = 32 * 1024 * 1024;

SerialProfile Profile(std::uint8_t mode) {
    SerialProfile profile;
    profile.channels = mode % 4; // channel text in the COM_MSG answers
    profile.channelData[1] = "line one\r\nline two";
    profile.channelData[2] = QByteArray(300, 'x');
    switch ((mode >> 2) % 3) {
    case 1:
        profile.ispMarker = QStringLiteral("$ISP029");
        break;
    case 2:
        profile.ispMarker = QStringLiteral("$ISP091");
        profile.checkWrong[0] = 1;
        break;
    default:
        break;
    }
    return profile;
}

struct Run {
    std::vector<QByteArray> answers;
    qsizetype flash = 0;
};

// Feeds the bytes at once, or in pieces whose sizes come from `pieces`.
Run Feed(std::uint8_t mode, const QByteArray& bytes, const std::vector<std::uint8_t>& pieces) {
    SerialDeviceSim device(Profile(mode));
    Run run;
    device.setOutput([&run](const QByteArray& answer) { run.answers.push_back(answer); });
    if (pieces.empty()) {
        device.receive(bytes.constData(), bytes.size());
    } else {
        qsizetype at = 0;
        std::size_t next = 0;
        while (at < bytes.size()) {
            const qsizetype n =
                std::min<qsizetype>(1 + pieces[next++ % pieces.size()] % 64, bytes.size() - at);
            device.receive(bytes.constData() + at, n);
            at += n;
        }
    }
    run.flash = device.flash().size();
    return run;
}

void CheckSerial(std::uint8_t mode, const QByteArray& bytes,
                 const std::vector<std::uint8_t>& pieces) {
    const bool loader = (mode >> 2) % 3 != 0;
    const Run whole = Feed(mode, bytes, {});
    LVX_FUZZ_CHECK(whole.flash <= kFlashLimit);
    const auto lines = static_cast<std::size_t>(bytes.count('\n'));
    // COM_MSG and FW_CHK aside, each line gets one answer at most (ENTRANCE two in a loader:
    // none extra here, as no flood is configured).
    LVX_FUZZ_CHECK(whole.answers.size() <= lines);
    if (!loader) {
        for (const QByteArray& answer : whole.answers) {
            LVX_FUZZ_CHECK(CheckAnswer(std::string_view(answer.constData(),
                                                        static_cast<std::size_t>(answer.size()))) ==
                           AnswerCheck::Valid);
        }
    }
    // A line cut into pieces is the same line; only a run of more than 8192 bytes without a
    // line feed is dropped where it stands, which depends on where the pieces end.
    if (bytes.size() <= 8192 && !pieces.empty()) {
        const Run cut = Feed(mode, bytes, pieces);
        LVX_FUZZ_CHECK(cut.answers == whole.answers);
        LVX_FUZZ_CHECK(cut.flash == whole.flash);
    }
}

// What the program sends for a GET of a known command is answered exactly once.
void CheckFramed(std::uint8_t mode, std::uint8_t pick) {
    if ((mode >> 2) % 3 != 0) {
        return;
    }
    const std::uint16_t commands[] = {CmdSysDscpt, CmdNdDscpt, CmdNdEd0A, CmdNdEd0B,
                                      CmdNdEd1A,   CmdNdEd1B,  CmdRxEdMd, CmdComConfig};
    const std::uint16_t command = commands[pick % std::size(commands)];
    const std::string frame = BuildFrame(ModeGet, command);
    const Run run = Feed(mode, QByteArray::fromStdString(frame), {});
    LVX_FUZZ_CHECK(run.answers.size() == 1);
}

void CheckNetwork(const std::vector<std::uint8_t>& datagram) {
    SimNetDevice device(DefaultSimNetDevice(0));
    const SimNetDevice::Outcome outcome = device.handle(datagram.data(), datagram.size());
    for (const std::vector<std::uint8_t>& reply : outcome.replies) {
        LVX_FUZZ_CHECK(!reply.empty());
        LVX_FUZZ_CHECK(reply.size() <= kDatagramBufferSize);
    }
    if (datagram == DiscoveryProbe()) {
        LVX_FUZZ_CHECK(!outcome.replies.empty());
        DeviceTable devices;
        NetworkTable records{};
        const std::vector<std::uint8_t>& reply = outcome.replies.front();
        LVX_FUZZ_CHECK(AcceptDiscoveryReply(reply.data(), reply.size(), devices, records) ==
                       DiscoveryStatus::Accepted);
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::EnsureApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    const std::uint8_t mode = in.byte();
    const std::vector<std::uint8_t> pieces = in.bytes(in.byte() % 8);
    const std::vector<std::uint8_t> datagram = in.bytes(in.u16() % (kDatagramBufferSize + 64));
    const std::vector<std::uint8_t> rest = in.rest();
    const QByteArray bytes(reinterpret_cast<const char*>(rest.data()),
                           static_cast<qsizetype>(rest.size()));
    CheckSerial(mode, bytes, pieces);
    CheckFramed(mode, rest.empty() ? 0 : rest.front());
    CheckNetwork(datagram);
    return 0;
}
