#pragma once

#include <cstring>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lvx::test {

// Moves this process into a network namespace of its own with its loopback interface up, so
// that a test may bind the devices' real UDP ports without meeting anything else on the
// machine, and every process it starts afterwards (linkvex-devsim, linkvex-cli) shares that
// namespace. Call it before any thread starts (a namespace is per thread): a static
// initialiser of the test program does. Needs root, as CI has; false otherwise.
inline bool EnterOwnNetworkNamespace() {
    if (::unshare(CLONE_NEWNET) != 0) {
        return false;
    }
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) {
        return false;
    }
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP | IFF_RUNNING);
    up = up && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return up;
}

} // namespace lvx::test
