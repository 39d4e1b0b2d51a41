// The rules that edit block 0's timing bits and preview block 1's data blocks in the work
// image as the user checks and unchecks boxes.
#include "creator/CreatorIds.h"
#include "creator/CreatorModel.h"
#include "creator/EdidWorkImage.h"
#include "edid/CtaCodes.h"
#include "edid/EdidDecoder.h"
#include "edid/TimingPresets.h"

#include <algorithm>

namespace lvx {

void CreatorModel::establishedRule(int id) {
    if (!loaded()) {
        return;
    }
    const int n = definition(id).arg;
    const int offset = n <= 8 ? 35 : n <= 16 ? 36 : 37;
    const int bit = n <= 16 ? 7 - (n - 1) % 8 : 7;
    std::uint8_t byte = image_.byteAt(offset);
    if (state(id).checked) {
        byte = static_cast<std::uint8_t>(byte | (1u << bit));
    } else {
        byte = static_cast<std::uint8_t>(byte & ~(1u << bit));
    }
    const bool same = byte == reference_.image[static_cast<std::size_t>(offset)];
    image_.writeBytes(offset, {byte}, same ? kCellWhite : kCellYellow);
}

void CreatorModel::standardRule(int id) {
    if (!loaded()) {
        return;
    }
    const std::uint16_t word =
        StandardTimings()[static_cast<std::size_t>(definition(id).arg - 1)].word;
    const EdidImage& reference = reference_.image;
    auto wordAt = [](auto byteAt, int slot) {
        return static_cast<std::uint16_t>((byteAt(38 + 2 * slot) << 8) | byteAt(39 + 2 * slot));
    };
    auto current = [this](int offset) { return image_.byteAt(offset); };
    auto loadedByte = [&reference](int offset) {
        return reference[static_cast<std::size_t>(offset)];
    };
    int c = -1;
    int r = -1;
    int freeSlot = -1;
    for (int slot = 7; slot >= 0; --slot) {
        const std::uint16_t now = wordAt(current, slot);
        if (now == word) {
            c = slot;
        }
        if (wordAt(loadedByte, slot) == word) {
            r = slot;
        }
        if (now == 0x0000 || now == 0x0101) {
            freeSlot = slot;
        }
    }
    auto write = [this](int slot, std::uint16_t value, CellColour colour) {
        image_.writeBytes(38 + 2 * slot,
                          {static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)},
                          colour);
    };
    if (state(id).checked) {
        if (r >= 0) {
            write(r, word, kCellWhite);
        } else if (freeSlot >= 0) {
            write(freeSlot, word, kCellYellow);
        }
    } else if (r >= 0) {
        write(r, 0x0101, kCellYellow);
    } else if (c >= 0) {
        write(c, 0x0101, kCellWhite);
    }
}

std::optional<std::pair<int, int>> CreatorModel::firstBlock(std::uint8_t tag) const {
    const EdidImage image = image_.bytes();
    std::size_t position = kFirstDataBlock;
    if (!FindDataBlock(image, tag, position)) {
        return std::nullopt;
    }
    return std::pair<int, int>{static_cast<int>(position), image[position] & 0x1F};
}

void CreatorModel::vicPreview(int id) {
    if (!loaded()) {
        return;
    }
    const auto block = firstBlock(kTagVideo);
    const int d = image_.byteAt(130);
    if (!block) {
        return;
    }
    const auto [h, length] = *block;
    const auto vic = static_cast<std::uint8_t>(definition(id).arg);
    // The last byte of the block that names this VIC (native flag aside).
    int found = -1;
    for (int j = 0; j < length && h + 1 + j < 255; ++j) {
        const std::uint8_t v = image_.byteAt(h + 1 + j);
        if (SvdVic(v) == vic) {
            found = j;
        }
    }
    if (state(id).checked) {
        // A VIC the block holds already is not put in twice; a full block (31 VICs) or a DTD
        // offset at its end cannot grow.
        if (found >= 0 || length >= 31 || d >= 255) {
            return;
        }
        const auto& loadedList = reference_.svd;
        const auto k = std::find(loadedList.begin(), loadedList.end(), vic) - loadedList.begin();
        const int at = k < static_cast<long>(loadedList.size()) && k < length
                           ? h + 1 + static_cast<int>(k)
                           : h + 1 + length;
        image_.insertGap(at, 1);
        image_.writeBytes(h, {static_cast<std::uint8_t>(0x40 + length + 1)}, kCellYellow);
        image_.colourRange(h, length + 2, kCellYellow);
        image_.writeBytes(at, {vic}, kCellOrange);
        image_.writeBytes(130, {static_cast<std::uint8_t>(d + 1)}, kCellYellow);
        return;
    }
    if (found < 0 || d == 0) {
        return; // checked for an HDMI VIC only: the block does not hold it
    }
    image_.deleteBytes(h + 1 + found + 1, 1);
    image_.writeBytes(h, {static_cast<std::uint8_t>(0x40 + length - 1)}, kCellYellow);
    image_.colourRange(h, length, kCellYellow);
    image_.writeBytes(130, {static_cast<std::uint8_t>(d - 1)}, kCellYellow);
}

void CreatorModel::basicPreview(int id) {
    if (!loaded()) {
        return;
    }
    const auto block = firstBlock(kTagAudio);
    const int d = image_.byteAt(130);
    if (!block) {
        return;
    }
    const auto [h, length] = *block;
    if (state(id).checked) {
        if (length + 3 > 31 || d + 3 > 255) {
            return; // the block cannot take three more bytes
        }
        std::uint8_t frequencies = 0;
        for (int n = 0; n < 7; ++n) {
            if (state(ids().audio[0].freq[static_cast<std::size_t>(n)]).checked) {
                frequencies |= static_cast<std::uint8_t>(0x40 >> n);
            }
        }
        std::uint8_t sizes = 0;
        for (int n = 0; n < 3; ++n) {
            if (state(ids().sampleSize[static_cast<std::size_t>(n)]).checked) {
                sizes |= static_cast<std::uint8_t>(0x04 >> n);
            }
        }
        image_.insertGap(h + 1, 3);
        image_.writeBytes(h, {static_cast<std::uint8_t>(0x20 + length + 3)}, kCellYellow);
        image_.writeBytes(h + 1, {0x09, frequencies, sizes}, kCellYellow);
        image_.writeBytes(130, {static_cast<std::uint8_t>(d + 3)}, kCellYellow);
        return;
    }
    // The descriptor the build removes too: the first whose first byte is 0x09.
    int found = -1;
    for (int k = 0; 3 * k + 3 <= length && found < 0; ++k) {
        if (image_.byteAt(h + 1 + 3 * k) == 0x09) {
            found = k;
        }
    }
    if (found < 0 || d < 3) {
        return;
    }
    image_.deleteBytes(h + 1 + 3 * found + 3, 3);
    image_.writeBytes(h, {static_cast<std::uint8_t>(0x20 + length - 3)},
                      length == 3 ? kCellRed : kCellYellow);
    image_.writeBytes(130, {static_cast<std::uint8_t>(d - 3)}, kCellYellow);
}

} // namespace lvx
