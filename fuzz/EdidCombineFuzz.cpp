// The combination of EDIDs on sources of any contents.
//
// The first byte chooses the intents (its bits), the block count, the identity and which
// source is video only; the rest is cut into up to three sources of 256 bytes, each with its
// header and checksums made right so that the rules see more than refused input. Properties:
// a written result is whole blocks within the count, with right checksums, a header and the
// extension count its blocks have; it parses; nothing else is ever written.

#include "FuzzSupport.h"

#include "edid/EdidCombine.h"
#include "edid/EdidParse.h"

#include <vector>

using namespace lvx;

namespace {

void MakeValid(std::vector<std::uint8_t>& edid) {
    static const std::uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::copy(kHeader, kHeader + 8, edid.begin());
    edid[126] = static_cast<std::uint8_t>(edid.size() / 128 - 1);
    for (std::size_t b = 0; b + 128 <= edid.size(); b += 128) {
        unsigned sum = 0;
        for (std::size_t i = b; i < b + 127; ++i) {
            sum += edid[i];
        }
        edid[b + 127] = static_cast<std::uint8_t>((256 - sum % 256) % 256);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    CombineOptions options;
    options.currentYear = 2025;
    const unsigned choice = data[0] | (data[1] << 8);
    for (std::size_t i = 0; i < kCombineIntentCount; ++i) {
        if (choice & (1u << i)) {
            options.intents.push_back(static_cast<CombineIntent>(i));
        }
    }
    options.maxBlocks = (choice & 0x800) ? 4 : 2;
    std::vector<CombineSource> sources;
    for (std::size_t at = 2; at < size && sources.size() < 3; at += 256) {
        std::vector<std::uint8_t> edid(data + at, data + std::min(size, at + 256));
        if (edid.size() >= 128) {
            edid.resize(edid.size() / 128 * 128);
            MakeValid(edid);
        }
        sources.push_back({"S" + std::to_string(sources.size()), edid, false});
    }
    options.identity = (choice >> 12) % sources.size();
    sources[(choice >> 14) % sources.size()].videoOnly = (choice & 0x1000) != 0;

    const CombineResult r = CombineEdids(sources, options);
    LVX_FUZZ_CHECK(r.status == CombineStatus::Written || r.bytes.empty());
    if (r.status != CombineStatus::Written) {
        return 0;
    }
    const std::vector<std::uint8_t>& b = r.bytes;
    LVX_FUZZ_CHECK(!b.empty() && b.size() % 128 == 0 && b.size() <= options.maxBlocks * 128);
    LVX_FUZZ_CHECK(b[0] == 0x00 && b[1] == 0xFF && b[7] == 0x00);
    LVX_FUZZ_CHECK(b[126] + 1u == b.size() / 128);
    for (std::size_t block = 0; block < b.size(); block += 128) {
        unsigned sum = 0;
        for (std::size_t i = block; i < block + 128; ++i) {
            sum += b[i];
        }
        LVX_FUZZ_CHECK(sum % 256 == 0);
    }
    const EdidParse p = ParseEdid(b, options.currentYear);
    LVX_FUZZ_CHECK(p.blockCount == b.size() / 128);
    LVX_FUZZ_CHECK(r.kept.blocks == static_cast<int>(p.blockCount));
    return 0;
}
