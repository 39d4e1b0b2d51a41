#pragma once

// What the parse's source files share while one EDID is parsed; not for callers of the parse.

#include "edid/EdidParse.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lvx::parse {

constexpr std::size_t kBlock = 128;

class Context {
public:
    Context(EdidParse& out, int currentYear) : out(out), currentYear(currentYear) {}

    EdidParse& out;
    const int currentYear;

    // Byte `position` of the EDID, 0 past its end.
    std::uint8_t at(std::size_t position) const {
        return position < out.bytes.size() ? out.bytes[position] : 0;
    }
    const std::uint8_t* block(int index) const { return out.bytes.data() + index * kBlock; }

    // The tree: a group holds the nodes added until its end().
    void group(std::string label, std::string value, std::size_t offset, std::size_t length);
    void end();
    void field(std::string label, std::string value, std::size_t offset, std::size_t length);

    // A finding about `length` bytes from `position` (counted from the start of the EDID),
    // with the kind's usual severity or the one given.
    void finding(FindingId id, std::size_t position, std::size_t length, std::string text);
    void finding(FindingId id, FindingSeverity severity, std::size_t position, std::size_t length,
                 std::string text);

private:
    std::uint16_t depth_ = 0;
};

// Texts of numbers for the tree and the sentences.
std::string Num(long long value);
std::string Hex2(unsigned value); // "0x1a"
std::string Fixed(double value, int decimals);
std::string TimingText(const VideoTiming& t); // "1920x1080p 60.00 Hz, 148.500 MHz"
std::string Bytes(const std::uint8_t* data, std::size_t count); // "01 02 ff"

// The parts of the parse, one source file each.
void ParseBaseBlock(Context& c); // ParseBase.cpp
bool RangeLimitsAskForCvt(const Context& c);
std::optional<VideoTiming> StandardTiming(const BaseBlock& base, std::uint8_t b1, std::uint8_t b2,
                                          bool cvt, std::string& name);
void ParseStandardTimings(Context& c, std::size_t first, int count);
void ParseDescriptor(Context& c, int block, std::size_t offset, int number); // ParseDescriptors.cpp
void ParseDetailedTiming(Context& c, int block, std::size_t offset, int number);
void ParseCtaBlock(Context& c, int block); // ParseCta.cpp
// A data block of tag 7 or 3 whose tag byte is at `at` and whose length field says `length`.
void ParseExtendedBlock(Context& c, int block, std::size_t at, std::size_t length);
void ParseCtaVendorBlock(Context& c, int block, std::size_t at, std::size_t length);
// The HDMI Forum block, as a vendor block or as the sink capability data block.
void ParseHdmiForumBlock(Context& c, int block, std::size_t at, std::size_t length,
                         bool capabilityBlock);
void ParseDisplayIdBlock(Context& c, int block); // ParseDisplayId.cpp
void RunChecks(Context& c);                      // EdidChecks.cpp

} // namespace lvx::parse
