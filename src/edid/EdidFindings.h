#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace lvx {

enum class FindingSeverity : std::uint8_t { Failure, Warning };

// What a technician will see go wrong because of a finding.
enum class FindingImpact : std::uint8_t { Picture, Colour, Audio, Interop, Cosmetic };

// Every kind of finding the parse reports. The order is the order of the kinds table.
enum class FindingId : std::uint8_t {
    CtaMissingVcdb,
    VcdbRgbNotSelectable,
    VcdbItScanMismatch,
    DtdSizeMismatch,
    DtdLargerThanDisplay,
    TimingOutsideRangeLimits,
    RangeLimitsGtfNoncontinuous,
    RangeLimitsFeatureNeeds14,
    MissingRangeLimits,
    MissingProductName,
    SrgbChromaticityMismatch,
    ColorimetryReservedBits,
    CtaNativeMixed,
    HdmiNeedsEdid13,
    HdmiTmdsAbove340,
    HfTmdsInvalid,
    HdmiVicWithoutCtaVic,
    DuplicateVic,
    UnknownVic,
    MissingRequiredTiming,
    Y420MapBeyondSvds,
    ExtensionCountMismatch,
    UnknownExtension,
    CtaPaddingNonzero,
    EmptyDescriptorZeroes,
    DummyDescriptorGarbage,
    TextNonPrintable,
    TextEmptyOrTrailingSpace,
    StandardTimingInvalidCode,
    DigitalInterfaceReserved,
    YearInFuture,
    Checksum,
    HeaderInvalid,
    TruncatedBlock,
    DataBlockOverrun,
    DtdOffsetInvalid,
    DtdInvalid,
    MissingPreferredTiming,
    DescriptorUnknownType,
    CtaBasicAudioMissing,
    AudioFormatReserved,
};
constexpr std::size_t kFindingKindCount = 41;

// A kind's stable id ("cta-missing-vcdb"), its usual severity and its impact.
struct FindingKind {
    std::string_view id;
    FindingSeverity severity;
    FindingImpact impact;
};
const FindingKind& KindOf(FindingId id);
const FindingKind* FindingKinds(); // kFindingKindCount entries, in FindingId order

const char* SeverityName(FindingSeverity severity); // "failure", "warning"
const char* ImpactName(FindingImpact impact);       // "picture", "colour", ...

// One thing wrong with an EDID: the bytes it is about and one sentence for a technician.
struct EdidFinding {
    FindingId kind = FindingId::Checksum;
    std::string_view id;
    FindingSeverity severity = FindingSeverity::Failure;
    FindingImpact impact = FindingImpact::Interop;
    int block = 0;
    std::size_t offset = 0; // within the block
    std::size_t length = 1; // bytes from offset
    std::string text;

    std::size_t position() const { return static_cast<std::size_t>(block) * 128 + offset; }
};

} // namespace lvx
