#pragma once

#include "edid/EdidRecord.h"

namespace lvx {

class HexTableModel;

// "Copy to EDID Creator": hands a valid analysed EDID to the creator. The creator record
// takes the image (brand-new flag off, content-present flag on) and is decoded, and the hex
// table shows it. Refused (false, nothing changed) while the source has a validation error.
bool CopyToCreator(const EdidRecord& source, EdidRecord& creator, HexTableModel& hexTable);

} // namespace lvx
