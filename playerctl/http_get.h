#pragma once
// One blocking HTTP GET through WinINet, for the control's worker threads.

#include <cstddef>
#include <string>

namespace playerctl {

struct HttpResult {
    bool answered = false;     // a status line came back
    unsigned long status = 0;
    std::string body;          // at most maxBody bytes
};

// Connect, send and receive each give up after 5 seconds.
HttpResult HttpGet(const std::wstring& host, unsigned short port, const std::wstring& pathAndQuery,
                   std::size_t maxBody);

}  // namespace playerctl
