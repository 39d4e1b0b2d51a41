#include "edid/EdidParse.h"

#include "edid/ParseContext.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace lvx {

namespace parse {

void Context::group(std::string label, std::string value, std::size_t offset, std::size_t length) {
    field(std::move(label), std::move(value), offset, length);
    ++depth_;
}

void Context::end() {
    if (depth_ > 0) {
        --depth_;
    }
}

void Context::field(std::string label, std::string value, std::size_t offset, std::size_t length) {
    EdidDetail d;
    d.label = std::move(label);
    d.value = std::move(value);
    d.offset = static_cast<std::uint32_t>(offset);
    d.length = static_cast<std::uint32_t>(length);
    d.depth = depth_;
    out.details.push_back(std::move(d));
}

void Context::finding(FindingId id, std::size_t position, std::size_t length, std::string text) {
    finding(id, KindOf(id).severity, position, length, std::move(text));
}

void Context::finding(FindingId id, FindingSeverity severity, std::size_t position,
                      std::size_t length, std::string text) {
    const FindingKind& kind = KindOf(id);
    EdidFinding f;
    f.kind = id;
    f.id = kind.id;
    f.severity = severity;
    f.impact = kind.impact;
    f.block = static_cast<int>(position / kBlock);
    f.offset = position % kBlock;
    f.length = std::max<std::size_t>(length, 1);
    f.text = std::move(text);
    out.findings.push_back(std::move(f));
}

std::string Num(long long value) {
    return std::to_string(value);
}

std::string Hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", value & 0xFFu);
    return text;
}

namespace {

// Appends an integer count of 10^-decimals as "123.45", without the cost of printf.
void AppendFixed(std::string& text, long long scaled, int decimals) {
    if (scaled < 0) {
        text.push_back('-');
        scaled = -scaled;
    }
    long long unit = 1;
    for (int i = 0; i < decimals; ++i) {
        unit *= 10;
    }
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, scaled / unit).ptr;
    text.append(digits, end);
    if (decimals > 0) {
        text.push_back('.');
        end = std::to_chars(digits, digits + sizeof digits, scaled % unit + unit).ptr;
        text.append(digits + 1, end); // the leading 1 keeps the zeros
    }
}

void AppendNumber(std::string& text, long long value) {
    char digits[24];
    text.append(digits, std::to_chars(digits, digits + sizeof digits, value).ptr);
}

} // namespace

std::string Fixed(double value, int decimals) {
    static constexpr double kScale[7] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6};
    std::string text;
    AppendFixed(text, std::llround(value * kScale[std::clamp(decimals, 0, 6)]),
                std::clamp(decimals, 0, 6));
    return text;
}

std::string TimingText(const VideoTiming& t) {
    std::string text;
    text.reserve(40);
    AppendNumber(text, t.hActive);
    text.push_back('x');
    AppendNumber(text, t.vActive);
    text.append(t.interlaced ? "i " : "p ");
    AppendFixed(text, std::llround(t.fieldRateHz() * 100), 2);
    text.append(" Hz, ");
    AppendFixed(text, t.pixelClockKHz, 3);
    text.append(" MHz");
    return text;
}

std::string Bytes(const std::uint8_t* data, std::size_t count) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    text.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) {
            text.push_back(' ');
        }
        text.push_back(kHex[data[i] >> 4]);
        text.push_back(kHex[data[i] & 0x0F]);
    }
    return text;
}

namespace {

const char* ExtensionName(std::uint8_t tag) {
    switch (tag) {
    case 0x02:
        return "CTA-861 extension";
    case 0x10:
        return "Video timing block extension";
    case 0x40:
        return "Display information extension";
    case 0x50:
        return "Localized string extension";
    case 0x60:
        return "Digital packet video link extension";
    case 0x70:
        return "DisplayID extension";
    case 0xF0:
        return "Block map";
    case 0xFF:
        return "Manufacturer extension";
    default:
        return nullptr;
    }
}

void CheckBlockSum(Context& c, int block) {
    const std::uint8_t* b = c.block(block);
    unsigned sum = 0;
    for (std::size_t i = 0; i < kBlock; ++i) {
        sum += b[i];
    }
    const std::size_t last = block * kBlock + kBlock - 1;
    c.field("Checksum", Hex2(b[kBlock - 1]) + ((sum & 0xFF) == 0 ? " (right)" : " (wrong)"), last,
            1);
    if ((sum & 0xFF) != 0) {
        const unsigned needed = (b[kBlock - 1] - sum) & 0xFF;
        c.finding(FindingId::Checksum, last, 1,
                  "Block " + Num(block) + "'s checksum byte is " + Hex2(b[kBlock - 1]) +
                      " but must be " + Hex2(needed) + ": a source may ignore the whole block.");
    }
}

void ParseExtension(Context& c, int block) {
    const std::uint8_t tag = c.block(block)[0];
    const std::size_t first = block * kBlock;
    c.out.extensionTags.push_back(tag);
    const char* name = ExtensionName(tag);
    c.group("Block " + Num(block), name != nullptr ? name : "Unknown extension " + Hex2(tag), first,
            kBlock);
    if (tag == 0x02) {
        ParseCtaBlock(c, block);
    } else if (tag == 0x70) {
        ParseDisplayIdBlock(c, block);
    } else {
        c.field("Tag", Hex2(tag), first, 1);
        if (name == nullptr) {
            c.finding(FindingId::UnknownExtension, first, 1,
                      "Block " + Num(block) + " is an extension of unknown kind " + Hex2(tag) +
                          ", which sources skip.");
        }
    }
    CheckBlockSum(c, block);
    c.end();
}

// Byte 126 against the blocks there are, and what lies past the last whole block.
void CheckBlockCount(Context& c, std::size_t size) {
    const std::size_t announced = c.out.base.extensionCount;
    const std::size_t present = c.out.blockCount - 1;
    const std::size_t wholeInFile = size / kBlock;
    if (wholeInFile > kMaxEdidBlocks) {
        c.finding(FindingId::ExtensionCountMismatch, 126, 1,
                  "The file holds " + Num(static_cast<long long>(wholeInFile)) +
                      " blocks; an EDID has at most 256, so the rest was not read.");
    } else if (announced != present) {
        c.finding(FindingId::ExtensionCountMismatch, 126, 1,
                  "Byte 126 announces " + Num(static_cast<long long>(announced)) +
                      " extension blocks but " + Num(static_cast<long long>(present)) +
                      " follow: a source reads a different EDID than the one stored.");
    }
    if (size % kBlock != 0 && wholeInFile < kMaxEdidBlocks) {
        c.finding(FindingId::TruncatedBlock, size - size % kBlock, size % kBlock,
                  "The last " + Num(static_cast<long long>(size % kBlock)) +
                      " bytes do not fill a block of 128 and were not read.");
    }
}

} // namespace

} // namespace parse

bool EdidParse::hasFailure() const {
    return std::any_of(findings.begin(), findings.end(),
                       [](const EdidFinding& f) { return f.severity == FindingSeverity::Failure; });
}

EdidParse ParseEdid(const std::uint8_t* data, std::size_t size, int currentYear) {
    using namespace parse;
    EdidParse out;
    const std::size_t blocks = std::min(size / kBlock, kMaxEdidBlocks);
    if (blocks > 0) {
        out.bytes.assign(data, data + blocks * kBlock);
    }
    out.blockCount = blocks;
    Context c(out, currentYear);
    if (blocks == 0) {
        c.finding(FindingId::TruncatedBlock, 0, std::max<std::size_t>(size, 1),
                  "The EDID holds " + Num(static_cast<long long>(size)) +
                      " bytes, fewer than the 128 of a base block.");
        return out;
    }
    out.details.reserve(96 + 64 * blocks);
    c.group("Block 0", "Base block", 0, kBlock);
    ParseBaseBlock(c);
    CheckBlockSum(c, 0);
    c.end();
    for (std::size_t b = 1; b < blocks; ++b) {
        ParseExtension(c, static_cast<int>(b));
    }
    CheckBlockCount(c, size);
    RunChecks(c);
    return out;
}

EdidParse ParseEdid(const std::vector<std::uint8_t>& bytes, int currentYear) {
    return ParseEdid(bytes.data(), bytes.size(), currentYear);
}

std::vector<const EdidFinding*> OrderedFindings(const EdidParse& parse) {
    std::vector<const EdidFinding*> ordered;
    ordered.reserve(parse.findings.size());
    for (const EdidFinding& f : parse.findings) {
        ordered.push_back(&f);
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const EdidFinding* a, const EdidFinding* b) {
                         if (a->severity != b->severity) {
                             return a->severity == FindingSeverity::Failure;
                         }
                         return a->position() < b->position();
                     });
    return ordered;
}

EdidParse ParseImage(const EdidImage& image, int currentYear) {
    return ParseEdid(image.data(),
                     image[kEdidExtensionCountOffset] != 0 ? kEdidSize : kEdidBlockSize,
                     currentYear);
}

int CurrentYear() {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    return parts.tm_year + 1900;
}

} // namespace lvx
