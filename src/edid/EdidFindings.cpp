#include "edid/EdidFindings.h"

namespace lvx {

namespace {

constexpr FindingSeverity F = FindingSeverity::Failure;
constexpr FindingImpact kPicture = FindingImpact::Picture;
constexpr FindingImpact kColour = FindingImpact::Colour;
constexpr FindingImpact kInterop = FindingImpact::Interop;
constexpr FindingImpact kCosmetic = FindingImpact::Cosmetic;

constexpr FindingKind kKinds[kFindingKindCount] = {
    {"cta-missing-vcdb", F, kColour},
    {"vcdb-rgb-not-selectable", F, kColour},
    {"vcdb-it-scan-mismatch", F, kPicture},
    {"dtd-size-mismatch", F, kCosmetic},
    {"dtd-larger-than-display", F, kCosmetic},
    {"timing-outside-range-limits", F, kPicture},
    {"range-limits-gtf-noncontinuous", F, kInterop},
    {"range-limits-feature-needs-1-4", F, kInterop},
    {"missing-range-limits", F, kInterop},
    {"missing-product-name", F, kCosmetic},
    {"srgb-chromaticity-mismatch", F, kColour},
    {"colorimetry-reserved-bits", F, kColour},
    {"cta-native-mixed", F, kPicture},
    {"hdmi-needs-edid-1-3", F, kInterop},
    {"hdmi-tmds-above-340", F, kPicture},
    {"hf-tmds-invalid", F, kPicture},
    {"hdmi-vic-without-cta-vic", F, kPicture},
    {"duplicate-vic", F, kInterop},
    {"unknown-vic", F, kPicture},
    {"missing-required-timing", F, kPicture},
    {"y420-map-beyond-svds", F, kPicture},
    {"extension-count-mismatch", F, kInterop},
    {"unknown-extension", F, kInterop},
    {"cta-padding-nonzero", F, kCosmetic},
    {"empty-descriptor-zeroes", F, kCosmetic},
    {"dummy-descriptor-garbage", F, kCosmetic},
    {"text-non-printable", F, kCosmetic},
    {"text-empty-or-trailing-space", F, kCosmetic},
    {"standard-timing-invalid-code", F, kCosmetic},
    {"digital-interface-reserved", F, kInterop},
    {"year-in-future", F, kCosmetic},
    {"checksum", F, kInterop},
    {"header-invalid", F, kInterop},
    {"truncated-block", F, kInterop},
    {"data-block-overrun", F, kInterop},
    {"dtd-offset-invalid", F, kInterop},
    {"dtd-invalid", F, kPicture},
    {"missing-preferred-timing", F, kPicture},
    {"descriptor-unknown-type", F, kInterop},
    {"cta-basic-audio-missing", F, FindingImpact::Audio},
    {"audio-format-reserved", F, FindingImpact::Audio},
};

} // namespace

const FindingKind& KindOf(FindingId id) {
    return kKinds[static_cast<std::size_t>(id)];
}

const FindingKind* FindingKinds() {
    return kKinds;
}

const char* SeverityName(FindingSeverity severity) {
    return severity == FindingSeverity::Failure ? "failure" : "warning";
}

const char* ImpactName(FindingImpact impact) {
    switch (impact) {
    case FindingImpact::Picture:
        return "picture";
    case FindingImpact::Colour:
        return "colour";
    case FindingImpact::Audio:
        return "audio";
    case FindingImpact::Interop:
        return "interop";
    case FindingImpact::Cosmetic:
        return "cosmetic";
    }
    return "";
}

} // namespace lvx
