// Command replies (type 5 from a device) applied one after another to the selected device's
// record and the device EDID image. Each datagram is
//   length(2 bytes, high first)  bytes[length]
// Byte 0 of a datagram is made 5 when its length's top bit is set, so that most reach the
// command table.

#include "FuzzSupport.h"

#include "links/NetCommand.h"

#include <algorithm>

using namespace lvx;
using lvx::fuzz::ByteReader;

namespace {

bool HasZero(const std::string& text) {
    return text.find('\0') != std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    DeviceRecord device;
    EdidImage edid;
    edid.fill(0xA5);

    while (!in.empty()) {
        const std::uint16_t length = in.u16();
        std::vector<std::uint8_t> datagram = in.bytes(length & 0x7FF);
        if ((length & 0x8000) && !datagram.empty()) {
            datagram[0] = kCommandType;
        }
        const EdidImage before = edid;
        const CommandReplyResult result =
            ApplyCommandReply(datagram.data(), datagram.size(), device, edid);
        if (datagram.empty() || datagram[0] != kCommandType) {
            LVX_FUZZ_CHECK(result.effect == ReplyEffect::NotCommand);
            LVX_FUZZ_CHECK(edid == before);
            continue;
        }
        LVX_FUZZ_CHECK(result.effect != ReplyEffect::NotCommand);
        const std::size_t used = std::min(datagram.size(), kDatagramBufferSize);
        const std::size_t body = used > 7 ? used - 7 : 0;
        if (result.effect != ReplyEffect::Applied) {
            LVX_FUZZ_CHECK(edid == before);
            continue;
        }
        const NetCommandId id = result.id;
        LVX_FUZZ_CHECK(id.group == datagram[5] && id.item == datagram[6]);
        if (id == netcmd::kInputEdidRead || id == netcmd::kOutputEdidRead ||
            id == netcmd::kUserEdidRead || id == netcmd::kInternalEdidRead) {
            for (std::size_t i = 0; i < kEdidSize; ++i) {
                LVX_FUZZ_CHECK(edid[i] == (i < body ? datagram[7 + i] : before[i]));
            }
        } else {
            LVX_FUZZ_CHECK(edid == before);
        }
        if (id == netcmd::kInputCount) {
            LVX_FUZZ_CHECK(device.inputCount == datagram[7]);
        }
        LVX_FUZZ_CHECK(!HasZero(device.vid) && !HasZero(device.pid));
        LVX_FUZZ_CHECK(!HasZero(device.serialNumber) && !HasZero(device.version));
        if (id == netcmd::kVendorId) {
            LVX_FUZZ_CHECK(device.vid.size() >= 4 &&
                           device.vid.size() <= std::max<std::size_t>(4, body));
        }
        if (id == netcmd::kSerialNumber) {
            LVX_FUZZ_CHECK(device.serialNumber.size() >= 12);
        }
        if (id == netcmd::kVersion) {
            LVX_FUZZ_CHECK(device.version.size() >= 5 && device.version[0] == 'v');
        }
    }
    return 0;
}
