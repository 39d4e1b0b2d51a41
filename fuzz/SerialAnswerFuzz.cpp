// The serial answer path: the receive step, CheckAnswer, the descriptor retry and the
// dispatch to the descriptor parsers and to the handlers the EDID flows register (block
// answers, input mode answers), on an in-memory link.
//
// The input is a script of what the device sends. Its first three bytes set up the selected
// device (serial channels, node selector); then each step is
//   command  flags  length  body[length]
// command % 21 picks the command awaited (20 is the wake-up). flags:
//   0x01 the command is a SET          0x02 the command is sent before the body arrives
//   0x04 the body gets its right CRC and a line feed, so that the check lets it through
//   0x08 the bytes arrive while the command's pacing wait runs, not after it
//   0x10 one more receive tick         0x20 the bytes arrive in two halves, a tick between
//   0x40 a line feed follows a body sent without CRC
// Without 0x04 the body goes on the wire as it is: partial answers, bad CRCs, stray line
// feeds and more than the buffer holds.
//
// Besides memory and undefined behaviour, two rules are checked: an answer is judged once
// (no more rejections than pieces of input that ended in a line feed), and a device
// descriptor request is retried at most once (no more retried requests than the script
// sent requests).

#include "FuzzQt.h"
#include "FuzzSupport.h"

#include "connection/DescriptorRequest.h"
#include "edid/EdidBlocks.h"
#include "edid/InputModes.h"
#include "protocol/Crc16.h"
#include "protocol/Hex.h"
#include "protocol/ProtocolSession.h"
#include "support/FakeByteLink.h"

using namespace lvx;
using lvx::fuzz::ByteReader;

namespace {

std::uint16_t CommandOf(std::uint8_t selector) {
    const int index = selector % (kCommandCount + 1);
    return index == kCommandCount ? static_cast<std::uint16_t>(CmdWakeUp)
                                  : static_cast<std::uint16_t>(index);
}

std::string WithCrc(const std::string& body) {
    return body + Hex4(Crc16(kCrcInit, body)) + "\n";
}

struct Device {
    DeviceTable devices;
    DebugLog log{16 * 1024};
    test::FakeByteLink link;
    ProtocolSession session{devices, log};
    EdidImage image{};
    std::string lastChannelAnswer;
    int rejected = 0;
    int lineEnds = 0;         // pieces delivered whose last byte is a line feed
    int descriptorFrames = 0; // GET SYS_DSCPT frames written, retries included
    int descriptorGets = 0;   // ... of which the script asked for
    int descriptorSends = 0;  // SYS_DSCPT requests of the script, GET or SET

    Device() {
        session.setLink(&link);
        session.setConnected(true);
        QObject::connect(&session, &ProtocolSession::answerRejected,
                         [this](std::uint32_t) { ++rejected; });
        QObject::connect(&session, &ProtocolSession::frameSent,
                         [this](std::uint8_t mode, std::uint16_t command, const std::string&) {
                             if (command == CmdSysDscpt && mode == ModeGet) {
                                 ++descriptorFrames;
                             }
                         });
        // Waits do not pass time: bytes that are waiting are taken as the 12 ms tick would
        // take them during the wait.
        session.setDelay([this](int) {
            if (link.bytesWaiting() > 0) {
                session.receiveTick();
            }
        });
        for (int command = CmdNdEd0A; command <= CmdNdEd1B; ++command) {
            session.setHandler(static_cast<std::uint16_t>(command),
                               [this, command](std::string_view answer) {
                                   DecodeEdidBlockAnswer(answer, EdidBlockBase(command), image);
                               });
        }
        session.setHandler(CmdRxEdMd, [this](std::string_view answer) {
            const std::optional<int> mode = ParseModeAnswer(answer);
            if (mode) {
                LVX_FUZZ_CHECK(*mode >= 0 && *mode <= 99);
                const DeviceRecord& r = devices.current();
                ButtonOfMode(*mode, {r.internalEdidCount, r.outputCount, r.userEdidCount});
            }
        });
        for (const std::uint16_t command : {CmdComMsg, CmdComConfig}) {
            session.setHandler(command, [this](std::string_view answer) {
                lastChannelAnswer.assign(answer.data(), answer.size());
            });
        }
    }

    void deliver(const std::string& bytes) {
        link.incoming += bytes;
        if (!bytes.empty() && bytes.back() == '\n') {
            ++lineEnds;
        }
    }

    void tick() {
        session.receiveTick();
        LVX_FUZZ_CHECK(session.bufferedBytes() <= kReceiveBufferSize);
        LVX_FUZZ_CHECK(session.received().size() <= kReceiveBufferSize);
    }

    void checkRules() const {
        LVX_FUZZ_CHECK(rejected <= lineEnds);
        // Each request, whatever its mode, earns one retry at most; a retry is a GET.
        LVX_FUZZ_CHECK(descriptorFrames - descriptorGets <= descriptorSends);
    }

    void send(std::uint16_t command, std::uint8_t mode, const std::string& body) {
        if (command == CmdNdSel && mode == ModeSet) {
            const std::uint32_t selector =
                body.size() >= 2
                    ? static_cast<std::uint8_t>(body[0]) << 8 | static_cast<std::uint8_t>(body[1])
                    : 0;
            session.sendNodeSelect(selector);
            return;
        }
        if (command == CmdSysDscpt) {
            ++descriptorSends;
            descriptorGets += mode == ModeGet ? 1 : 0;
        }
        if (command == CmdSysDscpt && mode == ModeGet) {
            // As the Search asks: the answer is judged during the pacing's tick, no later.
            RequestDeviceDescriptor(session, 0);
            return;
        }
        const std::vector<std::uint8_t> payload(
            body.begin(), body.begin() + std::min<std::size_t>(8, body.size()));
        session.SendCommand(mode, command, static_cast<std::uint16_t>(payload.size()),
                            payload.data());
    }
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::EnsureApplication();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    Device device;
    device.devices.count = 1;
    DeviceRecord& record = device.devices.current();
    record.linkKind = LinkKind::Serial;
    record.comChannelCount = in.byte() % 8;
    record.nodeSelector = in.u16();

    while (!in.empty()) {
        const std::uint16_t command = CommandOf(in.byte());
        const std::uint8_t flags = in.byte();
        const std::string body = in.text(in.byte());
        const std::uint8_t mode = (flags & 0x01) ? ModeSet : ModeGet;

        std::string wire = body;
        if (flags & 0x04) {
            wire = WithCrc(body);
        } else if (flags & 0x40) {
            wire += '\n';
        }
        const std::size_t half = (flags & 0x20) ? wire.size() / 2 : wire.size();
        if ((flags & 0x02) && (flags & 0x08)) {
            device.deliver(wire.substr(0, half));
            device.send(command, mode, body);
        } else {
            if (flags & 0x02) {
                device.send(command, mode, body);
            }
            device.deliver(wire.substr(0, half));
        }
        device.tick();
        if (half < wire.size()) {
            device.deliver(wire.substr(half));
            device.tick();
        }
        if (flags & 0x10) {
            device.tick();
        }
        LVX_FUZZ_CHECK(device.devices.count == 1);
        device.checkRules();
    }
    return 0;
}
