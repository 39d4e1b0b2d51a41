// A site file of any contents: the YAML reader and the checks, the rewrite with comments kept,
// and the checks against a device and the plan.
//
// The first input byte steers the device the entries are checked against (bits 0-2: inputs,
// bits 3-5: user slots, bit 6: found over the network); the rest is the text.
// - Every error names a line of the file (or 0 for the whole file) and says something.
// - A file that reads without errors, written out again with its comments, reads back to the
//   same devices, nodes and modes.
// - An entry that passes the device's checks gets a plan with one entry per node and mode.

#include "FuzzSupport.h"

#include "site/SiteFile.h"
#include "site/SitePlan.h"
#include "site/SiteWriter.h"

#include <algorithm>

using namespace lvx;
using lvx::fuzz::ByteReader;

namespace {

bool SameContent(const SiteFile& a, const SiteFile& b) {
    if (a.edids != b.edids || a.devices.size() != b.devices.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.devices.size(); ++i) {
        const SiteDevice& x = a.devices[i];
        const SiteDevice& y = b.devices[i];
        if (x.name != y.name || x.locator != y.locator || x.where != y.where ||
            x.nodes.size() != y.nodes.size() || x.modes.size() != y.modes.size()) {
            return false;
        }
        for (std::size_t n = 0; n < x.nodes.size(); ++n) {
            if (x.nodes[n].node != y.nodes[n].node || x.nodes[n].file != y.nodes[n].file) {
                return false;
            }
        }
        for (std::size_t m = 0; m < x.modes.size(); ++m) {
            if (x.modes[m].input != y.modes[m].input || x.modes[m].source != y.modes[m].source) {
                return false;
            }
        }
    }
    return true;
}

void CheckAgainstDevice(const SiteFile& site, std::uint8_t control) {
    const NodeCounts counts{static_cast<std::uint8_t>(control & 0x07), 1,
                            static_cast<std::uint8_t>((control >> 3) & 0x07), 8};
    const bool serial = (control & 0x40) == 0;
    for (const SiteDevice& device : site.devices) {
        if (!CheckSiteDevice(device, counts, serial).empty()) {
            continue;
        }
        const std::vector<EdidImage> wanted(device.nodes.size(), EdidImage{});
        PresentState present;
        present.nodes.assign(device.nodes.size() / 2, EdidImage{});
        present.modes.assign(device.modes.size(), 0);
        const DevicePlan plan = PlanDevice(device, counts, wanted, present);
        LVX_FUZZ_CHECK(plan.nodes.size() == device.nodes.size());
        LVX_FUZZ_CHECK(plan.modes.size() == device.modes.size());
        for (const PlannedMode& m : plan.modes) {
            LVX_FUZZ_CHECK(m.input >= 0 && m.input < counts.inputs);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ByteReader in(data, size);
    const std::uint8_t control = in.byte();
    const std::string text = in.text(std::min(in.left(), kSiteFileMaxBytes));
    SiteFile site;
    std::vector<SiteError> errors;
    if (!ParseSiteFile(text, site, errors)) {
        const int lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
        LVX_FUZZ_CHECK(!errors.empty());
        for (const SiteError& e : errors) {
            LVX_FUZZ_CHECK(e.line >= 0 && e.line <= lines + 1);
            LVX_FUZZ_CHECK(!e.message.empty());
        }
        return 0;
    }
    const std::string written = RenderSiteFile(site, CollectComments(text, site));
    SiteFile again;
    errors.clear();
    LVX_FUZZ_CHECK(ParseSiteFile(written, again, errors));
    LVX_FUZZ_CHECK(SameContent(site, again));
    CheckAgainstDevice(site, control);
    return 0;
}
