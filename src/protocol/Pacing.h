#pragma once

#include <cstdint>

namespace lvx {

// The waits around one request frame, in milliseconds; 0 is no wait. Each is a wait of its
// own, in this order: `wakeUp` after the wake-up text that goes ahead of ENTRANCE, `frame`
// after the frame (after the wake-up text alone for the wake-up command), and `extra` after
// that for the SETs that need more time.
struct CommandPacing {
    int wakeUp = 0;
    int frame = 0;
    int extra = 0;
};

// The pacing of a command: 60 ms after a GET, 200 after the wake-up; 20 after a SET, then
// ND_SEL 100 for a user EDID node (selector class 2) and 50 for any other, FW_DATA 90 for a
// loader of kind 1 and 30 for kind 2, SYS_DEF 500. ENTRANCE is preceded by a wake-up text
// and 150 ms. `loaderKind` is that of the device the frame goes to (0 when it is no loader),
// `selector` the node selector it was last sent.
CommandPacing PacingFor(std::uint8_t mode, std::uint16_t command, std::uint8_t loaderKind,
                        std::uint32_t selector);

} // namespace lvx
