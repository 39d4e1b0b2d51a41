#pragma once

#include "edid/VideoTiming.h"

#include <cstdint>

namespace lvx {

// The video formats of CTA-861 by their Video Identification Code (1-127 and 193-219), and
// the four formats of the HDMI 1.4 vendor block's HDMI VICs. Vertical figures of an
// interlaced format are lines per field, its vActive the frame's lines.
struct VicFormat {
    std::uint8_t vic;
    VideoTiming timing;
};

// The format of a VIC, or nullptr for a code the table does not hold (0, 128-192, 220-255).
const VideoTiming* FindVic(int vic);
// The format of an HDMI VIC (1-4), or nullptr.
const VideoTiming* FindHdmiVic(int hdmiVic);
// The CTA-861 VIC with the same picture as an HDMI VIC (95, 94, 93, 98), or 0.
int HdmiVicToVic(int hdmiVic);

// Every row, in code order, for tests that hold it against another listing.
const VicFormat* VicFormats(std::size_t& count);

} // namespace lvx
