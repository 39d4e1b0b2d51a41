// Discovery probes, discovery replies and IP configuration datagrams (types 1 to 3) through
// the entry reader. The first input byte picks the type expected (1, 2 or 3) and whether the
// CRC is made right first; the rest is the datagram. Every entry found lies inside the
// payload, and a datagram whose entries fill its payload exactly is what BuildTlvDatagram
// makes of them.

#include "FuzzDatagrams.h"
#include "FuzzSupport.h"

#include "links/TlvDatagram.h"

using namespace lvx;
using lvx::fuzz::ByteReader;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    const std::uint8_t control = in.byte();
    const auto type = static_cast<std::uint8_t>(1 + (control & 0x03) % 3);
    std::vector<std::uint8_t> datagram = in.rest();
    if ((control & 0x04) && !datagram.empty()) {
        datagram[0] = type;
        fuzz::FixTlvCrc(datagram);
    }

    std::vector<TlvField> fields;
    const TlvStatus status = ReadTlvDatagram(datagram.data(), datagram.size(), type, fields);
    if (status != TlvStatus::Ok) {
        LVX_FUZZ_CHECK(fields.empty());
        return 0;
    }
    const std::size_t payload = datagram[1];
    LVX_FUZZ_CHECK(datagram.size() >= payload + 4);
    std::size_t covered = 0;
    std::vector<TlvEntry> entries;
    for (const TlvField& field : fields) {
        LVX_FUZZ_CHECK(field.value >= datagram.data() + 4);
        LVX_FUZZ_CHECK(field.value + field.size <= datagram.data() + 2 + payload);
        LVX_FUZZ_CHECK(field.value[-2] == field.tag && field.value[-1] == field.size);
        covered += 2 + field.size;
        entries.push_back({field.tag, {field.value, field.value + field.size}});
    }
    LVX_FUZZ_CHECK(covered <= payload);
    if (covered == payload) {
        const std::vector<std::uint8_t> built = BuildTlvDatagram(type, entries);
        LVX_FUZZ_CHECK(built.size() == payload + 4);
        LVX_FUZZ_CHECK(std::equal(built.begin(), built.end(), datagram.begin()));
    }
    return 0;
}
