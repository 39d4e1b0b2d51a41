#include "protocol/CommandTable.h"

#include <array>

namespace lvx {
namespace {

constexpr std::array<std::string_view, kCommandCount> kNames = {
    "ENTRANCE", "SYS_DSCPT", "SYS_STR", "SYS_DEF", "SYS_STM",    "SYS_CTM",  "ND_SEL",
    "ND_DSCPT", "ND_ED0A",   "ND_ED0B", "ND_ED1A", "ND_ED1B",    "RXEDMD",   "FW_ADDR",
    "FW_DATA",  "FW_END",    "FW_CHK",  "COM_MSG", "COM_CONFIG", "RESERVED",
};

} // namespace

std::string_view CommandName(std::uint16_t command) {
    return command < kNames.size() ? kNames[command] : std::string_view{};
}

int CommandByName(std::string_view name) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (kNames[i] == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace lvx
