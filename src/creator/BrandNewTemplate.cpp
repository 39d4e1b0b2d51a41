#include "creator/BrandNewTemplate.h"

namespace lvx {

namespace {

constexpr EdidImage MakeTemplate() {
    constexpr std::uint8_t head[] = {
        // Block 0
        0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x38, 0xB7, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, //
        0x0F, 0x19, 0x01, 0x03, 0x80, 0x10, 0x09, 0x78, 0x02, 0xAE, 0xA5, 0xA6, 0x54, 0x4C, 0x99,
        0x26, //
        0x14, 0x50, 0x54, 0x21, 0x00, 0x00, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x01,
        0x01, //
        0x01, 0x01, 0x01, 0x01, 0x01, 0x01, 0x02, 0x3A, 0x80, 0x18, 0x71, 0x38, 0x2D, 0x40, 0x58,
        0x2C, //
        0x45, 0x00, 0xA0, 0x5A, 0x00, 0x00, 0x00, 0x1E, 0x01, 0x1D, 0x00, 0x72, 0x51, 0xD0, 0x1E,
        0x20, //
        0x6E, 0x28, 0x55, 0x00, 0xA0, 0x5A, 0x00, 0x00, 0x00, 0x1E, 0x00, 0x00, 0x00, 0xFC, 0x00,
        0x42, //
        0x72, 0x61, 0x6E, 0x64, 0x4E, 0x65, 0x77, 0x45, 0x64, 0x69, 0x64, 0x0A, 0x00, 0x00, 0x00,
        0xFD, //
        0x00, 0x31, 0x3D, 0x0F, 0x44, 0x11, 0x00, 0x0A, 0x20, 0x20, 0x20, 0x20, 0x20, 0x00, 0x01,
        0xD3, //
        // Block 1
        0x02, 0x03, 0x13, 0x71, 0x41, 0x10, 0x23, 0x09, 0x07, 0x03, 0x68, 0x03, 0x0C, 0x00, 0x10,
        0x00,       //
        0x80, 0x21, //
    };
    EdidImage image{};
    std::size_t i = 0;
    for (std::uint8_t b : head) {
        image[i++] = b;
    }
    image[kEdidChecksum1Offset] = 0xC8; // the rest of block 1 is zero
    return image;
}

constexpr EdidImage kTemplate = MakeTemplate();

// Days since 1970-01-01 of a proleptic Gregorian date.
long DaysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

// ISO weekday, Monday 1 to Sunday 7.
int IsoWeekday(long days) {
    const long w = (days % 7 + 7 + 3) % 7; // 1970-01-01 was a Thursday
    return static_cast<int>(w) + 1;
}

// Days since 1970-01-01 of the Monday of ISO week 1 of an ISO year.
long IsoYearStart(long year) {
    const long jan4 = DaysFromCivil(year, 1, 4);
    return jan4 - (IsoWeekday(jan4) - 1);
}

} // namespace

const EdidImage& BrandNewTemplate() {
    return kTemplate;
}

void StampManufactureDate(EdidImage& image, int year, int week) {
    image[17] = static_cast<std::uint8_t>(((year - 1990) % 256 + 256) % 256);
    image[16] = static_cast<std::uint8_t>(week);
    image[kEdidChecksum0Offset] = BlockChecksum(image, 0);
}

EdidImage StampBrandNewDate(int year, int isoWeek) {
    EdidImage image = kTemplate;
    StampManufactureDate(image, year, isoWeek);
    return image;
}

int IsoWeekNumber(int year, int month, int day) {
    const long days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    long start = IsoYearStart(year + 1);
    if (days < start) {
        start = IsoYearStart(year);
        if (days < start) {
            start = IsoYearStart(year - 1);
        }
    }
    return static_cast<int>((days - start) / 7) + 1;
}

} // namespace lvx
