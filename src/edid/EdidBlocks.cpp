#include "edid/EdidBlocks.h"

namespace lvx {

namespace {
int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return 0;
}
} // namespace

std::size_t EdidBlockBase(int command) {
    return command >= 8 && command <= 11 ? static_cast<std::size_t>(command - 8) * 64 : 0;
}

void DecodeEdidBlockAnswer(std::string_view answer, std::size_t base, EdidImage& image) {
    for (std::size_t j = 0; j < 64 && base + j < image.size(); ++j) {
        const std::size_t at = 2 * j;
        if (at >= answer.size()) {
            return;
        }
        const int high = DigitValue(answer[at]);
        const int low = at + 1 < answer.size() ? DigitValue(answer[at + 1]) : 0;
        image[base + j] = static_cast<std::uint8_t>(high * 16 + low);
    }
}

} // namespace lvx
