#pragma once
// Plays a fault on the socket of one accepted connection, in place of the
// normal answer. No HTTP library; the socket calls are in
// fault_socket_posix.cpp and fault_socket_win.cpp.

#include <cstdint>
#include <functional>
#include <string_view>
#include <string>
#include <utility>
#include <vector>

#include "fault.h"

namespace clipdeck::service {

// A socket: a descriptor on Linux, a SOCKET on Windows.
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = -1;

// The answer the request would have had.
struct RawAnswer {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;  // Content-Length is added
    std::string body;
};

// Status line, the headers, Content-Length: `contentLength`, Connection: close.
std::string AnswerHead(const RawAnswer& answer, std::uint64_t contentLength);

// Sends what `rule` lets through of `answer` on `socket`, then ends the
// connection (with a reset for FaultKind::Reset). Afterwards the socket no
// longer carries the connection, so whoever owns it may go on writing to it
// and close it as usual; their writes fail. `stopping` is asked between steps
// of a stall or drip, so a stop is not held up. Returns the body bytes sent.
std::uint64_t PlayFault(SocketHandle socket, const FaultRule& rule, const RawAnswer& answer,
                        const std::function<bool()>& stopping);

// This process's TCP connection between local port `localPort` and the peer
// `peerAddress`:`peerPort`; kNoSocket when there is none.
SocketHandle FindConnection(int localPort, const std::string& peerAddress, int peerPort);

// The socket calls that differ between the systems, one file for each.
namespace socket_io {
// A client that stops reading must not hold a thread for ever.
void LimitSendTime(SocketHandle socket, int seconds);
bool SendAll(SocketHandle socket, std::string_view bytes);
enum class Peer { Quiet, Sent, Gone };
// Waits up to `ms` for the peer: it sent something, or closed or reset the
// connection (Gone, as for any failure).
Peer WaitForPeer(SocketHandle socket, int ms);
// Reads and drops what the peer sent; false when it has gone.
bool Discard(SocketHandle socket);
// Ends the connection (a FIN, or a RST when `reset`) and leaves the socket
// unusable but open: its owner closes it.
void Drop(SocketHandle socket, bool reset);
// Every socket the process may hold: its descriptors on Linux; on Windows,
// where a process's sockets cannot be listed, every small handle value.
void ForEachSocket(const std::function<bool(SocketHandle)>& visit);
}  // namespace socket_io

}  // namespace clipdeck::service
