#pragma once
// A tiny HTTP server on a free loopback port, run on a thread of the test
// program, that answers every connection with a scripted byte string and
// records the requests it received.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace clipdeck::test {

struct ResponderScript {
    std::string response;       // sent as is after the request head arrived
    unsigned long delayMs = 0;  // wait before answering
    bool holdOpen = false;      // keep the connection open after sending, until the responder stops
};

// "HTTP/1.1 <status> <reason>" with Content-Length, Connection: close and
// the body.
std::string HttpResponse(int status, std::string_view reason, std::string_view body);

class ScriptedResponder {
public:
    explicit ScriptedResponder(ResponderScript script);
    ~ScriptedResponder();
    ScriptedResponder(const ScriptedResponder&) = delete;
    ScriptedResponder& operator=(const ScriptedResponder&) = delete;

    std::uint16_t Port() const { return port_; }
    // "127.0.0.1:<port>", the form of the feed host setting.
    std::wstring HostSetting() const;
    // Request heads received so far (request line and headers).
    std::vector<std::string> Requests() const;

private:
    void Serve();
    void Answer(std::uintptr_t connection);
    bool WaitUnlessStopped(unsigned long ms) const;

    ResponderScript script_;
    std::uintptr_t listener_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A loopback port on which nothing listens (bound once, then released).
std::uint16_t UnusedLoopbackPort();

}  // namespace clipdeck::test
