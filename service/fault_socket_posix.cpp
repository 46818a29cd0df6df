// The fault sockets' calls on Linux: a connection is ended by putting an
// unconnected socket in its descriptor's place.

#include "fault_socket.h"

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace clipdeck::service::socket_io {

void LimitSendTime(SocketHandle socket, int seconds) {
    const timeval limit{seconds, 0};
    setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
}

bool SendAll(SocketHandle socket, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = send(static_cast<int>(socket), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

Peer WaitForPeer(SocketHandle socket, int ms) {
    pollfd p{static_cast<int>(socket), POLLIN | POLLRDHUP, 0};
    const int n = poll(&p, 1, ms);
    if (n < 0) return Peer::Gone;
    if (n == 0) return Peer::Quiet;
    return (p.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL)) != 0 ? Peer::Gone : Peer::Sent;
}

bool Discard(SocketHandle socket) {
    char sink[4096];
    return recv(static_cast<int>(socket), sink, sizeof sink, MSG_DONTWAIT) > 0;
}

// The number stays taken: an unconnected socket replaces the connection,
// whose last reference goes with a FIN, or with a RST when `reset`.
void Drop(SocketHandle socket, bool reset) {
    const int fd = static_cast<int>(socket);
    if (reset) {
        const linger now{1, 0};
        setsockopt(fd, SOL_SOCKET, SO_LINGER, &now, sizeof now);
    }
    const int spare = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (spare >= 0 && dup2(spare, fd) >= 0) {
        close(spare);
        return;
    }
    if (spare >= 0) close(spare);
    // No spare socket: at least stop the connection; the owner closes it.
    shutdown(fd, SHUT_RDWR);
}

void ForEachSocket(const std::function<bool(SocketHandle)>& visit) {
    DIR* dir = opendir("/proc/self/fd");
    if (dir == nullptr) return;
    while (dirent* entry = readdir(dir)) {
        char* end = nullptr;
        const long fd = std::strtol(entry->d_name, &end, 10);
        if (end == entry->d_name || *end != '\0' || fd == dirfd(dir)) continue;
        struct stat info {};
        if (fstat(static_cast<int>(fd), &info) != 0 || !S_ISSOCK(info.st_mode)) continue;
        if (!visit(fd)) break;
    }
    closedir(dir);
}

}  // namespace clipdeck::service::socket_io
