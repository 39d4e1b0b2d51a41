#pragma once

#include <cstdint>
#include <string_view>

namespace lvx {

// Command numbers of the serial protocol; the number indexes the table of names.
enum Command : std::uint16_t {
    CmdEntrance = 0,
    CmdSysDscpt = 1,
    CmdSysStr = 2,
    CmdSysDef = 3,
    CmdSysStm = 4,
    CmdSysCtm = 5,
    CmdNdSel = 6,
    CmdNdDscpt = 7,
    CmdNdEd0A = 8,
    CmdNdEd0B = 9,
    CmdNdEd1A = 10,
    CmdNdEd1B = 11,
    CmdRxEdMd = 12,
    CmdFwAddr = 13,
    CmdFwData = 14,
    CmdFwEnd = 15,
    CmdFwChk = 16,
    CmdComMsg = 17,
    CmdComConfig = 18,
    CmdReserved = 19,
    CmdWakeUp = 254,
};

constexpr int kCommandCount = 20;

enum Mode : std::uint8_t { ModeGet = 0, ModeSet = 1 };

// The name sent on the wire, or an empty view for numbers without a name.
std::string_view CommandName(std::uint16_t command);

// The command number for a name, or -1.
int CommandByName(std::string_view name);

} // namespace lvx
