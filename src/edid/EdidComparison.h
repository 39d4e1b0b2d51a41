#pragma once

#include "common/EdidImage.h"
#include "edid/EdidParse.h" // DescribeShortAudioDescriptor

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lvx {

// Where each byte of an EDID image belongs, as a technician names it: "Manufacturer ID",
// "Descriptor 2 (monitor name)", "Video Data Block", "Detailed timing 1 (block 1)", ... The
// extension's data blocks are found with the decoder's own walk; block 1 of an image whose
// base block announces no extension is one field.
struct EdidFieldMap {
    // A field's name without building a text: a fixed text, or a text, a number and a fixed
    // ending ("Descriptor " 2 " (monitor name)").
    struct Label {
        std::string_view text;
        int number = -1; // none when negative
        std::string_view ending;
        friend bool operator==(const Label& a, const Label& b) {
            return a.text == b.text && a.number == b.number && a.ending == b.ending;
        }
    };

    std::array<std::uint8_t, kEdidSize> field{}; // index into labels
    std::vector<Label> labels;

    std::string nameAt(std::size_t offset) const;
    const Label& labelAt(std::size_t offset) const { return labels[field[offset]]; }
};
EdidFieldMap MapEdidFields(const EdidImage& image);

// One analyzer fact on both sides.
struct FactComparison {
    std::string key;     // as linkvex-cli analyze --json names it ("Max_Resolution")
    std::string caption; // as the analyzer shows it, without its padding ("Max Resolution")
    std::string a;
    std::string b;
    bool differs = false;
};

// An entry of a decoded list that only one side has.
struct ListChange {
    enum class List { Vic, Audio, Speaker, Timing };
    List list = List::Vic;
    bool added = false; // true: only B has it; false: only A has it
    std::string text;   // "VIC 16: 1920x1080p 60 Hz 16:9", "L-PCM 2 ch, 32/44.1/48 kHz, ..."
};

// A run of differing bytes inside one field.
struct ByteRange {
    int first = 0;
    int last = 0;
    std::string field; // A's name for it, and B's after " / " when B names it otherwise
};

// What differs between two EDIDs: the analyzer's fifteen facts side by side, the entries of
// the decoded lists (VICs, short audio descriptors, speakers, detailed timings) that only one
// side has, and the runs of differing bytes with the field each belongs to.
struct EdidComparison {
    bool equal = true; // all 256 bytes alike
    std::vector<FactComparison> facts;
    std::vector<ListChange> changes;
    std::vector<ByteRange> ranges;
    std::array<bool, kEdidSize> differs{};
    int differingBytes = 0;

    int differingFacts() const;
};

EdidComparison CompareEdids(const EdidImage& a, const EdidImage& b);

// The name of a list ("VICs", "Audio descriptors", "Speakers", "Detailed timings").
const char* ListName(ListChange::List list);

// Texts of single entries, as the comparison writes them.
std::string DescribeVic(int vic);
std::string DescribeDetailedTiming(const std::uint8_t* descriptor); // 18 bytes
// The speaker (pair) of a bit of the speaker allocation (bits 23-16 payload byte 1, ...).
std::string SpeakerName(int bit);

} // namespace lvx
