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
        int status = 200;
        std::string body;
    };
    using Script = std::function<Response(const std::string& target)>;  // target: path and query

    explicit HttpResponder(Script script);
    ~HttpResponder();
    HttpResponder(const HttpResponder&) = delete;
    HttpResponder& operator=(const HttpResponder&) = delete;

    unsigned short Port() const { return port_; }
    std::wstring Url(const std::wstring& target) const;
    std::vector<std::string> Targets() const;  // every request target answered so far

private:
    void Serve();

    Script script_;
    unsigned long long listener_;
    unsigned short port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> targets_;
};

// A loopback port that nothing listens on (connections are refused).
unsigned short RefusingPort();

}  // namespace playerctl::test
