#include "edid/EdidBlocks.h"

namespace lvx {

namespace {

// The CRC's four characters and the line feed after the body.
constexpr std::size_t kAnswerTrailer = 5;

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

} // namespace

std::size_t EdidBlockBase(int command) {
    return command >= 8 && command <= 11 ? static_cast<std::size_t>(command - 8) * 64 : 0;
}

bool IsEdidBlockAnswer(std::string_view answer) {
    if (answer.size() != kEdidBlockHexChars + kAnswerTrailer || answer.back() != '\n') {
        return false;
    }
    for (std::size_t i = 0; i < kEdidBlockHexChars; ++i) {
        if (DigitValue(answer[i]) < 0) {
            return false;
        }
    }
    return true;
}

bool DecodeEdidBlockAnswer(std::string_view answer, std::size_t base, EdidImage& image) {
    if (!IsEdidBlockAnswer(answer) || base + kEdidBlockHexChars / 2 > image.size()) {
        return false;
    }
    for (std::size_t j = 0; j < kEdidBlockHexChars / 2; ++j) {
        image[base + j] = static_cast<std::uint8_t>(DigitValue(answer[2 * j]) * 16 +
                                                    DigitValue(answer[2 * j + 1]));
    }
    return true;
}

} // namespace lvx
