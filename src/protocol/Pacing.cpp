#include "protocol/Pacing.h"

#include "protocol/CommandTable.h"

namespace lvx {

namespace {

int ExtraAfterSet(std::uint16_t command, std::uint8_t loaderKind, std::uint32_t selector) {
    switch (command) {
    case CmdNdSel:
        return (selector >> 12) == 2 ? 100 : 50;
    case CmdFwData:
        return loaderKind == 1 ? 90 : loaderKind == 2 ? 30 : 0;
    case CmdSysDef:
        return 500;
    default:
        return 0;
    }
}

} // namespace

CommandPacing PacingFor(std::uint8_t mode, std::uint16_t command, std::uint8_t loaderKind,
                        std::uint32_t selector) {
    if (command == CmdWakeUp) {
        return {0, 200, 0};
    }
    CommandPacing pacing;
    pacing.wakeUp = command == CmdEntrance ? 150 : 0;
    if (mode == ModeGet) {
        pacing.frame = 60;
    } else {
        pacing.frame = 20;
        pacing.extra = ExtraAfterSet(command, loaderKind, selector);
    }
    return pacing;
}

} // namespace lvx
