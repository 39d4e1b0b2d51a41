// Command datagrams as a device reads them (the simulator's side): any datagram is decoded
// or refused, and every decoded one is exactly what BuildCommandDatagram makes of its parts.
// The first input byte chooses whether the header, N and the CRC are made right first, so
// that most datagrams get past the checks.

#include "FuzzDatagrams.h"
#include "FuzzSupport.h"

#include "links/NetCommand.h"

using namespace lvx;
using lvx::fuzz::ByteReader;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    const bool fix = (in.byte() & 0x01) != 0;
    std::vector<std::uint8_t> datagram = in.rest();
    if (fix) {
        fuzz::FixCommandHeader(datagram);
    }
    const std::optional<NetCommandRequest> request =
        ParseCommandDatagram(datagram.data(), datagram.size());
    if (fix && datagram.size() >= 16 && datagram.size() <= kDatagramBufferSize) {
        LVX_FUZZ_CHECK(request.has_value());
    }
    if (!request) {
        return 0;
    }
    LVX_FUZZ_CHECK(datagram.size() >= 16 && datagram.size() <= kDatagramBufferSize);
    LVX_FUZZ_CHECK(request->data.size() == datagram.size() - 16);
    if (CommandTakesData(request->id) || request->data.empty()) {
        const std::vector<std::uint8_t> built =
            BuildCommandDatagram(request->mac, request->id, request->data);
        LVX_FUZZ_CHECK(built == datagram);
    }
    return 0;
}
