#include "edid/DmtTable.h"

#include <iterator>

namespace lvx {

namespace {

// ID, standard timing code, CVT code, reduced blanking, then the timing as in the VIC table:
// pixel clock in kHz; horizontal active, front porch, sync, back porch; vertical active
// (frame), front porch, sync, back porch (per field); interlaced; sync polarities (true:
// positive); picture aspect ratio. The borders of DMTs 0x04 and 0x05 are counted in their
// back porches.
constexpr DmtFormat kDmts[] = {
    {0x01, 0, 0, false, {31500, 640, 32, 64, 96, 350, 32, 3, 60, false, true, false, 64, 35}},
    {0x02, 0x3119, 0, false, {31500, 640, 32, 64, 96, 400, 1, 3, 41, false, false, true, 16, 10}},
    {0x03, 0, 0, false, {35500, 720, 36, 72, 108, 400, 1, 3, 42, false, false, true, 9, 5}},
    {0x04, 0x3140, 0, false, {25175, 640, 8, 96, 56, 480, 2, 2, 41, false, false, false, 4, 3}},
    {0x05, 0x314c, 0, false, {31500, 640, 16, 40, 136, 480, 1, 3, 36, false, false, false, 4, 3}},
    {0x06, 0x314f, 0, false, {31500, 640, 16, 64, 120, 480, 1, 3, 16, false, false, false, 4, 3}},
    {0x07, 0x3159, 0, false, {36000, 640, 56, 56, 80, 480, 1, 3, 25, false, false, false, 4, 3}},
    {0x08, 0, 0, false, {36000, 800, 24, 72, 128, 600, 1, 2, 22, false, true, true, 4, 3}},
    {0x09, 0x4540, 0, false, {40000, 800, 40, 128, 88, 600, 1, 4, 23, false, true, true, 4, 3}},
    {0x0A, 0x454c, 0, false, {50000, 800, 56, 120, 64, 600, 37, 6, 23, false, true, true, 4, 3}},
    {0x0B, 0x454f, 0, false, {49500, 800, 16, 80, 160, 600, 1, 3, 21, false, true, true, 4, 3}},
    {0x0C, 0x4559, 0, false, {56250, 800, 32, 64, 152, 600, 1, 3, 27, false, true, true, 4, 3}},
    {0x0D, 0, 0, true, {73250, 800, 48, 32, 80, 600, 3, 4, 29, false, true, false, 4, 3}},
    {0x0E, 0, 0, false, {33750, 848, 16, 112, 112, 480, 6, 8, 23, false, true, true, 16, 9}},
    {0x0F, 0, 0, false, {44900, 1024, 8, 176, 56, 768, 0, 4, 20, true, true, true, 4, 3}},
    {0x10, 0x6140, 0, false, {65000, 1024, 24, 136, 160, 768, 3, 6, 29, false, false, false, 4, 3}},
    {0x11, 0x614c, 0, false, {75000, 1024, 24, 136, 144, 768, 3, 6, 29, false, false, false, 4, 3}},
    {0x12, 0x614f, 0, false, {78750, 1024, 16, 96, 176, 768, 1, 3, 28, false, true, true, 4, 3}},
    {0x13, 0x6159, 0, false, {94500, 1024, 48, 96, 208, 768, 1, 3, 36, false, true, true, 4, 3}},
    {0x14, 0, 0, true, {115500, 1024, 48, 32, 80, 768, 3, 4, 38, false, true, false, 4, 3}},
    {0x15, 0x714f, 0, false, {108000, 1152, 64, 128, 256, 864, 1, 3, 32, false, true, true, 4, 3}},
    {0x16, 0, 0x7f1c21, true, {68250, 1280, 48, 32, 80, 768, 3, 7, 12, false, true, false, 5, 3}},
    {0x17,
     0,
     0x7f1c28,
     false,
     {79500, 1280, 64, 128, 192, 768, 3, 7, 20, false, false, true, 5, 3}},
    {0x18,
     0,
     0x7f1c44,
     false,
     {102250, 1280, 80, 128, 208, 768, 3, 7, 27, false, false, true, 5, 3}},
    {0x19,
     0,
     0x7f1c62,
     false,
     {117500, 1280, 80, 136, 216, 768, 3, 7, 31, false, false, true, 5, 3}},
    {0x1A, 0, 0, false, {140250, 1280, 48, 32, 80, 768, 3, 7, 35, false, true, false, 5, 3}},
    {0x1B, 0, 0x8f1821, true, {71000, 1280, 48, 32, 80, 800, 3, 6, 14, false, true, false, 16, 10}},
    {0x1C,
     0x8100,
     0x8f1828,
     false,
     {83500, 1280, 72, 128, 200, 800, 3, 6, 22, false, false, true, 16, 10}},
    {0x1D,
     0x810f,
     0x8f1844,
     false,
     {106500, 1280, 80, 128, 208, 800, 3, 6, 29, false, false, true, 16, 10}},
    {0x1E,
     0x8119,
     0x8f1862,
     false,
     {122500, 1280, 80, 136, 216, 800, 3, 6, 34, false, false, true, 16, 10}},
    {0x1F, 0, 0, true, {146250, 1280, 48, 32, 80, 800, 3, 6, 38, false, true, false, 16, 10}},
    {0x20, 0x8140, 0, false, {108000, 1280, 96, 112, 312, 960, 1, 3, 36, false, true, true, 4, 3}},
    {0x21, 0x8159, 0, false, {148500, 1280, 64, 160, 224, 960, 1, 3, 47, false, true, true, 4, 3}},
    {0x22, 0, 0, true, {175500, 1280, 48, 32, 80, 960, 3, 4, 50, false, true, false, 4, 3}},
    {0x23, 0x8180, 0, false, {108000, 1280, 48, 112, 248, 1024, 1, 3, 38, false, true, true, 5, 4}},
    {0x24, 0x818f, 0, false, {135000, 1280, 16, 144, 248, 1024, 1, 3, 38, false, true, true, 5, 4}},
    {0x25, 0x8199, 0, false, {157500, 1280, 64, 160, 224, 1024, 1, 3, 44, false, true, true, 5, 4}},
    {0x26, 0, 0, true, {187250, 1280, 48, 32, 80, 1024, 3, 7, 50, false, true, false, 5, 4}},
    {0x27, 0, 0, false, {85500, 1360, 64, 112, 256, 768, 3, 6, 18, false, true, true, 85, 48}},
    {0x28, 0, 0, true, {148250, 1360, 48, 32, 80, 768, 3, 5, 37, false, true, false, 85, 48}},
    {0x29, 0, 0x0c2021, true, {101000, 1400, 48, 32, 80, 1050, 3, 4, 23, false, true, false, 4, 3}},
    {0x2A,
     0x9040,
     0x0c2028,
     false,
     {121750, 1400, 88, 144, 232, 1050, 3, 4, 32, false, false, true, 4, 3}},
    {0x2B,
     0x904f,
     0x0c2044,
     false,
     {156000, 1400, 104, 144, 248, 1050, 3, 4, 42, false, false, true, 4, 3}},
    {0x2C,
     0x9059,
     0x0c2062,
     false,
     {179500, 1400, 104, 152, 256, 1050, 3, 4, 48, false, false, true, 4, 3}},
    {0x2D, 0, 0, true, {208000, 1400, 48, 32, 80, 1050, 3, 4, 55, false, true, false, 4, 3}},
    {0x2E, 0, 0xc11821, true, {88750, 1440, 48, 32, 80, 900, 3, 6, 17, false, true, false, 16, 10}},
    {0x2F,
     0x9500,
     0xc11828,
     false,
     {106500, 1440, 80, 152, 232, 900, 3, 6, 25, false, false, true, 16, 10}},
    {0x30,
     0x950f,
     0xc11844,
     false,
     {136750, 1440, 96, 152, 248, 900, 3, 6, 33, false, false, true, 16, 10}},
    {0x31,
     0x9519,
     0xc11868,
     false,
     {157000, 1440, 104, 152, 256, 900, 3, 6, 39, false, false, true, 16, 10}},
    {0x32, 0, 0, true, {182750, 1440, 48, 32, 80, 900, 3, 6, 44, false, true, false, 16, 10}},
    {0x33, 0xa940, 0, false, {162000, 1600, 64, 192, 304, 1200, 1, 3, 46, false, true, true, 4, 3}},
    {0x34, 0xa945, 0, false, {175500, 1600, 64, 192, 304, 1200, 1, 3, 46, false, true, true, 4, 3}},
    {0x35, 0xa94a, 0, false, {189000, 1600, 64, 192, 304, 1200, 1, 3, 46, false, true, true, 4, 3}},
    {0x36, 0xa94f, 0, false, {202500, 1600, 64, 192, 304, 1200, 1, 3, 46, false, true, true, 4, 3}},
    {0x37, 0xa959, 0, false, {229500, 1600, 64, 192, 304, 1200, 1, 3, 46, false, true, true, 4, 3}},
    {0x38, 0, 0, true, {268250, 1600, 48, 32, 80, 1200, 3, 4, 64, false, true, false, 4, 3}},
    {0x39,
     0,
     0x0c2821,
     true,
     {119000, 1680, 48, 32, 80, 1050, 3, 6, 21, false, true, false, 16, 10}},
    {0x3A,
     0xb300,
     0x0c2828,
     false,
     {146250, 1680, 104, 176, 280, 1050, 3, 6, 30, false, false, true, 16, 10}},
    {0x3B,
     0xb30f,
     0x0c2844,
     false,
     {187000, 1680, 120, 176, 296, 1050, 3, 6, 40, false, false, true, 16, 10}},
    {0x3C,
     0xb319,
     0x0c2868,
     false,
     {214750, 1680, 128, 176, 304, 1050, 3, 6, 46, false, false, true, 16, 10}},
    {0x3D, 0, 0, true, {245500, 1680, 48, 32, 80, 1050, 3, 6, 53, false, true, false, 16, 10}},
    {0x3E,
     0xc140,
     0,
     false,
     {204750, 1792, 128, 200, 328, 1344, 1, 3, 46, false, false, true, 4, 3}},
    {0x3F,
     0xc14f,
     0,
     false,
     {261000, 1792, 96, 216, 352, 1344, 1, 3, 69, false, false, true, 4, 3}},
    {0x40, 0, 0, true, {333250, 1792, 48, 32, 80, 1344, 3, 4, 72, false, true, false, 4, 3}},
    {0x41,
     0xc940,
     0,
     false,
     {218250, 1856, 96, 224, 352, 1392, 1, 3, 43, false, false, true, 4, 3}},
    {0x42,
     0xc94f,
     0,
     false,
     {288000, 1856, 128, 224, 352, 1392, 1, 3, 104, false, false, true, 4, 3}},
    {0x43, 0, 0, true, {356500, 1856, 48, 32, 80, 1392, 3, 4, 74, false, true, false, 4, 3}},
    {0x44,
     0,
     0x572821,
     true,
     {154000, 1920, 48, 32, 80, 1200, 3, 6, 26, false, true, false, 16, 10}},
    {0x45,
     0xd100,
     0x572828,
     false,
     {193250, 1920, 136, 200, 336, 1200, 3, 6, 36, false, false, true, 16, 10}},
    {0x46,
     0xd10f,
     0x572844,
     false,
     {245250, 1920, 136, 208, 344, 1200, 3, 6, 46, false, false, true, 16, 10}},
    {0x47,
     0xd119,
     0x572862,
     false,
     {281250, 1920, 144, 208, 352, 1200, 3, 6, 53, false, false, true, 16, 10}},
    {0x48, 0, 0, true, {317000, 1920, 48, 32, 80, 1200, 3, 6, 62, false, true, false, 16, 10}},
    {0x49,
     0xd140,
     0,
     false,
     {234000, 1920, 128, 208, 344, 1440, 1, 3, 56, false, false, true, 4, 3}},
    {0x4A,
     0xd14f,
     0,
     false,
     {297000, 1920, 144, 224, 352, 1440, 1, 3, 56, false, false, true, 4, 3}},
    {0x4B, 0, 0, true, {380500, 1920, 48, 32, 80, 1440, 2, 3, 78, false, true, false, 4, 3}},
    {0x4C,
     0,
     0x1f3821,
     true,
     {268500, 2560, 48, 32, 80, 1600, 3, 6, 37, false, true, false, 16, 10}},
    {0x4D,
     0,
     0x1f3828,
     false,
     {348500, 2560, 192, 280, 472, 1600, 3, 6, 49, false, false, true, 16, 10}},
    {0x4E,
     0,
     0x1f3844,
     false,
     {443250, 2560, 208, 280, 488, 1600, 3, 6, 63, false, false, true, 16, 10}},
    {0x4F,
     0,
     0x1f3862,
     false,
     {505250, 2560, 208, 280, 488, 1600, 3, 6, 73, false, false, true, 16, 10}},
    {0x50, 0, 0, true, {552750, 2560, 48, 32, 80, 1600, 3, 6, 85, false, true, false, 16, 10}},
    {0x51, 0, 0, false, {85500, 1366, 70, 143, 213, 768, 3, 3, 24, false, true, true, 85, 48}},
    {0x52, 0xd1c0, 0, false, {148500, 1920, 88, 44, 148, 1080, 4, 5, 36, false, true, true, 16, 9}},
    {0x53, 0xa9c0, 0, true, {108000, 1600, 24, 80, 96, 900, 1, 3, 96, false, true, true, 16, 9}},
    {0x54, 0xe1c0, 0, true, {162000, 2048, 26, 80, 96, 1152, 1, 3, 44, false, true, true, 16, 9}},
    {0x55, 0x81c0, 0, false, {74250, 1280, 110, 40, 220, 720, 5, 5, 20, false, true, true, 16, 9}},
    {0x56, 0, 0, true, {72000, 1366, 14, 56, 64, 768, 1, 3, 28, false, true, true, 85, 48}},
    {0x57, 0, 0, true, {556744, 4096, 8, 32, 40, 2160, 48, 8, 6, false, true, false, 256, 135}},
    {0x58, 0, 0, true, {556188, 4096, 8, 32, 40, 2160, 48, 8, 6, false, true, false, 256, 135}},
};

// The timings of IBM and Apple that established timings I and II hold beside the DMTs; their
// blanking is known only as a whole and is kept in the back porch.
constexpr VideoTiming kIbm720x400at70{28320, 720, 0,     0,     180,  400, 0,
                                      0,     49,  false, false, true, 9,   5};
constexpr VideoTiming kIbm720x400at88{35500, 720, 0,     0,     180,  400, 0,
                                      0,     49,  false, false, true, 9,   5};
constexpr VideoTiming kApple640x480at67{30240, 640, 0,     0,     224,   480, 0,
                                        0,     45,  false, false, false, 4,   3};
constexpr VideoTiming kApple832x624at75{57284, 832, 0,     0,     320,   624, 0,
                                        0,     43,  false, false, false, 4,   3};
constexpr VideoTiming kApple1152x870at75{100000, 1152, 0,     0,     304,   870, 0,
                                         0,      45,   false, false, false, 192, 145};

constexpr VideoTiming DmtTiming(int id) {
    for (const DmtFormat& f : kDmts) {
        if (f.id == id) {
            return f.timing;
        }
    }
    return VideoTiming{};
}

// Byte 35 bits 7-0, byte 36 bits 7-0, byte 37 bit 7.
constexpr EstablishedTiming kEstablished[17] = {
    {"IBM", 0, kIbm720x400at70},      {"IBM", 0, kIbm720x400at88},
    {"DMT", 0x04, DmtTiming(0x04)},   {"Apple", 0, kApple640x480at67},
    {"DMT", 0x05, DmtTiming(0x05)},   {"DMT", 0x06, DmtTiming(0x06)},
    {"DMT", 0x08, DmtTiming(0x08)},   {"DMT", 0x09, DmtTiming(0x09)},
    {"DMT", 0x0A, DmtTiming(0x0A)},   {"DMT", 0x0B, DmtTiming(0x0B)},
    {"Apple", 0, kApple832x624at75},  {"DMT", 0x0F, DmtTiming(0x0F)},
    {"DMT", 0x10, DmtTiming(0x10)},   {"DMT", 0x11, DmtTiming(0x11)},
    {"DMT", 0x12, DmtTiming(0x12)},   {"DMT", 0x24, DmtTiming(0x24)},
    {"Apple", 0, kApple1152x870at75},
};

} // namespace

const DmtFormat* FindDmt(int id) {
    for (const DmtFormat& f : kDmts) {
        if (f.id == id) {
            return &f;
        }
    }
    return nullptr;
}

const DmtFormat* FindDmtByStandardCode(std::uint8_t byte1, std::uint8_t byte2) {
    const std::uint16_t code = static_cast<std::uint16_t>((byte1 << 8) | byte2);
    for (const DmtFormat& f : kDmts) {
        if (f.standardCode == code) {
            return &f;
        }
    }
    return nullptr;
}

const DmtFormat* DmtFormats(std::size_t& count) {
    count = std::size(kDmts);
    return kDmts;
}

const EstablishedTiming* FindEstablishedTiming(int index, int bit) {
    if (index < 0 || index > 2 || bit < 0 || bit > 7) {
        return nullptr;
    }
    const int position = index * 8 + (7 - bit);
    if (position >= 17) {
        return nullptr;
    }
    return &kEstablished[position];
}

int EstablishedTimingIIIDmt(int index, int bit) {
    static constexpr std::uint8_t kIds[6][8] = {
        {0x01, 0x02, 0x03, 0x07, 0x0E, 0x0C, 0x13, 0x15},
        {0x16, 0x17, 0x18, 0x19, 0x20, 0x21, 0x23, 0x25},
        {0x27, 0x2E, 0x2F, 0x30, 0x31, 0x29, 0x2A, 0x2B},
        {0x2C, 0x39, 0x3A, 0x3B, 0x3C, 0x33, 0x34, 0x35},
        {0x36, 0x37, 0x3E, 0x3F, 0x41, 0x42, 0x44, 0x45},
        {0x46, 0x47, 0x49, 0x4A, 0, 0, 0, 0},
    };
    if (index < 0 || index > 5 || bit < 0 || bit > 7) {
        return 0;
    }
    return kIds[index][7 - bit];
}

} // namespace lvx
