// The fault sockets' calls on Windows. A SOCKET is a handle, and handles are
// small multiples of four: the connection a request came on is found by
// asking each for its addresses. Ending it leaves the handle open (the HTTP
// library closes it): a reset is an abortive close set up before the
// library's own closesocket, so the client first sees the connection shut,
// then the reset.

#include "fault_socket.h"

#include <algorithm>

#include "socket_api.h"

namespace clipdeck::service::socket_io {

namespace {

// Handles beyond this are not looked at; a service holds a few hundred.
constexpr SocketHandle kLastHandle = 0x10000;

}  // namespace

void LimitSendTime(SocketHandle socket, int seconds) {
    const DWORD ms = static_cast<DWORD>(seconds) * 1000;
    setsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&ms), sizeof ms);
}

bool SendAll(SocketHandle socket, std::string_view bytes) {
    while (!bytes.empty()) {
        const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20));
        const int sent = send(static_cast<SOCKET>(socket), bytes.data(), chunk, 0);
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

Peer WaitForPeer(SocketHandle socket, int ms) {
    WSAPOLLFD p{static_cast<SOCKET>(socket), POLLRDNORM, 0};
    const int n = WSAPoll(&p, 1, ms);
    if (n < 0) return Peer::Gone;
    if (n == 0) return Peer::Quiet;
    return (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0 ? Peer::Gone : Peer::Sent;
}

bool Discard(SocketHandle socket) {
    char sink[4096];
    return recv(static_cast<SOCKET>(socket), sink, sizeof sink, 0) > 0;
}

void Drop(SocketHandle socket, bool reset) {
    const SOCKET s = static_cast<SOCKET>(socket);
    if (reset) {
        const linger now{1, 0};
        setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&now), sizeof now);
    }
    shutdown(s, SD_BOTH);
}

void ForEachSocket(const std::function<bool(SocketHandle)>& visit) {
    for (SocketHandle handle = 4; handle <= kLastHandle; handle += 4) {
        if (!visit(handle)) return;
    }
}

}  // namespace clipdeck::service::socket_io
