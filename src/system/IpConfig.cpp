#include "system/IpConfig.h"

#include <cstdint>
#include <optional>

namespace lvx {
namespace {

enum class Number { Ok, NotDecimal, TooLarge };

// A decimal number of digits only, at most `limit`.
Number ParseDecimal(std::string_view text, unsigned long limit, unsigned long& value) {
    if (text.empty()) {
        return Number::NotDecimal;
    }
    value = 0;
    bool large = false;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return Number::NotDecimal;
        }
        if (!large) {
            value = value * 10 + static_cast<unsigned long>(c - '0');
            large = value > limit;
        }
    }
    return large ? Number::TooLarge : Number::Ok;
}

std::vector<std::string> SplitDots(const std::string& text) {
    std::vector<std::string> pieces;
    std::string piece;
    for (char c : text) {
        if (c == '.') {
            if (!piece.empty()) {
                pieces.push_back(piece);
            }
            piece.clear();
        } else {
            piece.push_back(c);
        }
    }
    if (!piece.empty()) {
        pieces.push_back(piece);
    }
    return pieces;
}

std::string NotANumber(const char* field, const std::string& text) {
    return std::string(field) + ": '" + text + "' is not a valid integer value. Nothing sent.";
}

std::string Above(const char* field, const std::string& text, const char* limit) {
    return std::string(field) + ": " + text + " is above " + limit + ". Nothing sent.";
}

struct AddressField {
    const char* caption;
    std::uint8_t tag;
    const std::string& edit;
    std::string NetworkRecord::*stored;
};

// The mode entry, when the mode changes; DHCP clears the stored addresses.
void PlanMode(const IpEdits& edits, IpConfigPlan& plan) {
    NetworkRecord& after = plan.stored;
    if (edits.mode == after.ipMode) {
        return;
    }
    plan.entries.push_back({kTagIpMode, {static_cast<std::uint8_t>(edits.mode)}});
    after.ipMode = edits.mode;
    if (edits.mode == 1) {
        after.ipAddress = "0.0.0.0";
        after.subnetMask = "0.0.0.0";
        after.gateway = "0.0.0.0";
    }
}

// One entry per changed address (address, mask and gateway in static mode only, the DNS
// always); an address that is not four numbers is skipped. The reason when a number refuses
// the whole write.
std::optional<std::string> PlanAddresses(const IpEdits& edits, IpConfigPlan& plan) {
    std::vector<AddressField> fields;
    if (edits.mode == 0) {
        fields.push_back({"IP Address", kTagIpAddress, edits.ipAddress, &NetworkRecord::ipAddress});
        fields.push_back(
            {"SubNet Mask", kTagSubnetMask, edits.subnetMask, &NetworkRecord::subnetMask});
        fields.push_back({"GateWay IP", kTagGateway, edits.gateway, &NetworkRecord::gateway});
    }
    fields.push_back({"DNS", kTagDns, edits.dns, &NetworkRecord::dns});
    for (const AddressField& field : fields) {
        if (field.edit == plan.stored.*field.stored) {
            continue;
        }
        const std::vector<std::string> pieces = SplitDots(field.edit);
        if (pieces.size() != 4) {
            plan.skipped.push_back(std::string(field.caption) + " \"" + field.edit +
                                   "\" is not four numbers: not sent.");
            continue;
        }
        TlvEntry entry{field.tag, {}};
        for (const std::string& piece : pieces) {
            unsigned long value = 0;
            switch (ParseDecimal(piece, 255, value)) {
            case Number::NotDecimal:
                return NotANumber(field.caption, piece);
            case Number::TooLarge:
                return Above(field.caption, piece, "255");
            case Number::Ok:
                entry.value.push_back(static_cast<std::uint8_t>(value));
                break;
            }
        }
        plan.entries.push_back(std::move(entry));
        plan.stored.*field.stored = field.edit;
    }
    return std::nullopt;
}

// One entry per changed port. The reason when a port refuses the whole write.
std::optional<std::string> PlanPorts(const IpEdits& edits, IpConfigPlan& plan) {
    const struct {
        const char* caption;
        std::uint8_t tag;
        const std::string& edit;
        int NetworkRecord::*stored;
    } ports[] = {{"WebGUI Port", kTagWebPort, edits.webPort, &NetworkRecord::webPort},
                 {"Telnet Port", kTagTelnetPort, edits.telnetPort, &NetworkRecord::telnetPort}};
    for (const auto& port : ports) {
        unsigned long value = 0;
        switch (ParseDecimal(port.edit, 65535, value)) {
        case Number::NotDecimal:
            return NotANumber(port.caption, port.edit);
        case Number::TooLarge:
            return Above(port.caption, port.edit, "65535");
        case Number::Ok:
            break;
        }
        if (static_cast<int>(value) != plan.stored.*port.stored) {
            plan.entries.push_back(PortEntry(port.tag, static_cast<std::uint16_t>(value)));
            plan.stored.*port.stored = static_cast<int>(value);
        }
    }
    return std::nullopt;
}

} // namespace

IpEdits IpEditsOf(const NetworkRecord& record) {
    IpEdits edits;
    edits.mode = record.ipMode;
    edits.ipAddress = record.ipAddress;
    edits.subnetMask = record.subnetMask;
    edits.gateway = record.gateway;
    edits.dns = record.dns;
    edits.webPort = std::to_string(record.webPort);
    edits.telnetPort = std::to_string(record.telnetPort);
    return edits;
}

IpConfigPlan PlanIpConfiguration(const NetworkRecord& stored, const IpEdits& edits) {
    IpConfigPlan plan;
    plan.stored = stored;
    plan.entries.push_back(MacEntry(stored.mac));
    PlanMode(edits, plan);
    std::optional<std::string> refusal = PlanAddresses(edits, plan);
    if (!refusal) {
        refusal = PlanPorts(edits, plan);
    }
    if (refusal) {
        // A refused write changes nothing that is stored.
        IpConfigPlan refused;
        refused.refused = true;
        refused.error = std::move(*refusal);
        refused.stored = stored;
        return refused;
    }
    return plan;
}

std::string DeviceWebAddress(const NetworkRecord& record) {
    if (record.webPort == 0) {
        return {};
    }
    std::string address = "Http://" + record.ipAddress;
    if (record.webPort != 80) {
        address += ":" + std::to_string(record.webPort);
    }
    return address + "/";
}

} // namespace lvx
