#pragma once

#include "common/EdidImage.h"
#include "edid/EdidRecord.h"

#include <array>
#include <map>
#include <string>
#include <string_view>

namespace lvx {

// One row of the analyzer's "EDID Information" group: its fixed caption and the name of its
// value label, from top to bottom.
struct AnalyzerRow {
    std::string_view caption;
    std::string_view label;
};
constexpr std::size_t kAnalyzerRowCount = 15;
const std::array<AnalyzerRow, kAnalyzerRowCount>& AnalyzerRows();

// What the analyzer shows for one decoded record.
struct AnalyzerReport {
    bool valid = false;
    // The fifteen value-label texts keyed by label name ("Label_Edid_Header", ...).
    std::map<std::string, std::string, std::less<>> labels;
    // The audio formats text as its label shows it, with at most one "\r\n", and the same
    // text without the break.
    std::string audioFormats;
    std::string audioFormatsFlat;
    // The audio formats text took its line break (a valid EDID only).
    bool audioWrapped = false;

    // The text of a label, empty for an unknown name.
    std::string text(std::string_view label) const;
};

// The report of a record that has been decoded.
AnalyzerReport BuildAnalyzerReport(const EdidRecord& record);

// Decodes the image into the record, then builds its report.
AnalyzerReport AnalyzeImage(EdidRecord& record, const EdidImage& image);

// The audio formats text for a set of audio flags: with the single line break the label
// gets, and whether it got it.
struct AudioFormatsText {
    std::string text;
    std::string flat;
    bool wrapped = false;
};
AudioFormatsText FormatAudioFlags(std::uint16_t audioFlags);

} // namespace lvx
