#pragma once

#include <cstring>

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace varnel {

// Moves this process into a network namespace of its own, with only the loopback interface, when it
// may (as root), so that tests on the mail port never meet a copy of the program running on this
// machine. Call from the test's initMain(), before the application object and any thread exist;
// programs the test starts inherit it.
// Without the right to do so everything stays as it is, and false is returned.
inline bool EnterOwnNetwork() {
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNET) != 0)
        return false;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    ifreq request{};
    std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
    bool up = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
    request.ifr_flags = short(request.ifr_flags | IFF_UP);
    up = up && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
    ::close(fd);
    return up;
}

} // namespace varnel
