#include "links/PortAccess.h"

#include <cerrno>
#include <cstdio>

namespace lvx {

std::string PortAccessHint(const PortAccess& a) {
    if (a.error != EACCES && a.error != EPERM) {
        return {};
    }
    const std::string user = a.user.empty() ? std::string("$USER") : a.user;
    const std::string group = "\"" + a.group + "\"";
    const std::string start = "No permission to open " + a.path + ": ";
    constexpr unsigned kGroupReadWrite = 060;
    if ((a.mode & kGroupReadWrite) != kGroupReadWrite) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", a.mode & 07777U);
        return start + "its group " + group + " may not read and write it (mode " + mode +
               "). An administrator must give that group read and write access (a udev "
               "rule), then add your user " +
               user + " to it; log out and log in again after that.";
    }
    if (a.memberOfGroup) {
        return start + "it belongs to the group " + group + ". Your user " + user +
               " is a member, but this session began before it was added: log out and log "
               "in again.";
    }
    return start + "it belongs to the group " + group + ", and your user " + user +
           " is not a member. Add it with \"sudo usermod -a -G " + a.group + " " + user +
           "\", then log out and log in again.";
}

} // namespace lvx
