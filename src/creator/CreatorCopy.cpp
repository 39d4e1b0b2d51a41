#include "creator/CreatorCopy.h"

#include "creator/HexTableModel.h"
#include "edid/EdidDecoder.h"

namespace lvx {

bool CopyToCreator(const EdidRecord& source, EdidRecord& creator, HexTableModel& hexTable) {
    if ((source.status & kStatusValidationMask) != 0) {
        return false;
    }
    creator.status =
        static_cast<std::uint16_t>((creator.status & ~kStatusBrandNew) | kStatusContentPresent);
    const EdidImage image = source.image;
    Decode(creator, image);
    creator.status |= kStatusCreatorLoaded;
    hexTable.load(creator);
    return true;
}

} // namespace lvx
