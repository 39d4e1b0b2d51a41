// The field reader and the two descriptor parsers on any answer text. The first two input
// bytes are the node selector the node descriptor is stored under; the rest is the answer
// body, as the dispatch hands it over (CRC and line feed included or not: the parsers see
// whatever passed the check).

#include "FuzzSupport.h"

#include "protocol/Descriptor.h"

#include <string_view>

using namespace lvx;
using lvx::fuzz::ByteReader;

namespace {

void CheckFields(std::string_view answer) {
    const std::vector<std::string> fields = ReadFields(answer);
    // The fields and their closing separators are the answer's leading characters.
    std::string joined;
    for (const std::string& field : fields) {
        joined += field;
        joined += kFieldSeparator;
    }
    LVX_FUZZ_CHECK(joined.size() <= answer.size());
    LVX_FUZZ_CHECK(answer.compare(0, joined.size(), joined) == 0);
    for (std::size_t i = 1; i < fields.size(); ++i) {
        LVX_FUZZ_CHECK(!fields[i].empty());
    }
    for (const std::string& field : fields) {
        const long long value = FieldNumber(field);
        if (field.find_first_not_of(" +-0123456789") != std::string::npos) {
            LVX_FUZZ_CHECK(value == 0);
        }
        LVX_FUZZ_CHECK(FieldFlag(field) == (field == "T"));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    const std::uint16_t selector = in.u16();
    const std::string answer = in.text(in.left());
    CheckFields(answer);

    DeviceRecord record;
    const EdidSelectionLists lists = ParseDeviceDescriptor(record, answer);
    LVX_FUZZ_CHECK(record.productString.size() <= kProductStringMax);
    const std::size_t nodes = std::size_t{record.inputCount} + record.outputCount +
                              record.userEdidCount + record.internalEdidCount;
    LVX_FUZZ_CHECK(lists.all.size() == nodes + 3);
    LVX_FUZZ_CHECK(lists.upload.size() ==
                   std::size_t{record.inputCount} + record.userEdidCount + 1);
    LVX_FUZZ_CHECK(lists.input.size() == record.inputCount);
    LVX_FUZZ_CHECK(lists.inputVisible == (record.inputCount > 1));

    record.nodeSelector = selector;
    const DeviceRecord before = record;
    const bool stored = ParseNodeDescriptor(record, answer);
    const std::uint32_t kind = selector >> 12;
    const std::uint32_t index = selector & 0x0FFF;
    LVX_FUZZ_CHECK(stored == ((kind == 0 || kind == 1) && index < kNodeCount));
    if (!stored) {
        for (int i = 0; i < kNodeCount; ++i) {
            const auto n = static_cast<std::size_t>(i);
            LVX_FUZZ_CHECK(record.inputNodes[n].bytes == before.inputNodes[n].bytes);
            LVX_FUZZ_CHECK(record.outputNodes[n].bytes == before.outputNodes[n].bytes);
        }
    }
    for (const auto* nodes : {&record.inputNodes, &record.outputNodes}) {
        for (const NodeEntry& node : *nodes) {
            for (const std::size_t flag : {3u, 5u, 6u, 7u, 8u}) {
                LVX_FUZZ_CHECK(node.bytes[flag] <= 1);
            }
        }
    }
    return 0;
}
