#include "creator/CreatorEntry.h"

#include "creator/CreatorModel.h"
#include "creator/EdidWorkImage.h"

namespace lvx {

CreatorPass RunCreatorOnce(const EdidImage& image) {
    EdidWorkImage work;
    CreatorModel model(work);
    model.openImage(image);
    CreatorPass pass;
    pass.status = model.record().status;
    pass.shown = work.bytes();
    const BuildResult result = model.build();
    pass.built = result.ok;
    pass.image = result.image;
    pass.error = result.error;
    return pass;
}

} // namespace lvx
