// Rules that look at more than one part of an EDID: sizes, range limits, required
// descriptors, native formats, VIC lists and the video capability block.
#include "edid/CtaCodes.h"
#include "edid/ParseContext.h"
#include "edid/VicTable.h"

#include <algorithm>
#include <bitset>
#include <cmath>

namespace lvx::parse {

namespace {

std::size_t CtaStart(const Context& c) {
    return c.out.cta.empty() ? 0 : static_cast<std::size_t>(c.out.cta.front().block) * kBlock;
}

void CheckVideoCapability(Context& c) {
    if (c.out.cta.empty()) {
        return;
    }
    const CtaDataBlock* vcdb = nullptr;
    for (const CtaDataBlock& d : c.out.dataBlocks) {
        if (d.tag == 7 && d.extendedTag == 0 && d.length >= 2) {
            vcdb = &d;
            break;
        }
    }
    if (vcdb == nullptr) {
        c.finding(FindingId::CtaMissingVcdb, CtaStart(c), 4,
                  "There is no video capability data block, so a source cannot know that the "
                  "display takes full and limited range RGB: blacks may look grey or crushed.");
        return;
    }
    const std::uint8_t v = c.at(vcdb->offset + 2);
    if ((v & 0x40) == 0) {
        c.finding(FindingId::VcdbRgbNotSelectable, vcdb->offset + 2, 1,
                  "The video capability block does not declare RGB quantization selectable: "
                  "sources may send limited range the display shows as full range.");
    }
    const unsigned it = (v >> 2) & 3;
    const bool headerUnderscan = (c.out.cta.front().flags & 0x80) != 0;
    if ((it == 2 && !headerUnderscan) || (it == 1 && headerUnderscan)) {
        c.finding(FindingId::VcdbItScanMismatch, vcdb->offset + 2, 1,
                  std::string("The video capability block says IT formats are always ") +
                      (it == 2 ? "underscanned" : "overscanned") +
                      " but the CTA header says the opposite; the picture edges may be cut.");
    }
}

// Audio described while the CTA header does not declare basic audio: many sources then send
// no sound at all.
void CheckBasicAudio(Context& c) {
    for (const CtaExtension& x : c.out.cta) {
        if (x.revision < 2 || (x.flags & 0x40) != 0) {
            continue;
        }
        for (const CtaDataBlock& d : c.out.dataBlocks) {
            if (d.block == x.block && (d.tag == 1 || d.tag == 4)) {
                c.finding(FindingId::CtaBasicAudioMissing,
                          static_cast<std::size_t>(x.block) * kBlock + 3, 1,
                          "Block " + Num(x.block) +
                              " describes audio but does not declare basic audio support: many "
                              "sources then send no sound.");
                return;
            }
        }
    }
}

void CheckImageSizes(Context& c) {
    const BaseBlock& base = c.out.base;
    const int dw = base.hSizeCm * 10;
    const int dh = base.vSizeCm * 10;
    const bool displaySet = base.hSizeCm != 0 && base.vSizeCm != 0;
    int maxW = 0;
    int maxH = 0;
    for (const DetailedTimingEntry& e : c.out.detailedTimings) {
        if (e.displayId) {
            continue;
        }
        const int w = e.hImageMm;
        const int h = e.vImageMm;
        maxW = std::max(maxW, w);
        maxH = std::max(maxH, h);
        if (!displaySet) {
            continue;
        }
        if (w == 0 && h == 0) {
            c.finding(FindingId::DtdSizeMismatch, e.offset + 12, 3,
                      "A detailed timing gives no image size although the display size is set.");
        } else if (w - dw >= 10 || h - dh >= 10 || (dw - w >= 10 && dh - h >= 10)) {
            c.finding(FindingId::DtdSizeMismatch, e.offset + 12, 3,
                      "A detailed timing's image size of " + Num(w) + " x " + Num(h) +
                          " mm disagrees with the display size of " + Num(dw) + " x " + Num(dh) +
                          " mm.");
        }
    }
    if (maxW == 0 && maxH == 0) {
        return;
    }
    if (!displaySet) {
        c.finding(FindingId::DtdLargerThanDisplay, 21, 2,
                  "Detailed timings give an image size of up to " + Num(maxW) + " x " + Num(maxH) +
                      " mm but the display size is not set.");
    } else if (maxW - dw >= 10 || maxH - dh >= 10) {
        c.finding(FindingId::DtdLargerThanDisplay, 21, 2,
                  "The largest image size of the detailed timings, " + Num(maxW) + " x " +
                      Num(maxH) + " mm, is larger than the display size of " + Num(dw) + " x " +
                      Num(dh) + " mm.");
    }
}

void CheckRequiredDescriptors(Context& c) {
    const BaseBlock& base = c.out.base;
    const bool v14 = base.atLeast14();
    const bool v13 = !v14 && base.version == 1 && base.revision == 3;
    if (c.at(54) == 0 && c.at(55) == 0) {
        c.finding(FindingId::MissingPreferredTiming, 54, 18,
                  "The first descriptor is not a detailed timing, so the EDID names no preferred "
                  "timing.");
    } else if (v13 && (base.features & 0x02) == 0) {
        c.finding(FindingId::MissingPreferredTiming, 24, 1,
                  "EDID 1.3 requires the first detailed timing to be the preferred one, but the "
                  "feature byte does not say so.");
    }
    if (!v13 && !v14) {
        return; // earlier versions require neither descriptor
    }
    if (!base.rangeLimits && (v13 || (base.features & 0x01))) {
        c.finding(FindingId::MissingRangeLimits, 54, 72,
                  v14 ? "The display declares continuous frequencies but has no range limits "
                        "descriptor."
                      : "EDID 1.3 requires a range limits descriptor and there is none.");
    }
    if (!base.productName) {
        c.finding(FindingId::MissingProductName, 54, 72,
                  "There is no product name descriptor; sources show the display without a "
                  "name.");
    }
}

struct RateSpan {
    double minV = 1e12;
    double maxV = 0;
    double minH = 1e12;
    double maxH = 0;
    double maxClock = 0;
};

RateSpan ListedRates(const Context& c) {
    RateSpan s;
    for (const ListedTiming& l : c.out.timings) {
        const VideoTiming& t = l.timing;
        // Formats only listed for YCbCr 4:2:0 are not held against the range limits.
        if (t.pixelClockKHz == 0 || t.hTotal() == 0 || l.kind == "4:2:0 VIC") {
            continue;
        }
        const double v = t.fieldRateHz();
        const double h = t.lineRateHz() / 1000.0;
        s.minV = std::min(s.minV, v);
        s.maxV = std::max(s.maxV, v);
        s.minH = std::min(s.minH, h);
        s.maxH = std::max(s.maxH, h);
        s.maxClock = std::max(s.maxClock, t.pixelClockKHz / 1000.0);
    }
    return s;
}

void CheckRangeLimits(Context& c) {
    const std::optional<RangeLimits>& r = c.out.base.rangeLimits;
    if (!r || c.out.timings.empty()) {
        return;
    }
    RateSpan s = ListedRates(c);
    // Before EDID 1.4 (which adds offsets for higher rates) a maximum of 255, the most the
    // byte holds, reads as "255 or more".
    const bool v14 = c.out.base.atLeast14();
    if (!v14 && r->maxVHz == 255) {
        s.maxV = std::min(s.maxV, 255.0);
    }
    if (!v14 && r->maxHKHz == 255) {
        s.maxH = std::min(s.maxH, 255.0);
    }
    // The limits are whole numbers: a rate counts as outside once it rounds to beyond them.
    const bool clockGiven = r->maxClockMHz != 0;
    const bool outside = std::round(s.minV) < r->minVHz || std::round(s.maxV) > r->maxVHz ||
                         std::round(s.minH) < r->minHKHz || std::round(s.maxH) > r->maxHKHz ||
                         (clockGiven && std::round(s.maxClock) > r->maxClockMHz);
    if (!outside) {
        return;
    }
    // Range limits are whole hertz, kilohertz and 10 MHz steps: beyond one step it is no
    // rounding.
    const bool beyondRounding = s.minV <= r->minVHz - 1.0 || s.maxV >= r->maxVHz + 1.0 ||
                                s.minH <= r->minHKHz - 1.0 || s.maxH >= r->maxHKHz + 1.0 ||
                                (clockGiven && s.maxClock >= r->maxClockMHz + 10.0);
    const bool failure = beyondRounding && !v14;
    c.finding(FindingId::TimingOutsideRangeLimits,
              failure ? FindingSeverity::Failure : FindingSeverity::Warning, r->offset + 5, 5,
              "Listed timings span " + Fixed(s.minV, 2) + "-" + Fixed(s.maxV, 2) + " Hz, " +
                  Fixed(s.minH, 3) + "-" + Fixed(s.maxH, 3) + " kHz and up to " +
                  Fixed(s.maxClock, 2) + " MHz, beyond the range limits of " + Num(r->minVHz) +
                  "-" + Num(r->maxVHz) + " Hz, " + Num(r->minHKHz) + "-" + Num(r->maxHKHz) +
                  " kHz, " + Num(r->maxClockMHz) + " MHz.");
}

void CheckNativeFormats(Context& c) {
    if (c.out.cta.empty()) {
        return;
    }
    std::vector<std::pair<int, int>> sizes;
    for (const ShortVideoDescriptor& s : c.out.svds) {
        const VideoTiming* t = s.native ? FindVic(s.vic) : nullptr;
        if (t != nullptr && !t->interlaced) {
            sizes.emplace_back(t->hActive, t->vActive);
        }
    }
    const std::size_t nativeDtds = c.out.cta.front().flags & 0x0Fu;
    std::size_t counted = 0;
    for (const DetailedTimingEntry& e : c.out.detailedTimings) {
        if (counted == nativeDtds || e.displayId) {
            break;
        }
        ++counted;
        if (!e.timing.interlaced) {
            sizes.emplace_back(e.timing.hActive, e.timing.vActive);
        }
    }
    const auto differs =
        std::find_if(sizes.begin(), sizes.end(), [&](const auto& s) { return s != sizes.front(); });
    if (differs != sizes.end()) {
        c.finding(FindingId::CtaNativeMixed, CtaStart(c) + 3, 1,
                  "The native progressive formats have different sizes (" +
                      Num(sizes.front().first) + "x" + Num(sizes.front().second) + " and " +
                      Num(differs->first) + "x" + Num(differs->second) +
                      "): a source may not pick the panel's own resolution.");
    }
}

void CheckVicLists(Context& c) {
    std::bitset<256> seen;
    for (const ShortVideoDescriptor& s : c.out.svds) {
        if (SvdReserved(s.raw)) {
            continue;
        }
        if (seen[s.vic]) {
            c.finding(FindingId::DuplicateVic, s.offset, 1,
                      "VIC " + Num(s.vic) + " is listed twice.");
        }
        seen.set(s.vic);
    }
    if (c.out.hdmi) {
        for (std::size_t i = 0; i < c.out.hdmi->hdmiVics.size(); ++i) {
            const int vic = HdmiVicToVic(c.out.hdmi->hdmiVics[i]);
            if (vic != 0 && !seen[static_cast<std::size_t>(vic)]) {
                c.finding(FindingId::HdmiVicWithoutCtaVic, c.out.hdmi->offset,
                          c.out.hdmi->length + 1u,
                          "HDMI VIC " + Num(c.out.hdmi->hdmiVics[i]) + " is listed without VIC " +
                              Num(vic) + ", so newer sources may not offer that 4K format.");
            }
        }
    }
    if (!c.out.cta.empty() && !seen[1] && (c.at(35) & 0x20) == 0) {
        c.finding(FindingId::MissingRequiredTiming, CtaStart(c) + 4, 1,
                  "640x480p60, which every such display must take, is neither an established "
                  "timing nor a VIC: a source has no safe fallback.");
    }
}

} // namespace

void RunChecks(Context& c) {
    CheckVideoCapability(c);
    CheckBasicAudio(c);
    CheckImageSizes(c);
    CheckRequiredDescriptors(c);
    CheckRangeLimits(c);
    CheckNativeFormats(c);
    CheckVicLists(c);
}

} // namespace lvx::parse
