#pragma once

#include "protocol/DeviceRecord.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lvx {

constexpr char kFieldSeparator = '\x0C';
constexpr std::string_view kListSeparator = "----------------";

// Splits an answer into its form-feed separated fields. The first field is the text before
// the first separator; each later field starts after the previous separator and its closing
// separator is searched from one character after its start, so a later field is at least one
// character long. Only fields closed by a separator are returned.
std::vector<std::string> ReadFields(std::string_view answer);

// Decimal value of a field: optional blanks and sign, then digits. An empty or non-decimal
// field counts as 0.
long long FieldNumber(std::string_view field);

// A field read as a flag is true exactly when it is "T".
bool FieldFlag(std::string_view field);

// The item texts of the three EDID selection lists, computed from a device's counts.
struct EdidSelectionLists {
    std::vector<std::string> all;    // inputs, outputs, users, internals with separators
    std::vector<std::string> upload; // inputs, a separator, users
    std::vector<std::string> input;  // inputs only
    int selected = 0;                // item 0 is selected in all three
    bool inputVisible = false;       // the input chooser shows only for two or more inputs
};

EdidSelectionLists BuildEdidSelectionLists(int inputCount, int outputCount, int userCount,
                                           int internalCount);

// Fills the record from an answer to GET SYS_DSCPT and returns the refilled lists.
EdidSelectionLists ParseDeviceDescriptor(DeviceRecord& record, std::string_view answer);

// Fills the input or output node that the record's nodeSelector names from an answer to
// GET ND_DSCPT. Other node classes and node indexes beyond the table are not stored.
// Returns whether a node entry was written.
bool ParseNodeDescriptor(DeviceRecord& record, std::string_view answer);

} // namespace lvx
