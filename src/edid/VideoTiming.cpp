#include "edid/VideoTiming.h"

#include <algorithm>
#include <cmath>

namespace lvx {

namespace {

constexpr double kMinVsyncBackPorchUs = 550.0; // GTF and CVT
constexpr double kCellGranularity = 8.0;
constexpr double kGtfDutyOffset = 30.0;    // C' of the default curve
constexpr double kGtfDutyGradient = 300.0; // M' of the default curve
constexpr double kCvtClockStepMHz = 0.25;

// CVT's vertical sync width, by the picture's aspect ratio.
int CvtVsyncLines(int h, int v) {
    if (v * 4 == h * 3) {
        return 4;
    }
    if (v * 16 == h * 9) {
        return 5;
    }
    if (v * 16 == h * 10) {
        return 6;
    }
    if (v * 5 == h * 4 || v * 15 == h * 9) {
        return 7;
    }
    return 10;
}

std::uint16_t Narrow(double value) {
    return static_cast<std::uint16_t>(std::clamp(value, 0.0, 65535.0));
}

// Splits a horizontal blanking into porches around a sync of 8 % of the line, as both
// formulas place it.
void SplitHorizontal(VideoTiming& t, double hBlank, double totalPixels) {
    const double sync = std::round(totalPixels * 0.08 / kCellGranularity) * kCellGranularity;
    t.hSync = Narrow(sync);
    t.hBack = Narrow(hBlank / 2);
    t.hFront = Narrow(hBlank - sync - hBlank / 2);
}

// CVT with standard blanking: the porches and the clock for a timing whose active size,
// vertical front porch and sync are set.
bool CvtStandard(VideoTiming& t, double hPixels, double vLines, double fieldRate) {
    const double halfLine = t.interlaced ? 0.5 : 0.0;
    const double period =
        (1.0 / fieldRate - kMinVsyncBackPorchUs / 1e6) / (vLines + 3 + halfLine) * 1e6;
    if (period <= 0) {
        return false;
    }
    const double syncAndBack =
        std::max(std::floor(kMinVsyncBackPorchUs / period) + 1, t.vSync + 6.0);
    const double duty = std::max(kGtfDutyOffset - kGtfDutyGradient * period / 1000.0, 20.0);
    const double hBlank =
        std::floor(hPixels * duty / (100 - duty) / (2 * kCellGranularity)) * 2 * kCellGranularity;
    const double totalPixels = hPixels + hBlank;
    const double clockMHz = kCvtClockStepMHz * std::floor(totalPixels / period / kCvtClockStepMHz);
    t.pixelClockKHz = static_cast<std::uint32_t>(std::lround(clockMHz * 1000.0));
    SplitHorizontal(t, hBlank, totalPixels);
    t.vBack = Narrow(syncAndBack - t.vSync);
    t.vSyncPositive = true;
    return true;
}

// CVT with reduced blanking (the first version: 160 pixels of horizontal blanking).
bool CvtReduced(VideoTiming& t, double hPixels, double vLines, double fieldRate) {
    const double halfLine = t.interlaced ? 0.5 : 0.0;
    const double period = (1e6 / fieldRate - 460.0) / vLines;
    if (period <= 0) {
        return false;
    }
    const double blankLines = std::max(std::floor(460.0 / period) + 1, 3.0 + t.vSync + 6.0);
    const double totalLines = blankLines + vLines + halfLine;
    const double totalPixels = hPixels + 160;
    const double clockMHz = kCvtClockStepMHz * std::floor(fieldRate * totalLines * totalPixels /
                                                          1e6 / kCvtClockStepMHz);
    t.pixelClockKHz = static_cast<std::uint32_t>(std::lround(clockMHz * 1000.0));
    t.hFront = 48;
    t.hSync = 32;
    t.hBack = 80;
    t.vBack = Narrow(blankLines - 3 - t.vSync);
    t.hSyncPositive = true;
    return true;
}

} // namespace

double VideoTiming::frameLines() const {
    const double blank = 0.0 + vFront + vSync + vBack;
    return interlaced ? vActive + 2 * blank + 1 : vActive + blank;
}

double VideoTiming::lineRateHz() const {
    const std::uint32_t total = hTotal();
    return total == 0 ? 0.0 : pixelClockKHz * 1000.0 / total;
}

double VideoTiming::fieldRateHz() const {
    const double lines = frameLines();
    if (lines <= 0) {
        return 0.0;
    }
    return lineRateHz() * (interlaced ? 2.0 : 1.0) / lines;
}

std::optional<VideoTiming> GtfTiming(int hActive, int vActive, int refreshHz, bool interlaced) {
    const double hPixels = std::round(hActive / kCellGranularity) * kCellGranularity;
    const double vLines = interlaced ? std::round(vActive / 2.0) : vActive;
    const double fieldRate = interlaced ? refreshHz * 2.0 : refreshHz;
    const double halfLine = interlaced ? 0.5 : 0.0;
    if (hPixels <= 0 || vLines <= 0 || fieldRate <= 0) {
        return std::nullopt;
    }
    const double periodEst =
        (1.0 / fieldRate - kMinVsyncBackPorchUs / 1e6) / (vLines + 1 + halfLine) * 1e6;
    if (periodEst <= 0) {
        return std::nullopt;
    }
    const double syncAndBack = std::round(kMinVsyncBackPorchUs / periodEst);
    const double totalLines = vLines + syncAndBack + halfLine + 1;
    const double rateEst = 1.0 / periodEst / totalLines * 1e6;
    const double period = periodEst / (fieldRate / rateEst);
    const double duty = kGtfDutyOffset - kGtfDutyGradient * period / 1000.0;
    if (duty >= 100 || duty <= -100) {
        return std::nullopt;
    }
    const double hBlank =
        std::round(hPixels * duty / (100 - duty) / (2 * kCellGranularity)) * 2 * kCellGranularity;
    const double totalPixels = hPixels + hBlank;
    VideoTiming t;
    t.pixelClockKHz = static_cast<std::uint32_t>(std::lround(totalPixels / period * 1000.0));
    t.hActive = Narrow(hPixels);
    SplitHorizontal(t, hBlank, totalPixels);
    t.vActive = Narrow(interlaced ? vLines * 2 : vLines);
    t.vFront = 1;
    t.vSync = 3;
    t.vBack = Narrow(syncAndBack - 3);
    t.interlaced = interlaced;
    t.vSyncPositive = true;
    return t;
}

std::optional<VideoTiming> CvtTiming(int hActive, int vActive, int refreshHz, bool interlaced,
                                     bool reducedBlanking) {
    const double hPixels = std::floor(hActive / kCellGranularity) * kCellGranularity;
    const double vLines = interlaced ? std::floor(vActive / 2.0) : vActive;
    const double fieldRate = interlaced ? refreshHz * 2.0 : refreshHz;
    if (hPixels <= 0 || vLines <= 0 || fieldRate <= 0) {
        return std::nullopt;
    }
    VideoTiming t;
    t.hActive = Narrow(hPixels);
    t.vActive = Narrow(interlaced ? vLines * 2 : vLines);
    t.interlaced = interlaced;
    t.vFront = 3;
    t.vSync = static_cast<std::uint16_t>(CvtVsyncLines(hActive, vActive));
    const bool made = reducedBlanking ? CvtReduced(t, hPixels, vLines, fieldRate)
                                      : CvtStandard(t, hPixels, vLines, fieldRate);
    if (!made) {
        return std::nullopt;
    }
    return t;
}

} // namespace lvx
