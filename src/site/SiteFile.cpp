#include "site/SiteFile.h"

#include "edid/BackupManifest.h"

#include <yaml-cpp/eventhandler.h>
#include <yaml-cpp/yaml.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <sstream>

namespace lvx {

namespace {

constexpr int kSourceNumberMax = 8; // as set-mode takes them: one radio button per source

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// Reads one file into a SiteFile, collecting errors as it goes; the schema is walked by
// hand so that each error can name the line of what it is about.
class Reader {
public:
    Reader(SiteFile& site, std::vector<SiteError>& errors) : site_(site), errors_(errors) {}

    void readTop(const YAML::Node& root);

private:
    void error(int line, std::string message) { errors_.push_back({line, std::move(message)}); }
    static int lineOf(const YAML::Node& node, int fallback) {
        const YAML::Mark mark = node.Mark();
        return mark.is_null() || mark.line < 0 ? fallback : mark.line + 1;
    }
    // False (with an error) when the key was seen before in the same mapping.
    bool firstTime(std::map<std::string, int>& seen, const std::string& key, int line) {
        const auto [it, fresh] = seen.emplace(key, line);
        if (!fresh) {
            error(line, "\"" + key + "\" is given twice (first on line " +
                            std::to_string(it->second) + ")");
        }
        return fresh;
    }
    // The text of a scalar key or value; none (with an error) for anything else.
    std::optional<std::string> scalar(const YAML::Node& node, int line, std::string_view what);
    void readDevice(const YAML::Node& entry, int fallbackLine);
    bool readDeviceKey(SiteDevice& device, const std::string& key, const YAML::Node& value,
                       int line);
    void readNodes(SiteDevice& device, const YAML::Node& map, int line);
    void readModes(SiteDevice& device, const YAML::Node& map, int line);
    void checkDuplicates();

    SiteFile& site_;
    std::vector<SiteError>& errors_;
};

namespace {

// Whether `text` is well-formed UTF-8 (the encoding of a YAML file). Bytes that are not would
// not survive a rewrite of the file unchanged.
bool IsUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t extra = lead < 0x80                    ? 0
                                  : lead >= 0xC2 && lead <= 0xDF ? 1
                                  : lead >= 0xE0 && lead <= 0xEF ? 2
                                  : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                                 : 4;
        if (extra == 4 || i + extra >= text.size()) {
            return false; // not a lead byte, or cut short by the end
        }
        std::uint32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            code = (code << 6) | (next & 0x3F);
        }
        const std::uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (code < least[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += 1 + extra;
    }
    return true;
}
} // namespace

std::optional<std::string> Reader::scalar(const YAML::Node& node, int line, std::string_view what) {
    if (!node.IsScalar()) {
        error(line, std::string(what) + " must be a single value");
        return std::nullopt;
    }
    const std::string& text = node.Scalar();
    if (std::any_of(text.begin(), text.end(),
                    [](unsigned char c) { return c < 0x20 || c == 0x7F; })) {
        error(line, std::string(what) + " holds a control character");
        return std::nullopt;
    }
    if (!IsUtf8(text)) {
        error(line, std::string(what) + " is not UTF-8 text");
        return std::nullopt;
    }
    return text;
}

void Reader::readTop(const YAML::Node& root) {
    if (!root.IsMap()) {
        error(root.IsNull() ? 0 : lineOf(root, 1),
              "a site file is a mapping with \"devices:\" (and optionally \"edids:\")");
        return;
    }
    std::map<std::string, int> seen;
    bool unknownKey = false;
    for (const auto& pair : root) {
        const int line = lineOf(pair.first, 1);
        const std::optional<std::string> key = scalar(pair.first, line, "a key");
        if (!key || !firstTime(seen, *key, line)) {
            continue;
        }
        if (*key == "edids") {
            site_.edidsLine = line;
            const std::optional<std::string> folder = scalar(pair.second, line, "edids");
            if (folder && folder->empty()) {
                error(line, "edids names no folder");
            } else if (folder) {
                site_.edids = *folder;
            }
        } else if (*key == "devices") {
            site_.devicesLine = line;
            if (pair.second.IsNull()) {
                continue;
            }
            if (!pair.second.IsSequence()) {
                error(line, "devices must be a list of entries (\"- name: ...\")");
                continue;
            }
            for (const YAML::Node& entry : pair.second) {
                readDevice(entry, line);
            }
        } else {
            error(line, "unknown key \"" + *key + "\" (a site file has edids and devices)");
            unknownKey = true;
        }
    }
    // A misspelt "devices" is reported as the unknown key it is, not twice.
    if (site_.devicesLine == 0 && !unknownKey) {
        error(0, "the file has no \"devices:\" list");
    }
    checkDuplicates();
}

void Reader::readDevice(const YAML::Node& entry, int fallbackLine) {
    SiteDevice device;
    device.line = lineOf(entry, fallbackLine);
    if (!entry.IsMap()) {
        error(device.line, "a device entry is a mapping (name, port | mac | product, nodes, "
                           "modes)");
        return;
    }
    int locators = 0;
    std::map<std::string, int> seen;
    for (const auto& pair : entry) {
        const int line = lineOf(pair.first, device.line);
        const std::optional<std::string> key = scalar(pair.first, line, "a key");
        if (key && firstTime(seen, *key, line) && readDeviceKey(device, *key, pair.second, line)) {
            ++locators;
        }
    }
    if (device.nameLine == 0) {
        error(device.line, "the device entry has no name");
    }
    if (locators == 0) {
        error(device.line, "the device entry says neither port, mac nor product");
    } else if (locators > 1) {
        error(device.line, "the device entry says more than one of port, mac and product");
    }
    if (device.locator == SiteLocator::Mac && !device.modes.empty()) {
        error(device.modesLine, "modes: a network device has no mode command; only a device on "
                                "a serial port takes modes");
    }
    site_.devices.push_back(std::move(device));
}

// One key of a device entry; true when it is a locator (port, mac or product).
bool Reader::readDeviceKey(SiteDevice& device, const std::string& key, const YAML::Node& value,
                           int line) {
    if (key == "nodes" || key == "modes") {
        if (!value.IsNull() && !value.IsMap()) {
            error(line, key + " must be a mapping (\"input1: file.bin\")");
        } else if (key == "nodes") {
            device.nodesLine = line;
            readNodes(device, value, line);
        } else {
            device.modesLine = line;
            readModes(device, value, line);
        }
        return false;
    }
    const bool locator = key == "port" || key == "mac" || key == "product";
    if (!locator && key != "name") {
        error(line, "unknown key \"" + key +
                        "\" (a device has name, port, mac, product, nodes "
                        "and modes)");
        return false;
    }
    const std::optional<std::string> text = scalar(value, line, key);
    if (key == "name") {
        device.nameLine = line; // a name that is wrong is reported once, not also as missing
    }
    if (!text) {
        return locator;
    }
    if (text->empty()) {
        error(line, key + " is empty");
        return locator;
    }
    if (key == "name") {
        device.name = *text;
        return false;
    }
    device.whereLine = line;
    if (key == "mac") {
        const std::optional<std::string> mac = NormalizeMac(*text);
        if (!mac) {
            error(line, "mac \"" + *text + "\" is not a MAC address (00:11:22:33:44:55)");
        }
        device.locator = SiteLocator::Mac;
        device.where = mac.value_or(*text);
    } else {
        device.locator = key == "port" ? SiteLocator::Port : SiteLocator::Product;
        device.where = *text;
    }
    return true;
}

void Reader::readNodes(SiteDevice& device, const YAML::Node& map, int line) {
    if (map.IsNull()) {
        return;
    }
    std::map<std::string, int> seen;
    for (const auto& pair : map) {
        const int at = lineOf(pair.first, line);
        const std::optional<std::string> key = scalar(pair.first, at, "a node");
        if (!key) {
            continue;
        }
        const std::optional<NodeRef> node = NodeFromName(Lower(*key));
        if (!node) {
            error(at, "\"" + *key + "\" is not a node (input1, user2, ...)");
            continue;
        }
        if (!isWritable(node->kind)) {
            error(at, NodeName(*node) + " cannot be written: only inputs and user slots can");
            continue;
        }
        const auto [it, fresh] = seen.emplace(NodeName(*node), at);
        if (!fresh) {
            error(at, NodeName(*node) + " is named twice (first on line " +
                          std::to_string(it->second) + ")");
            continue;
        }
        const std::optional<std::string> file = scalar(pair.second, at, NodeName(*node));
        if (file && file->empty()) {
            error(at, NodeName(*node) + " names no file");
        } else if (file) {
            device.nodes.push_back({*node, *file, at});
        }
    }
}

void Reader::readModes(SiteDevice& device, const YAML::Node& map, int line) {
    if (map.IsNull()) {
        return;
    }
    std::map<int, int> seen;
    for (const auto& pair : map) {
        const int at = lineOf(pair.first, line);
        const std::optional<std::string> key = scalar(pair.first, at, "an input");
        if (!key) {
            continue;
        }
        const std::optional<NodeRef> node = NodeFromName(Lower(*key));
        if (!node || node->kind != NodeKind::Input) {
            error(at, "\"" + *key + "\" is not an input (input1, input2, ...)");
            continue;
        }
        const auto [it, fresh] = seen.emplace(node->number, at);
        if (!fresh) {
            error(at, NodeName(*node) + " has a mode twice (first on line " +
                          std::to_string(it->second) + ")");
            continue;
        }
        const std::optional<std::string> value = scalar(pair.second, at, NodeName(*node));
        if (!value) {
            continue;
        }
        const std::string source = Lower(*value);
        // Any device with eight sources of each kind has it: the syntax is right.
        const NodeCounts widest{1, kSourceNumberMax, kSourceNumberMax, kSourceNumberMax};
        if (!SiteModeIndex(source, widest)) {
            error(at, "\"" + *value +
                          "\" is not a source (internalK, externalK or userK, K from "
                          "1 to 8)");
            continue;
        }
        device.modes.push_back({node->number, source, at});
    }
}

void Reader::checkDuplicates() {
    std::map<std::pair<int, std::string>, int> places;
    std::map<std::string, int> names;
    for (const SiteDevice& d : site_.devices) {
        if (d.whereLine != 0) {
            // Port paths and product strings are told apart exactly, MACs in one spelling.
            const auto [it, fresh] =
                places.emplace(std::make_pair(int(d.locator), d.where), d.line);
            if (!fresh) {
                error(d.line, "\"" + d.where + "\" is the device of the entry on line " +
                                  std::to_string(it->second) + " again");
            }
        }
        if (d.nameLine != 0 && !d.name.empty()) {
            const auto [it, fresh] = names.emplace(d.name, d.line);
            if (!fresh) {
                error(d.nameLine, "the name \"" + d.name + "\" is taken by the entry on line " +
                                      std::to_string(it->second));
            }
        }
    }
}

} // namespace

namespace {

// Follows the parser's events only to see where each document starts.
class DocumentStarts : public YAML::EventHandler {
public:
    YAML::Mark start;

    void OnDocumentStart(const YAML::Mark& mark) override { start = mark; }
    void OnDocumentEnd() override {}
    void OnNull(const YAML::Mark&, YAML::anchor_t) override {}
    void OnAlias(const YAML::Mark&, YAML::anchor_t) override {}
    void OnScalar(const YAML::Mark&, const std::string&, YAML::anchor_t,
                  const std::string&) override {}
    void OnSequenceStart(const YAML::Mark&, const std::string&, YAML::anchor_t,
                         YAML::EmitterStyle::value) override {}
    void OnSequenceEnd() override {}
    void OnMapStart(const YAML::Mark&, const std::string&, YAML::anchor_t,
                    YAML::EmitterStyle::value) override {}
    void OnMapEnd() override {}
};

// The number of YAML documents in `text`, counted up to two. The library's own LoadAll never
// returns on some malformed texts (a "," outside any bracket): its parser then reports a new
// document at the same place again and again. That is an error at that place here.
int CountDocuments(const std::string& text, std::vector<SiteError>& errors) {
    std::istringstream stream(text);
    YAML::Parser parser(stream);
    DocumentStarts starts;
    int count = 0;
    int previous = -1;
    while (count < 2 && parser.HandleNextDocument(starts)) {
        if (starts.start.pos == previous) {
            errors.push_back({starts.start.line + 1, "not YAML: nothing can be read from here"});
            return -1;
        }
        previous = starts.start.pos;
        ++count;
    }
    return count;
}

} // namespace

bool ParseSiteFile(std::string_view text, SiteFile& site, std::vector<SiteError>& errors) {
    site = SiteFile{};
    const std::size_t before = errors.size();
    const std::string whole(text);
    YAML::Node root;
    try {
        const int documents = CountDocuments(whole, errors);
        if (documents < 0) {
            return false;
        }
        if (documents > 1) {
            errors.push_back({0, "the file holds more than one YAML document; a site file is one"});
            return false;
        }
        root = YAML::Load(whole);
    } catch (const YAML::Exception& e) {
        const int line = e.mark.is_null() || e.mark.line < 0 ? 0 : e.mark.line + 1;
        errors.push_back({line, "not YAML: " + e.msg});
        return false;
    }
    Reader reader(site, errors);
    reader.readTop(root);
    std::stable_sort(errors.begin() + static_cast<std::ptrdiff_t>(before), errors.end());
    return errors.size() == before;
}

std::vector<SiteError> CheckSiteDevice(const SiteDevice& device, const NodeCounts& counts,
                                       bool serial) {
    std::vector<SiteError> errors;
    auto have = [&counts](NodeKind kind) {
        return kind == NodeKind::Input ? counts.inputs : counts.users;
    };
    for (const SiteNode& n : device.nodes) {
        if (n.node.number >= have(n.node.kind)) {
            errors.push_back(
                {n.line, device.name + " has no " + NodeName(n.node) + " (it has " +
                             std::to_string(have(n.node.kind)) +
                             (n.node.kind == NodeKind::Input ? " inputs" : " user slots") + ")"});
        }
    }
    if (!serial && !device.modes.empty()) {
        errors.push_back({device.modesLine, device.name + " is a network device: it has no mode "
                                                          "command, so it takes no modes"});
        return errors;
    }
    for (const SiteMode& m : device.modes) {
        const std::string input = NodeName({NodeKind::Input, static_cast<std::uint8_t>(m.input)});
        if (m.input >= counts.inputs) {
            errors.push_back({m.line, device.name + " has no " + input});
        } else if (!SiteModeIndex(m.source, counts)) {
            errors.push_back({m.line, device.name + " has no source " + m.source});
        }
    }
    return errors;
}

std::string FormatSiteError(std::string_view fileName, const SiteError& error) {
    std::string out(fileName);
    if (error.line > 0) {
        out += ":" + std::to_string(error.line);
    }
    return out + ": " + error.message;
}

std::optional<std::string> NormalizeMac(std::string_view text) {
    if (text.size() != 17) {
        return std::nullopt;
    }
    const char separator = text[2];
    if (separator != ':' && separator != '-') {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (i % 3 == 2) {
            if (c != static_cast<unsigned char>(separator)) {
                return std::nullopt;
            }
            out += ':';
        } else if (std::isxdigit(c)) {
            out += static_cast<char>(std::toupper(c));
        } else {
            return std::nullopt;
        }
    }
    return out;
}

std::optional<int> SiteModeIndex(const std::string& source, const NodeCounts& counts) {
    // ModeFromSourceName takes any number the counts allow; a source has at most 8 per kind.
    for (const std::string_view kind : {"internal", "external", "user"}) {
        if (source.size() > kind.size() && source.compare(0, kind.size(), kind) == 0 &&
            source.size() == kind.size() + 1 && source.back() > '0' &&
            source.back() <= char('0' + kSourceNumberMax)) {
            return ModeFromSourceName(source, ModeCountsOf(counts));
        }
    }
    return std::nullopt;
}

std::string SafeFileStem(std::string_view text) {
    std::string out;
    bool gap = false;
    for (const char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isalnum(u) != 0 || c == '.' || c == '_' || c == '-') {
            if (gap && !out.empty()) {
                out += '_';
            }
            gap = false;
            out += c;
        } else {
            gap = true;
        }
        if (out.size() >= 48) {
            break;
        }
    }
    out.resize(std::min<std::size_t>(out.size(), 48));
    // No hidden file and nothing that reads as an option.
    out.erase(0, out.find_first_not_of(".-"));
    if (out.empty()) {
        out = "device";
    }
    return out;
}

} // namespace lvx
