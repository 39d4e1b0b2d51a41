#include "links/NetworkRecord.h"

#include "protocol/Hex.h"

namespace lvx {

std::string MacText(const MacAddress& mac) {
    std::string text;
    for (std::size_t i = 0; i < mac.size(); ++i) {
        if (i > 0) {
            text += ':';
        }
        text += ByteToHex(mac[i]);
    }
    return text;
}

} // namespace lvx
