#pragma once

#include "common/EdidImage.h"
#include "site/SiteFile.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace lvx {

// The comments of a site file, tied to the line of the entry they belong to: the comment
// lines above it and the comment at the end of its line. A rewritten file puts them back
// beside the same entries, wherever those now stand.
struct SiteComments {
    struct Lines {
        std::vector<std::string> above; // each from its "#" on
        std::string after;              // from its "#" on; empty when none
    };
    std::map<int, Lines> byLine;  // keyed by the entry's line in the old file
    std::vector<std::string> end; // comment lines after the last entry
};

// Finds the comments of a site file that ParseSiteFile read without errors: a line whose
// first character past the indentation is "#", and a "#" after a blank outside quotes. The
// YAML itself is read by yaml-cpp; this only looks for what it leaves out.
SiteComments CollectComments(std::string_view text, const SiteFile& site);

// What capture read from one device.
struct CapturedDevice {
    SiteLocator locator = SiteLocator::Port; // Port or Mac: how it was reached
    std::string where;                       // the port path, or the MAC as NormalizeMac gives it
    std::string product;                     // its product string, UTF-8
    std::string model;                       // UTF-8
    std::vector<SiteNode> nodes;             // each input and user slot read, with its file
    std::vector<NodeRef> unread;             // nodes not captured (not read, or no valid EDID)
    std::vector<SiteMode> modes;             // each input's source (COM port only)
    std::vector<int> unreadModes;            // inputs whose mode the device did not report
};

// The site file after a capture. Without an old file: one entry per captured device, named
// by its product string (or model, or where it was found). With one, whose entries keep their
// names, their way of being found and their lines (so their comments stay with them): an
// entry found again gets the captured nodes and modes, and keeps its own value for a node or
// mode that was not captured; an entry not found again stays as it was; a device new to the
// file is added at the end. `notes` says what was kept rather than captured.
SiteFile MergeCapture(const SiteFile* old, const std::vector<CapturedDevice>& captured,
                      std::vector<std::string>& notes);

// The text of a site file, with the comments put back beside the entries whose lines they
// belong to; comments whose entry is gone are kept at the end.
std::string RenderSiteFile(const SiteFile& site, const SiteComments& comments = {});

// The name capture gives a captured EDID: the monitor name it holds (or its manufacturer and
// product code), then the first 12 digits of its SHA-256, so that equal EDIDs share one
// file: "DELL_U2720Q-3fa2b1c4d5e6.bin".
std::string CapturedEdidName(const EdidImage& image, std::string_view sha256Hex);

} // namespace lvx
