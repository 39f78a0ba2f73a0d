#include "SocketKeepAlive.h"

#include <dirent.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <string>

namespace tarvel::fb {

namespace {

bool isConnectedTcp(int descriptor) {
    struct stat about {};
    if (::fstat(descriptor, &about) != 0 || !S_ISSOCK(about.st_mode)) return false;
    int value = 0;
    socklen_t length = sizeof value;
    if (::getsockopt(descriptor, SOL_SOCKET, SO_TYPE, &value, &length) != 0 || value != SOCK_STREAM)
        return false;
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    if (::getpeername(descriptor, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0) return false;
    return peer.ss_family == AF_INET || peer.ss_family == AF_INET6;
}

bool setInt(int descriptor, int level, int option, int value) {
    return ::setsockopt(descriptor, level, option, &value, sizeof value) == 0;
}

}  // namespace

std::set<int> connectedTcpSockets() {
    std::set<int> found;
    DIR* folder = ::opendir("/proc/self/fd");
    if (!folder) return found;
    const int own = ::dirfd(folder);
    while (const dirent* entry = ::readdir(folder)) {
        char* end = nullptr;
        const long descriptor = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || descriptor == own) continue;
        if (isConnectedTcp(static_cast<int>(descriptor))) found.insert(static_cast<int>(descriptor));
    }
    ::closedir(folder);
    return found;
}

SilenceTimes silenceTimes(int seconds) {
    seconds = std::clamp(seconds, 1, 3600);
    return {std::max(1, seconds / 3), std::max(1, seconds / 7), 3, static_cast<unsigned>(seconds) * 1000u};
}

int boundSilenceOfNewSockets(const std::set<int>& before, int seconds) {
    const SilenceTimes times = silenceTimes(seconds);
    int set = 0;
    for (int descriptor : connectedTcpSockets()) {
        if (before.count(descriptor) != 0) continue;
        const bool ok = setInt(descriptor, SOL_SOCKET, SO_KEEPALIVE, 1) &&
                        setInt(descriptor, IPPROTO_TCP, TCP_KEEPIDLE, times.idle) &&
                        setInt(descriptor, IPPROTO_TCP, TCP_KEEPINTVL, times.interval) &&
                        setInt(descriptor, IPPROTO_TCP, TCP_KEEPCNT, times.count) &&
                        ::setsockopt(descriptor, IPPROTO_TCP, TCP_USER_TIMEOUT, &times.userTimeoutMs,
                                     sizeof times.userTimeoutMs) == 0;
        if (ok) ++set;
    }
    return set;
}

}  // namespace tarvel::fb
