#pragma once

#include "common/EdidImage.h"

#include <cstdint>

namespace lvx {

// One pass of a fresh creator over an image, without windows: the image is loaded as "Open
// EDID" loads a file (into a creator model of its own, with a hex table of its own). For the
// fuzz target and the benchmarks.
struct CreatorPass {
    std::uint16_t status = 0; // the creator record's status word after the load
    EdidImage shown{};        // what the hex table shows after the load
};
CreatorPass RunCreatorOnce(const EdidImage& image);

} // namespace lvx
