#pragma once

#include "common/EdidImage.h"

#include <cstdint>
#include <string>

namespace lvx {

// One pass of a fresh creator over an image, without windows: the image is loaded as "Open
// EDID" loads a file (into a creator model of its own, with a hex table of its own), then
// built as "Save EDID" builds. For the fuzz target and the benchmarks.
struct CreatorPass {
    std::uint16_t status = 0; // the creator record's status word after the load
    EdidImage shown{};        // what the hex table shows after the load
    bool built = false;       // the build made an image
    EdidImage image{};        // the built image
    std::string error;        // why the build stopped
};
CreatorPass RunCreatorOnce(const EdidImage& image);

} // namespace lvx
