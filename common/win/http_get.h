#pragma once
// One blocking HTTP GET through WinINet with bounded waits, made on the
// caller's thread with a session of its own.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace common {

struct HttpGetRequest {
    std::wstring host;
    std::uint16_t port = 80;
    std::wstring pathAndQuery;        // starts with '/'
    std::wstring userAgent;
    unsigned long flags = 0;          // INTERNET_FLAG_... of the request
    unsigned long timeoutMs = 5000;   // each of connect, send and receive
    std::size_t maxBody = 0;
};

struct HttpGetResult {
    bool answered = false;       // a status line (status 100 to 599) came back
    unsigned long status = 0;
    // Read only for status 200 (no caller wants another body), and at most
    // maxBody bytes of it.
    std::string body;
    // The body was read to its end without error, and it is as long as the
    // server's Content-Length said.
    bool complete = false;
    bool overCap = false;        // the server offered more than maxBody bytes
};

HttpGetResult HttpGet(const HttpGetRequest& request);

// The Content-Length a server announced on a WinINet request handle
// (HINTERNET) that has been sent; nothing when absent or not a number. A
// connection closed or reset early ends WinINet's reads as quietly as a
// whole body does, and Wine reads on past this length up to the close:
// comparing the bytes read with it tells a broken transfer from a whole one.
std::optional<std::uint64_t> AnnouncedLength(void* request);

}  // namespace common
