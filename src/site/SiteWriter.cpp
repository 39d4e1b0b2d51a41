#include "site/SiteWriter.h"

#include "edid/BackupManifest.h"
#include "edid/EdidParse.h"

#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

namespace lvx {

namespace {

// --- comments ------------------------------------------------------------------------------

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

// Where the comment of a line of YAML content starts: a "#" at the start or after a blank,
// outside a quoted scalar (a quote opens one only where a value can start). npos when none.
std::size_t CommentStart(std::string_view line) {
    char quote = 0;
    char lastSeen = 0; // the last character that is not a blank; 0 at the line's start
    bool blankBefore = true;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quote == '"') {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                quote = 0;
            }
        } else if (quote == '\'') {
            if (c == '\'' && i + 1 < line.size() && line[i + 1] == '\'') {
                ++i;
            } else if (c == '\'') {
                quote = 0;
            }
        } else if (c == '#' && blankBefore) {
            return i;
        } else if ((c == '"' || c == '\'') && (lastSeen == 0 || std::strchr(":-[{,?", lastSeen))) {
            quote = c;
        }
        blankBefore = c == ' ' || c == '\t';
        if (!blankBefore) {
            lastSeen = c;
        }
    }
    return std::string_view::npos;
}

std::set<int> AnchorLines(const SiteFile& site) {
    std::set<int> lines{site.edidsLine, site.devicesLine};
    for (const SiteDevice& d : site.devices) {
        lines.insert({d.line, d.nameLine, d.whereLine, d.nodesLine, d.modesLine});
        for (const SiteNode& n : d.nodes) {
            lines.insert(n.line);
        }
        for (const SiteMode& m : d.modes) {
            lines.insert(m.line);
        }
    }
    lines.erase(0);
    return lines;
}

// A comment as it is written back: a control character (a lone carriage return, which other
// readers take for a line break) becomes a blank.
std::string CommentText(std::string_view comment) {
    std::string out(comment);
    for (char& c : out) {
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F) {
            c = ' ';
        }
    }
    return out;
}

void AddAfter(std::string& after, std::string_view comment) {
    if (!comment.empty()) {
        after += (after.empty() ? "" : " ") + CommentText(comment);
    }
}

// --- writing -------------------------------------------------------------------------------

std::string Scalar(const std::string& text) {
    YAML::Emitter out;
    out << text;
    return out.c_str();
}

class Renderer {
public:
    explicit Renderer(const SiteComments& comments) : comments_(comments) {}

    // One line of the file, with the comments of the old lines it stands for.
    void line(int indent, const std::string& text, std::initializer_list<int> oldLines) {
        const std::string pad(static_cast<std::size_t>(indent), ' ');
        std::string after;
        for (const int old : oldLines) {
            if (old == 0 || !used_.insert(old).second) {
                continue;
            }
            const auto it = comments_.byLine.find(old);
            if (it == comments_.byLine.end()) {
                continue;
            }
            for (const std::string& above : it->second.above) {
                out_ += pad + above + "\n";
            }
            AddAfter(after, it->second.after);
        }
        out_ += pad + text + (after.empty() ? "" : "  " + after) + "\n";
    }

    void device(const SiteDevice& d) {
        static const char* const kLocators[] = {"port", "mac", "product"};
        line(2, "- name: " + Scalar(d.name), {d.line, d.nameLine});
        line(4, std::string(kLocators[int(d.locator)]) + ": " + Scalar(d.where), {d.whereLine});
        if (!d.nodes.empty()) {
            line(4, "nodes:", {d.nodesLine});
            for (const SiteNode& n : d.nodes) {
                line(6, NodeName(n.node) + ": " + Scalar(n.file), {n.line});
            }
        }
        if (!d.modes.empty()) {
            line(4, "modes:", {d.modesLine});
            for (const SiteMode& m : d.modes) {
                const NodeRef input{NodeKind::Input, static_cast<std::uint8_t>(m.input)};
                line(6, NodeName(input) + ": " + Scalar(m.source), {m.line});
            }
        }
    }

    // Comments whose entries are gone, then those after the last entry.
    std::string finish() {
        for (const auto& [old, lines] : comments_.byLine) {
            if (used_.count(old) != 0) {
                continue;
            }
            for (const std::string& above : lines.above) {
                out_ += above + "\n";
            }
            if (!lines.after.empty()) {
                out_ += lines.after + "\n";
            }
        }
        for (const std::string& end : comments_.end) {
            out_ += end + "\n";
        }
        return out_;
    }

private:
    const SiteComments& comments_;
    std::set<int> used_;
    std::string out_;
};

// --- merging -------------------------------------------------------------------------------

bool NodeOrder(const SiteNode& a, const SiteNode& b) {
    return std::make_pair(int(a.node.kind), a.node.number) <
           std::make_pair(int(b.node.kind), b.node.number);
}

// The entry of the old file a captured device is: the same port or MAC, or else the same
// product string; each entry is taken once. -1 when none is.
int FindEntry(const SiteFile* old, const CapturedDevice& c, const std::vector<bool>& taken) {
    if (old == nullptr) {
        return -1;
    }
    for (const bool byProduct : {false, true}) {
        for (std::size_t i = 0; i < old->devices.size(); ++i) {
            const SiteDevice& d = old->devices[i];
            const bool match = byProduct ? d.locator == SiteLocator::Product &&
                                               !c.product.empty() && d.where == c.product
                                         : d.locator == c.locator && d.where == c.where;
            if (match && !taken[i]) {
                return static_cast<int>(i);
            }
        }
    }
    return -1;
}

// An entry found again: the captured nodes and modes, the entry's own for what was not
// captured, and its lines kept.
SiteDevice Refreshed(const SiteDevice& entry, const CapturedDevice& c,
                     std::vector<std::string>& notes) {
    SiteDevice d = entry;
    d.nodes.clear();
    for (SiteNode n : c.nodes) {
        const auto was = std::find_if(entry.nodes.begin(), entry.nodes.end(),
                                      [&n](const SiteNode& e) { return e.node == n.node; });
        n.line = was != entry.nodes.end() ? was->line : 0;
        d.nodes.push_back(std::move(n));
    }
    for (const SiteNode& e : entry.nodes) {
        if (std::find(c.unread.begin(), c.unread.end(), e.node) != c.unread.end()) {
            notes.push_back(entry.name + ": " + NodeName(e.node) +
                            " was not captured; its entry "
                            "is kept as it was");
            d.nodes.push_back(e);
        }
    }
    std::sort(d.nodes.begin(), d.nodes.end(), NodeOrder);
    d.modes.clear();
    for (const SiteMode& e : entry.modes) {
        const bool unread =
            std::find(c.unreadModes.begin(), c.unreadModes.end(), e.input) != c.unreadModes.end();
        const auto now = std::find_if(c.modes.begin(), c.modes.end(),
                                      [&e](const SiteMode& m) { return m.input == e.input; });
        if (unread) {
            notes.push_back(entry.name + ": the mode of input" + std::to_string(e.input + 1) +
                            " was not captured; its entry is kept as it was");
            d.modes.push_back(e);
        } else if (now != c.modes.end()) {
            d.modes.push_back({e.input, now->source, e.line});
        }
    }
    for (const SiteMode& m : c.modes) {
        if (std::none_of(d.modes.begin(), d.modes.end(),
                         [&m](const SiteMode& e) { return e.input == m.input; })) {
            d.modes.push_back({m.input, m.source, 0});
        }
    }
    std::sort(d.modes.begin(), d.modes.end(),
              [](const SiteMode& a, const SiteMode& b) { return a.input < b.input; });
    return d;
}

SiteDevice NewEntry(const CapturedDevice& c, const std::set<std::string>& taken) {
    SiteDevice d;
    std::string base;
    for (const std::string* text : {&c.product, &c.model, &c.where}) {
        for (const char ch : *text) {
            if (static_cast<unsigned char>(ch) >= 0x20 && ch != 0x7F) {
                base += ch;
            }
        }
        const std::size_t first = base.find_first_not_of(' ');
        base = first == std::string::npos ? std::string() : base.substr(first);
        base.erase(base.find_last_not_of(' ') + 1);
        if (!base.empty()) {
            break;
        }
    }
    if (base.empty()) {
        base = "device";
    }
    d.name = base;
    for (int n = 2; taken.count(d.name) != 0; ++n) {
        d.name = base + " " + std::to_string(n);
    }
    d.locator = c.locator;
    d.where = c.where;
    d.nodes = c.nodes;
    d.modes = c.modes;
    for (SiteNode& n : d.nodes) {
        n.line = 0;
    }
    for (SiteMode& m : d.modes) {
        m.line = 0;
    }
    return d;
}

} // namespace

SiteComments CollectComments(std::string_view text, const SiteFile& site) {
    const std::set<int> anchors = AnchorLines(site);
    SiteComments comments;
    std::vector<std::string> pending;
    int lastAnchor = 0;
    int number = 0;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = text.find('\n', start);
        end = end == std::string_view::npos ? text.size() : end;
        const std::string_view line = TrimRight(text.substr(start, end - start));
        start = end + 1;
        ++number;
        const std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos) {
            continue;
        }
        if (line[first] == '#') {
            pending.push_back(CommentText(line.substr(first)));
            continue;
        }
        const std::size_t hash = CommentStart(line);
        const std::string_view after =
            hash == std::string_view::npos ? std::string_view() : line.substr(hash);
        if (anchors.count(number) != 0) {
            SiteComments::Lines& lines = comments.byLine[number];
            lines.above = std::move(pending);
            pending.clear();
            AddAfter(lines.after, after);
            lastAnchor = number;
        } else if (!after.empty()) {
            // A line that continues an entry (a flow mapping over several lines).
            if (lastAnchor != 0) {
                AddAfter(comments.byLine[lastAnchor].after, after);
            } else {
                pending.push_back(CommentText(after));
            }
        }
        if (end == text.size()) {
            break;
        }
    }
    comments.end = std::move(pending);
    return comments;
}

SiteFile MergeCapture(const SiteFile* old, const std::vector<CapturedDevice>& captured,
                      std::vector<std::string>& notes) {
    SiteFile site = old != nullptr ? *old : SiteFile{};
    if (old == nullptr) {
        site.edids = "edids";
    }
    std::vector<bool> found(site.devices.size(), false);
    std::set<std::string> names;
    for (const SiteDevice& d : site.devices) {
        names.insert(d.name);
    }
    for (const CapturedDevice& c : captured) {
        if (const int entry = FindEntry(old, c, found); entry >= 0) {
            const std::size_t index = static_cast<std::size_t>(entry);
            site.devices[index] = Refreshed(old->devices[index], c, notes);
            found[index] = true;
        } else {
            site.devices.push_back(NewEntry(c, names));
            names.insert(site.devices.back().name);
        }
    }
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (!found[i]) {
            notes.push_back(site.devices[i].name + ": not captured; its entry is kept as it was");
        }
    }
    return site;
}

std::string RenderSiteFile(const SiteFile& site, const SiteComments& comments) {
    Renderer r(comments);
    if (site.edids) {
        r.line(0, "edids: " + Scalar(*site.edids), {site.edidsLine});
    }
    if (site.devices.empty()) {
        r.line(0, "devices: []", {site.devicesLine});
    } else {
        r.line(0, "devices:", {site.devicesLine});
        for (const SiteDevice& d : site.devices) {
            r.device(d);
        }
    }
    return r.finish();
}

std::string CapturedEdidName(const EdidImage& image, std::string_view sha256Hex) {
    const EdidParse parse = ParseImage(image, CurrentYear());
    std::string stem;
    if (parse.base.productName && !parse.base.productName->empty()) {
        stem = *parse.base.productName;
    } else {
        char code[8];
        std::snprintf(code, sizeof code, "%04X", parse.base.productCode);
        stem = parse.base.manufacturer + "-" + code;
    }
    return SafeFileStem(stem) + "-" + std::string(sha256Hex.substr(0, 12)) + ".bin";
}

} // namespace lvx
