#pragma once
// A scripted HTTP/1.1 responder on a free loopback port, served by one
// Winsock thread, for tests that run the real WinINet against it.

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace playerctl::test {

class HttpResponder {
public:
    struct Response {
        Response(int status = 200, std::string body = {}, std::string headers = {})
            : status(status), body(std::move(body)), headers(std::move(headers)) {}
        int status;
        std::string body;
        std::string headers;  // more header lines, each ending in CRLF
    };
    using Script = std::function<Response(const std::string& target)>;  // target: path and query
    // Also sees the request head (request line and headers).
    using HeadScript = std::function<Response(const std::string& target, const std::string& head)>;

    explicit HttpResponder(Script script);
    explicit HttpResponder(HeadScript script);
    ~HttpResponder();
    HttpResponder(const HttpResponder&) = delete;
    HttpResponder& operator=(const HttpResponder&) = delete;

    unsigned short Port() const { return port_; }
    std::wstring Url(const std::wstring& target) const;
    std::vector<std::string> Targets() const;  // every request target answered so far

private:
    void Serve();

    HeadScript script_;
    unsigned long long listener_;
    unsigned short port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> targets_;
};

// An answer to a GET of `content` that honours one "Range: bytes=a-b" (or
// "a-") of `head` with 206 and Content-Range, or 416 when it lies outside.
HttpResponder::Response RangeResponse(const std::string& content, const std::string& head);

// A loopback port that nothing listens on (connections are refused).
unsigned short RefusingPort();

}  // namespace playerctl::test
