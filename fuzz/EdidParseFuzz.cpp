// The parse of a whole EDID and its findings, on input of any length.
//
// The input is parsed as it is, and once more with every whole block's header (block 0) and
// checksum made right, so that the parse goes past the checksum findings into whatever the
// lengths and offsets of the blocks say. Properties: nothing the parse reports points past
// the bytes it kept, the tree's depths step down one at a time, a second parse of the same
// bytes gives the same result, and the verdict follows the findings.

#include "FuzzSupport.h"

#include "edid/EdidParse.h"

#include <cstring>
#include <vector>

using namespace lvx;

namespace {

constexpr int kYear = 2025;

void CheckParse(const EdidParse& p, std::size_t size) {
    const std::size_t kept = p.bytes.size();
    LVX_FUZZ_CHECK(p.blockCount == std::min<std::size_t>(size / 128, kMaxEdidBlocks));
    LVX_FUZZ_CHECK(kept == p.blockCount * 128);
    std::size_t depth = 0;
    for (const EdidDetail& d : p.details) {
        LVX_FUZZ_CHECK(d.offset + d.length <= kept);
        LVX_FUZZ_CHECK(d.depth <= depth + 1);
        depth = d.depth;
    }
    bool failure = false;
    for (const EdidFinding& f : p.findings) {
        LVX_FUZZ_CHECK(f.id == KindOf(f.kind).id);
        LVX_FUZZ_CHECK(f.offset < 128 && f.length >= 1);
        const std::size_t limit =
            f.kind == FindingId::TruncatedBlock ? std::max<std::size_t>(size, 1) : kept;
        LVX_FUZZ_CHECK(f.position() + f.length <= std::max(limit, f.position() + 1));
        LVX_FUZZ_CHECK(!f.text.empty());
        failure = failure || f.severity == FindingSeverity::Failure;
    }
    LVX_FUZZ_CHECK(failure == p.hasFailure());
    for (const DetailedTimingEntry& e : p.detailedTimings) {
        LVX_FUZZ_CHECK(e.offset + 18 <= kept);
    }
    for (const ShortVideoDescriptor& s : p.svds) {
        LVX_FUZZ_CHECK(s.offset < kept);
    }
    const auto ordered = OrderedFindings(p);
    for (std::size_t i = 1; i < ordered.size(); ++i) {
        LVX_FUZZ_CHECK(!(ordered[i]->severity == FindingSeverity::Failure &&
                         ordered[i - 1]->severity == FindingSeverity::Warning));
    }
}

bool SameParse(const EdidParse& a, const EdidParse& b) {
    if (a.details.size() != b.details.size() || a.findings.size() != b.findings.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.details.size(); ++i) {
        if (a.details[i].label != b.details[i].label || a.details[i].value != b.details[i].value) {
            return false;
        }
    }
    for (std::size_t i = 0; i < a.findings.size(); ++i) {
        if (a.findings[i].text != b.findings[i].text) {
            return false;
        }
    }
    return true;
}

std::vector<std::uint8_t> MadeValid(const std::uint8_t* data, std::size_t size) {
    static constexpr std::uint8_t kHeader[8] = {0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00};
    std::vector<std::uint8_t> bytes(data, data + size);
    if (bytes.size() >= 8) {
        std::memcpy(bytes.data(), kHeader, sizeof kHeader);
    }
    for (std::size_t b = 0; b + 128 <= bytes.size(); b += 128) {
        unsigned sum = 0;
        for (std::size_t i = b; i < b + 127; ++i) {
            sum += bytes[i];
        }
        bytes[b + 127] = static_cast<std::uint8_t>(0x100 - (sum & 0xFF));
    }
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const EdidParse first = ParseEdid(data, size, kYear);
    CheckParse(first, size);
    LVX_FUZZ_CHECK(SameParse(first, ParseEdid(data, size, kYear)));
    const std::vector<std::uint8_t> valid = MadeValid(data, size);
    const EdidParse second = ParseEdid(valid, kYear);
    CheckParse(second, valid.size());
    // Made right, only a DisplayID section's own checksum can still be wrong.
    for (const EdidFinding& f : second.findings) {
        LVX_FUZZ_CHECK(f.kind != FindingId::HeaderInvalid);
        LVX_FUZZ_CHECK(f.kind != FindingId::Checksum || f.block > 0);
    }
    return 0;
}
