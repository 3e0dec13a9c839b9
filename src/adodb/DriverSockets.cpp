#include "adodb/DriverSockets.h"

#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cstdlib>
#include <memory>

namespace adodb::detail {
namespace {

// A silent peer is found after 30 s of silence and three unanswered probes 10 s apart,
// as on the program's own COPY connections.
constexpr int kIdleSeconds = 30;
constexpr int kProbeSeconds = 10;
constexpr int kProbes = 3;

bool IsTcpSocket(int fd) {
    int type = 0;
    socklen_t length = sizeof type;
    if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM)
        return false;
    sockaddr_storage address{};
    socklen_t size = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return false;
    return address.ss_family == AF_INET || address.ss_family == AF_INET6;
}

// The process's open TCP sockets (Linux: /proc/self/fd); none where that cannot be read.
std::set<int> TcpSockets() {
    std::set<int> sockets;
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(opendir("/proc/self/fd"), closedir);
    if (!folder)
        return sockets;
    const int own = dirfd(folder.get());
    while (const dirent* entry = readdir(folder.get())) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == own)
            continue;
        if (IsTcpSocket(static_cast<int>(fd)))
            sockets.insert(static_cast<int>(fd));
    }
    return sockets;
}

bool KeepAlive(int fd) {
    const int on = 1;
    return setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0 &&
           setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &kIdleSeconds, sizeof kIdleSeconds) == 0 &&
           setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &kProbeSeconds, sizeof kProbeSeconds) == 0 &&
           setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &kProbes, sizeof kProbes) == 0;
}

}  // namespace

DriverSockets::DriverSockets() : before_(TcpSockets()) {}

int DriverSockets::KeepAliveNew() const {
    int set = 0;
    for (const int fd : TcpSockets())
        if (before_.count(fd) == 0 && KeepAlive(fd))
            ++set;
    return set;
}

}  // namespace adodb::detail
