#include "creator/CreatorPresets.h"

#include "edid/TimingPresets.h"

#include <algorithm>

namespace lvx {

namespace {

constexpr int kBaseTiming = 54;

// The decoder reads the first block-1 timing (at 128 + d) only for d below 109, and
// recognises it only when its first byte is not 0.
bool HasExtensionTiming(const EdidImage& image) {
    const int d = image[130];
    return d < 109 && image[static_cast<std::size_t>(128 + d)] != 0;
}

SizeAndBorders SizeAndBordersAt(const EdidImage& image, int offset) {
    SizeAndBorders bytes{};
    for (int i = 0; i < 5; ++i) {
        const int at = offset + 12 + i;
        bytes[static_cast<std::size_t>(i)] =
            at < static_cast<int>(kEdidSize) ? image[static_cast<std::size_t>(at)] : 0;
    }
    return bytes;
}

} // namespace

std::uint8_t BasePresetShown(const EdidRecord& record) {
    return (record.image[24] & 0x02) != 0 ? record.basePresetIndex : 0;
}

std::uint8_t ExtensionPresetShown(const EdidRecord& record) {
    return HasExtensionTiming(record.image) ? record.extensionPresetIndex : 0;
}

PresetReference ReferenceOf(const EdidRecord& reference) {
    PresetReference r;
    r.baseIndex = BasePresetShown(reference);
    r.extensionIndex = ExtensionPresetShown(reference);
    r.base = SizeAndBordersAt(reference.image, kBaseTiming);
    r.extension = SizeAndBordersAt(reference.image, 128 + reference.image[130]);
    r.rangeLimitOffset = reference.rangeLimitOffset;
    r.rangeLimitClock = reference.rangeLimitClock;
    return r;
}

DetailedTiming PresetDescriptor(int index, const SizeAndBorders& sizeAndBorders) {
    const auto& presets = TimingPresets();
    const std::size_t row = index >= 0 && index < static_cast<int>(presets.size())
                                ? static_cast<std::size_t>(index)
                                : 0;
    DetailedTiming bytes = presets[row].bytes;
    std::copy(sizeAndBorders.begin(), sizeAndBorders.end(), bytes.begin() + 12);
    return bytes;
}

std::optional<int> Block1PresetOffset(std::uint8_t d) {
    const int offset = 128 + d;
    if (d < 4 || offset + static_cast<int>(kDetailedTimingSize) > 255) {
        return std::nullopt;
    }
    return offset;
}

std::optional<std::uint8_t> RangeLimitFor(int index, const PresetReference& reference) {
    if (index == reference.baseIndex) {
        return reference.rangeLimitClock;
    }
    if (index == 1 && reference.rangeLimitClock < 60) {
        return 60;
    }
    if ((index == 2 || index == 3) && reference.rangeLimitClock < 30) {
        return 30;
    }
    return std::nullopt;
}

} // namespace lvx
