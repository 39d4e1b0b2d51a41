#pragma once

#include "edid/VideoTiming.h"

#include <array>
#include <cstdint>

namespace lvx {

// The VESA Display Monitor Timings by DMT ID (0x01-0x58), with the two-byte standard timing
// code and the three-byte CVT code that name some of them.
struct DmtFormat {
    std::uint8_t id;
    std::uint16_t standardCode; // bytes 1 and 2 of a standard timing, 0 when none
    std::uint32_t cvtCode;      // the three bytes of a CVT code, 0 when none
    bool reducedBlanking;
    VideoTiming timing;
};

const DmtFormat* FindDmt(int id);
// The DMT that a standard timing's two bytes name, or nullptr when the code names none
// (the timing then comes from GTF or CVT).
const DmtFormat* FindDmtByStandardCode(std::uint8_t byte1, std::uint8_t byte2);
// Every row in ID order.
const DmtFormat* DmtFormats(std::size_t& count);

// One bit of the established timings: bytes 35-37 of the base block (I and II, bit 7 of
// byte 35 first) or bytes 6-11 of an Established Timings III descriptor.
struct EstablishedTiming {
    const char* source; // "DMT", "IBM" or "Apple"
    int dmtId;          // 0 for the IBM and Apple timings
    VideoTiming timing;
};
// The timing of bit `bit` (7-0) of byte `index` (0-2) of established timings I and II, or
// nullptr for the manufacturer's bits (byte 2, bits 6-0).
const EstablishedTiming* FindEstablishedTiming(int index, int bit);
// The DMT ID of bit `bit` of byte `index` (0-5) of established timings III, or 0 for the
// reserved bits.
int EstablishedTimingIIIDmt(int index, int bit);

} // namespace lvx
