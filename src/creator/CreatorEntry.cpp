#include "creator/CreatorEntry.h"

#include "creator/CreatorModel.h"
#include "creator/HexTableModel.h"

namespace lvx {

CreatorPass RunCreatorOnce(const EdidImage& image) {
    HexTableModel hex;
    CreatorModel model(hex);
    model.openImage(image);
    CreatorPass pass;
    pass.status = model.record().status;
    pass.shown = hex.image();
    const BuildResult result = model.build();
    pass.built = result.ok;
    pass.image = result.image;
    pass.error = result.error;
    return pass;
}

} // namespace lvx
