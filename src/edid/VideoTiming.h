#pragma once

#include <cstdint>
#include <optional>

namespace lvx {

// One video timing as the tables and the formulas give it: the active picture, the
// horizontal blanking as front porch, sync and back porch in pixels, the vertical blanking
// likewise in lines per field, and the pixel clock. vActive counts the lines of the whole
// frame, also for an interlaced timing.
struct VideoTiming {
    std::uint32_t pixelClockKHz = 0;
    std::uint16_t hActive = 0;
    std::uint16_t hFront = 0;
    std::uint16_t hSync = 0;
    std::uint16_t hBack = 0;
    std::uint16_t vActive = 0;
    std::uint16_t vFront = 0;
    std::uint16_t vSync = 0;
    std::uint16_t vBack = 0;
    bool interlaced = false;
    bool hSyncPositive = false;
    bool vSyncPositive = false;
    std::uint16_t aspectW = 0; // picture aspect ratio, 0:0 when none is given
    std::uint16_t aspectH = 0;

    std::uint32_t hTotal() const { return 0u + hActive + hFront + hSync + hBack; }
    // Lines of a frame; an interlaced frame has two fields and one half line in each.
    double frameLines() const;
    double lineRateHz() const;
    // Fields per second (frames per second for a progressive timing).
    double fieldRateHz() const;
};

// The timings a standard timing's formula gives (VESA GTF with its default curve, and CVT
// with standard or reduced blanking), for a refresh rate in whole hertz. Nothing for a size
// or rate the formula cannot handle (0 lines, a rate that leaves no active time).
std::optional<VideoTiming> GtfTiming(int hActive, int vActive, int refreshHz, bool interlaced);
std::optional<VideoTiming> CvtTiming(int hActive, int vActive, int refreshHz, bool interlaced,
                                     bool reducedBlanking);

} // namespace lvx
