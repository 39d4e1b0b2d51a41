#include "protocol/Descriptor.h"

#include <climits>

namespace lvx {

std::vector<std::string> ReadFields(std::string_view answer) {
    std::vector<std::string> fields;
    std::size_t closing = answer.find(kFieldSeparator);
    if (closing == std::string_view::npos) {
        return fields;
    }
    fields.emplace_back(answer.substr(0, closing));
    std::size_t start = closing + 1;
    while (start + 1 < answer.size()) {
        closing = answer.find(kFieldSeparator, start + 1);
        if (closing == std::string_view::npos) {
            break;
        }
        fields.emplace_back(answer.substr(start, closing - start));
        start = closing + 1;
    }
    return fields;
}

long long FieldNumber(std::string_view field) {
    std::size_t i = 0;
    while (i < field.size() && field[i] == ' ') {
        ++i;
    }
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) {
        negative = field[i] == '-';
        ++i;
    }
    if (i >= field.size()) {
        return 0;
    }
    long long value = 0;
    for (; i < field.size(); ++i) {
        const char c = field[i];
        if (c < '0' || c > '9') {
            return 0;
        }
        if (value > (LLONG_MAX - 9) / 10) {
            return 0;
        }
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

bool FieldFlag(std::string_view field) {
    return field == "T";
}

EdidSelectionLists BuildEdidSelectionLists(int inputCount, int outputCount, int userCount,
                                           int internalCount) {
    EdidSelectionLists lists;
    const std::string separator(kListSeparator);
    for (int i = 1; i <= inputCount; ++i) {
        const std::string text = "Input " + std::to_string(i);
        lists.all.push_back(text);
        lists.upload.push_back(text);
        lists.input.push_back(text);
    }
    lists.inputVisible = inputCount > 1;
    lists.all.push_back(separator);
    for (int i = 1; i <= outputCount; ++i) {
        lists.all.push_back("Output " + std::to_string(i));
    }
    lists.all.push_back(separator);
    lists.upload.push_back(separator);
    for (int i = 1; i <= userCount; ++i) {
        const std::string text = "User " + std::to_string(i);
        lists.all.push_back(text);
        lists.upload.push_back(text);
    }
    lists.all.push_back(separator);
    for (int i = 1; i <= internalCount; ++i) {
        lists.all.push_back("Internal " + std::to_string(i));
    }
    return lists;
}

namespace {

std::string_view fieldAt(const std::vector<std::string>& fields, std::size_t number) {
    return number >= 1 && number <= fields.size() ? std::string_view(fields[number - 1])
                                                  : std::string_view{};
}

std::uint8_t byteField(const std::vector<std::string>& fields, std::size_t number) {
    return static_cast<std::uint8_t>(
        static_cast<unsigned long long>(FieldNumber(fieldAt(fields, number))) & 0xFF);
}

} // namespace

EdidSelectionLists ParseDeviceDescriptor(DeviceRecord& record, std::string_view answer) {
    const std::vector<std::string> fields = ReadFields(answer);
    record.vid = std::string(fieldAt(fields, 1));
    record.pid = std::string(fieldAt(fields, 2));
    record.model = std::string(fieldAt(fields, 3));
    record.setProductString(std::string(fieldAt(fields, 4)));
    record.version = std::string(fieldAt(fields, 6));
    record.descriptorFlag7 = FieldFlag(fieldAt(fields, 7)) ? 1 : 0;
    record.inputCount = byteField(fields, 8);
    record.outputCount = byteField(fields, 9);
    record.userEdidCount = byteField(fields, 10);
    record.internalEdidCount = byteField(fields, 11);
    record.comChannelCount = static_cast<std::int32_t>(static_cast<std::uint32_t>(
        static_cast<unsigned long long>(FieldNumber(fieldAt(fields, 12))) & 0xFFFFFFFFu));
    return BuildEdidSelectionLists(record.inputCount, record.outputCount, record.userEdidCount,
                                   record.internalEdidCount);
}

bool ParseNodeDescriptor(DeviceRecord& record, std::string_view answer) {
    const std::uint32_t nodeClass = record.nodeSelector >> 12;
    const std::uint32_t index = record.nodeSelector & 0x0FFF;
    if ((nodeClass != 0 && nodeClass != 1) || index >= static_cast<std::uint32_t>(kNodeCount)) {
        return false;
    }
    NodeEntry& node = nodeClass == 0 ? record.inputNodes[index] : record.outputNodes[index];
    const std::vector<std::string> fields = ReadFields(answer);
    node.bytes[0] = byteField(fields, 1);
    node.bytes[1] = byteField(fields, 2);
    node.bytes[2] = byteField(fields, 3);
    node.bytes[3] = FieldFlag(fieldAt(fields, 4)) ? 1 : 0;
    node.bytes[5] = FieldFlag(fieldAt(fields, 5)) ? 1 : 0;
    node.bytes[6] = FieldFlag(fieldAt(fields, 6)) ? 1 : 0;
    node.bytes[7] = FieldFlag(fieldAt(fields, 7)) ? 1 : 0;
    node.bytes[8] = FieldFlag(fieldAt(fields, 8)) ? 1 : 0;
    return true;
}

} // namespace lvx
