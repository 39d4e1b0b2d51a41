#include "edid/EdidFile.h"

#include <algorithm>

namespace lvx {

EdidImage ImageFromFileBytes(const std::uint8_t* data, std::size_t size) {
    EdidImage image;
    image.fill(0xFF);
    if (data != nullptr) {
        std::copy_n(data, std::min(size, image.size()), image.begin());
    }
    return image;
}

EdidImage ImageFromFileBytes(const std::vector<std::uint8_t>& bytes) {
    return ImageFromFileBytes(bytes.data(), bytes.size());
}

std::string BinSaveName(std::string_view chosen) {
    const std::size_t slash = chosen.rfind('/');
    const std::string_view file =
        (slash == std::string_view::npos) ? chosen : chosen.substr(slash + 1);
    if (file.empty()) {
        return {};
    }
    const std::size_t dot = file.rfind('.');
    const bool hasExtension = dot != std::string_view::npos && dot != 0;
    if (hasExtension && file.substr(dot) == ".bin") {
        return std::string(chosen);
    }
    return std::string(chosen) + ".bin";
}

std::string DefaultSaveName(NodeRef node) {
    std::string name;
    switch (node.kind) {
    case NodeKind::Input:
        name = "Input";
        break;
    case NodeKind::Output:
        name = "Output";
        break;
    case NodeKind::User:
        name = "User";
        break;
    case NodeKind::Internal:
        name = "Internal";
        break;
    }
    return name + std::to_string(node.number + 1) + " EDID";
}

} // namespace lvx
