#pragma once

#include "common/EdidImage.h"

namespace lvx {

// The image a brand-new EDID starts from: a 1.3 base block named "BrandNewEdid" with a
// 1920x1080p preferred timing, and a CTA-861 extension with VIC 16, 2-channel L-PCM and an
// HDMI VSDB. Both checksums are valid as stored.
const EdidImage& BrandNewTemplate();

// Writes a manufacture date into an image: byte 17 = (year - 1990) modulo 256, byte 16 = the
// week, and byte 127 recomputed so that block 0 sums to 0. Nothing else changes.
void StampManufactureDate(EdidImage& image, int year, int week);

// The brand-new template stamped with a calendar year and an ISO 8601 week number.
EdidImage StampBrandNewDate(int year, int isoWeek);

// The ISO 8601 week number (1 to 53) of a calendar date (month 1-12, day 1-31). Early January
// days can fall in week 52 or 53 and late December days in week 1; the stamp still takes the
// calendar year with it.
int IsoWeekNumber(int year, int month, int day);

} // namespace lvx
