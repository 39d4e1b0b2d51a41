#include "connection/DeviceRows.h"

namespace lvx {

std::string DeviceRow::column(int c) const {
    switch (c) {
    case 0:
        return number;
    case 1:
        return interface;
    case 2:
        return product;
    case 3:
        return description;
    case 4:
        return ip;
    case 5:
        return mac;
    default:
        return {};
    }
}

const std::vector<std::string>& DeviceColumnHeaders() {
    static const std::vector<std::string> headers = {"#",           "Interface",  "Product",
                                                     "Description", "IP Address", "MAC Address"};
    return headers;
}

const std::vector<ModelEntry>& ModelTable() {
    static const std::vector<ModelEntry> table = {
        {"QX-AD200", "AUDIO DECODER", "Audio Decoder", "AUDIO DECODER"},
        {"QX-AI110", "AUDIO INSERTER", "Audio Inserter", "AUDIO INSERTER"},
        {"QX-AE112", "2CH AUDIO EXTRACTOR", "Audio 2CH Extractor", "2CH AUDIO EXTRACTOR"},
        {"QX-AE118", "8CH AUDIO EXTRACTOR", "Audio 8CH Extractor", "8CH AUDIO EXTRACTOR"},
        {"QT-7700TX", "HDBT TX", "48V Valens TX", "HDBT TX"},
        {"QEM-2", "UHD+EDID Manager", "EDID Management", "UHD+EDID Manager"},
    };
    return table;
}

void ApplyModelTable(DeviceRecord& record) {
    for (const ModelEntry& entry : ModelTable()) {
        if (record.model == entry.model) {
            record.model = entry.typeText;
            if (record.productString == entry.description) {
                record.productString = entry.replacement;
            }
            return;
        }
    }
}

std::string IspModelText(std::string_view buffer, std::string_view marker) {
    const std::size_t at = buffer.find(marker);
    if (at == std::string_view::npos) {
        return {};
    }
    std::string_view rest = buffer.substr(at + marker.size());
    const std::size_t end = rest.find_first_of(std::string_view("\r\n\0", 3));
    return std::string(rest.substr(0, end));
}

} // namespace lvx
