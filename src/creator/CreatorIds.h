#pragma once

// The creator model's controls by id, resolved from their names once. Shared by the model's
// source files only.

#include "creator/CreatorModel.h"

#include <array>

namespace lvx {

struct CreatorModel::Ids {
    struct Audio {
        int maxCh = -1;
        int bitRate = -1;
        int detail = -1;
        int panel = -1;
        int box = -1;
        std::array<int, 7> freq{};
    };
    int manufacturer, monitor, product, serial, year, week, cec;
    std::array<int, 17> established;
    std::array<int, 5> standard;
    int block0Preset, block1Preset;
    std::array<int, kCreatorVics.size()> vic;
    std::array<int, kCreatorYuv420Vics.size()> yuv420;
    std::array<int, 10> audioFormat; // by box number 1-9
    std::array<Audio, kAudioFormatCount> audio;
    std::array<int, 3> sampleSize;
    std::array<int, 12> speaker;      // by number 1-11
    std::array<int, 12> speakerRight; // by number; -1 where there is no pair
    std::array<int, 3> colorSpace, colorDepth, hdr, eotf, luminance;
    std::array<int, 8> colorimetry;
    int hdrDescriptor, hdrDetail, present3d, dvi, hdmi, status, warning, writeButton;
};

} // namespace lvx
