#include "fault_socket.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "socket_api.h"

namespace clipdeck::service {

namespace {

using Clock = std::chrono::steady_clock;

std::string_view Reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 416: return "Range Not Satisfiable";
    default: return status < 400 ? "OK" : "Error";
    }
}

// Waits up to `ms`, or without end for ms < 0; true when the peer has gone
// (closed or reset) or the service stops. What the peer sends meanwhile is
// read and dropped.
bool WaitForPeerGone(SocketHandle socket, long long ms, const std::function<bool()>& stopping) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms < 0 ? 0 : ms);
    for (;;) {
        if (stopping()) return true;
        long long slice = 100;
        if (ms >= 0) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - Clock::now()).count();
            if (left <= 0) return false;
            slice = std::min<long long>(slice, left);
        }
        switch (socket_io::WaitForPeer(socket, static_cast<int>(slice))) {
        case socket_io::Peer::Quiet: break;
        case socket_io::Peer::Sent:
            if (!socket_io::Discard(socket)) return true;
            break;
        case socket_io::Peer::Gone: return true;
        }
    }
}

std::uint16_t PortOf(const sockaddr_storage& address) {
    if (address.ss_family == AF_INET) return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    if (address.ss_family == AF_INET6) return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
    return 0;
}

std::string AddressOf(const sockaddr_storage& address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET)
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in&>(address).sin_addr, text, sizeof text);
    else if (address.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6&>(address).sin6_addr, text, sizeof text);
    return text;
}

}  // namespace

SocketHandle FindConnection(int localPort, const std::string& peerAddress, int peerPort) {
    SocketHandle found = kNoSocket;
    socket_io::ForEachSocket([&](SocketHandle candidate) {
        sockaddr_storage local{}, peer{};
        socklen_t localSize = sizeof local, peerSize = sizeof peer;
        const auto s = static_cast<NativeSocket>(candidate);
        if (getsockname(s, reinterpret_cast<sockaddr*>(&local), &localSize) != 0 ||
            getpeername(s, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0)
            return true;
        if (PortOf(local) != localPort || PortOf(peer) != peerPort || AddressOf(peer) != peerAddress) return true;
        found = candidate;
        return false;
    });
    return found;
}

std::string AnswerHead(const RawAnswer& answer, std::uint64_t contentLength) {
    std::string head = "HTTP/1.1 " + std::to_string(answer.status) + " " + std::string(Reason(answer.status)) + "\r\n";
    for (const auto& [name, value] : answer.headers) head += name + ": " + value + "\r\n";
    head += "Content-Length: " + std::to_string(contentLength) + "\r\nConnection: close\r\n\r\n";
    return head;
}

std::uint64_t PlayFault(SocketHandle fd, const FaultRule& rule, const RawAnswer& answer,
                        const std::function<bool()>& stopping) {
    using socket_io::SendAll;
    socket_io::LimitSendTime(fd, 5);

    const std::string_view body = answer.body;
    const std::uint64_t size = body.size();
    const std::uint64_t arg = rule.arg.value_or(1);
    std::uint64_t sent = 0;
    switch (rule.kind) {
    case FaultKind::Refuse:
        break;
    case FaultKind::Reset:
        if (rule.arg) {
            sent = std::min(*rule.arg, size);
            if (!SendAll(fd, AnswerHead(answer, size) + std::string(body.substr(0, sent)))) sent = 0;
        }
        break;
    case FaultKind::Stall:
        if (SendAll(fd, AnswerHead(answer, size))) WaitForPeerGone(fd, -1, stopping);
        break;
    case FaultKind::Partial:
        sent = std::min(arg, size > 0 ? size - 1 : 0);
        if (!SendAll(fd, AnswerHead(answer, size) + std::string(body.substr(0, sent)))) sent = 0;
        break;
    case FaultKind::Drip: {
        const std::string all = AnswerHead(answer, size) + std::string(body);
        const std::size_t headSize = all.size() - body.size();
        for (std::size_t i = 0; i < all.size(); ++i) {
            if (!SendAll(fd, std::string_view(all).substr(i, 1))) break;
            if (i >= headSize) ++sent;
            if (i + 1 < all.size() && WaitForPeerGone(fd, static_cast<long long>(arg), stopping)) break;
        }
        break;
    }
    case FaultKind::Long:
        if (SendAll(fd, AnswerHead(answer, size + arg) + std::string(body))) sent = size;
        break;
    case FaultKind::Short:
        if (SendAll(fd, AnswerHead(answer, size > arg ? size - arg : 0) + std::string(body))) sent = size;
        break;
    case FaultKind::Delay:
        if (!WaitForPeerGone(fd, static_cast<long long>(arg), stopping) &&
            SendAll(fd, AnswerHead(answer, size) + std::string(body)))
            sent = size;
        break;
    }
    socket_io::Drop(fd, rule.kind == FaultKind::Reset);
    return sent;
}

}  // namespace clipdeck::service
