#include "edid/EdidRecord.h"

namespace lvx {

EdidRecord::EdidRecord() {
    ResetDecodedFields(*this);
}

void ResetDecodedFields(EdidRecord& r) {
    r.monitorNameOffset = 0;
    SetFieldText(r.monitorName, "UNDEFINE.");
    r.productCode = 0;
    r.serialNumber = 0;
    r.baseTimings.fill(0);
    for (DetailedTiming& timing : r.extensionTimings) {
        timing.fill(0);
    }
    r.rangeLimitOffset = 0;
    r.extensionFlags = 0;
    r.hdmiCapability = 0;
    r.maxColorDepth = 8;
    r.videoBlockOffset = 0;
    r.svd.fill(0);
    for (auto& sad : r.sad) {
        sad.fill(0);
    }
    r.speakerAllocation = 0;
    r.yuv420Video.fill(0);
    r.hdmiVic.fill(0);
    r.info3d.fill(0);
    r.colorimetry[0] = 0;
    r.hdrMetadata.fill(0);
    SetFieldText(r.maxResolutionName, "UNDEFINE.");
    r.support600MHz = 0;
    r.hdrDepthCode = 0;
    r.scdc = 0;
    r.yuv420 = 0;
    r.yuv420DeepColor = 0;
    r.cecAddress.fill(0);
    r.audioFlags = 0;
    r.maxAudioChannels = 0;
}

} // namespace lvx
