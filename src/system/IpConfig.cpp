#include "system/IpConfig.h"

#include <cstdint>

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
    NetworkRecord& after = plan.stored;
    // A refused write changes nothing that is stored.
    auto refuse = [&stored](std::string why) {
        IpConfigPlan refused;
        refused.refused = true;
        refused.error = std::move(why);
        refused.stored = stored;
        return refused;
    };

    plan.entries.push_back(MacEntry(stored.mac));
    if (edits.mode != stored.ipMode) {
        plan.entries.push_back({kTagIpMode, {static_cast<std::uint8_t>(edits.mode)}});
        after.ipMode = edits.mode;
        if (edits.mode == 1) {
            after.ipAddress = "0.0.0.0";
            after.subnetMask = "0.0.0.0";
            after.gateway = "0.0.0.0";
        }
    }

    std::vector<AddressField> fields;
    if (edits.mode == 0) {
        fields.push_back({"IP Address", kTagIpAddress, edits.ipAddress, &NetworkRecord::ipAddress});
        fields.push_back(
            {"SubNet Mask", kTagSubnetMask, edits.subnetMask, &NetworkRecord::subnetMask});
        fields.push_back({"GateWay IP", kTagGateway, edits.gateway, &NetworkRecord::gateway});
    }
    fields.push_back({"DNS", kTagDns, edits.dns, &NetworkRecord::dns});
    for (const AddressField& field : fields) {
        if (field.edit == after.*field.stored) {
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
                return refuse(NotANumber(field.caption, piece));
            case Number::TooLarge:
                return refuse(Above(field.caption, piece, "255"));
            case Number::Ok:
                entry.value.push_back(static_cast<std::uint8_t>(value));
                break;
            }
        }
        plan.entries.push_back(std::move(entry));
        after.*field.stored = field.edit;
    }

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
            return refuse(NotANumber(port.caption, port.edit));
        case Number::TooLarge:
            return refuse(Above(port.caption, port.edit, "65535"));
        case Number::Ok:
            break;
        }
        if (static_cast<int>(value) != after.*port.stored) {
            plan.entries.push_back(PortEntry(port.tag, static_cast<std::uint16_t>(value)));
            after.*port.stored = static_cast<int>(value);
        }
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
