#pragma once

#include "common/EdidImage.h"
#include "edid/EdidRecord.h"

#include <cstdint>
#include <string_view>

namespace lvx {

// The one error bit an image earns, or 0 when it is valid. Checks run in order and stop at
// the first failure: header, block-0 checksum, extension count (2 or more is "over banks",
// tested before block 1), and block-1 checksum only when the count is 1.
std::uint16_t ValidationError(const EdidImage& image);

// Clears the record's four error bits, then sets the bit of the first failed check, if any.
// Other status bits are left alone. Returns true when the image is valid.
bool Validate(EdidRecord& record);

// True when none of the four error bits is set.
bool isValid(std::uint16_t status);
bool isValid(const EdidRecord& record);

// The message the user sees for an invalid status ("Illegal Edid Header." ...), testing the
// bits in the order header, checksum 0, checksum 1, over banks; empty when none is set.
std::string_view InvalidStatusMessage(std::uint16_t status);

} // namespace lvx
