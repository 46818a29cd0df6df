#pragma once
// Plays a fault on the socket of one accepted connection, in place of the
// normal answer. Linux sockets; no HTTP library.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "fault.h"

namespace clipdeck::service {

// The answer the request would have had.
struct RawAnswer {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;  // Content-Length is added
    std::string body;
};

// Status line, the headers, Content-Length: `contentLength`, Connection: close.
std::string AnswerHead(const RawAnswer& answer, std::uint64_t contentLength);

// Sends what `rule` lets through of `answer` on `fd`, then ends the
// connection (with a reset for FaultKind::Reset). Afterwards `fd` no longer
// refers to the connection but to an unconnected socket, so whoever owns the
// number may go on writing to it and close it as usual; their writes fail.
// `stopping` is asked between steps of a stall or drip, so a stop is not
// held up. Returns the body bytes sent.
std::uint64_t PlayFault(int fd, const FaultRule& rule, const RawAnswer& answer,
                        const std::function<bool()>& stopping);

// The descriptor of this process's TCP connection between local port
// `localPort` and the peer `peerAddress`:`peerPort`; -1 when there is none.
int FindConnection(int localPort, const std::string& peerAddress, int peerPort);

}  // namespace clipdeck::service
