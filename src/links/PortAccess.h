#pragma once

#include <string>

namespace lvx {

// What the system says about a serial port the program was not allowed to open.
struct PortAccess {
    std::string path;
    int error = 0;     // errno of the refused access (EACCES or EPERM)
    std::string group; // the group that owns the device node, by name (by number without one)
    unsigned mode = 0; // the node's permission bits
    std::string user;  // who runs the program; empty when unknown
    // The user is listed in that group, though this session may have begun before.
    bool memberOfGroup = false;
};

// The plain words for a refused port, naming the fix: membership of the node's group and a new
// login, or (when the group itself may not read and write the node) an administrator's rule
// first. Empty when the error is not a refused permission.
std::string PortAccessHint(const PortAccess& access);

} // namespace lvx
