#include "links/PortProbe.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace lvx {

namespace {

std::string GroupName(gid_t gid) {
    std::vector<char> buffer(16384);
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) {
        return found->gr_name;
    }
    return std::to_string(gid);
}

// The user's name and whether the group database lists the user in `gid`.
std::pair<std::string, bool> UserAndMembership(gid_t gid) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr) {
        return {std::string(), false};
    }
    const std::string name = found->pw_name;
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        if (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) {
            return {name, false};
        }
    }
    groups.resize(static_cast<std::size_t>(count));
    return {name, std::find(groups.begin(), groups.end(), gid) != groups.end()};
}

} // namespace

std::optional<PortAccess> ProbePortAccess(const std::string& path) {
    if (faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) == 0) {
        return std::nullopt;
    }
    const int error = errno;
    if (error != EACCES && error != EPERM) {
        return std::nullopt;
    }
    struct stat node {};
    if (stat(path.c_str(), &node) != 0) {
        return std::nullopt;
    }
    PortAccess access;
    access.path = path;
    access.error = error;
    access.group = GroupName(node.st_gid);
    access.mode = node.st_mode & 07777U;
    const auto [user, member] = UserAndMembership(node.st_gid);
    access.user = user;
    access.memberOfGroup = member;
    return access;
}

} // namespace lvx
