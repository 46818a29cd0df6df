#include "scripted_http_responder.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <chrono>
#include <stdexcept>
#include <utility>

namespace clipdeck::test {

namespace {

constexpr unsigned long kPollMs = 20;

struct WinsockUser {
    WinsockUser() {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup failed");
    }
    ~WinsockUser() { WSACleanup(); }
};

SOCKET BoundLoopbackSocket(std::uint16_t* port) {
    static WinsockUser winsock;
    const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int size = sizeof(address);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        closesocket(s);
        throw std::runtime_error("bind failed");
    }
    *port = ntohs(address.sin_port);
    return s;
}

bool Readable(SOCKET s, unsigned long ms) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(s, &set);
    timeval timeout{0, static_cast<long>(ms * 1000)};
    return select(0, &set, nullptr, nullptr, &timeout) > 0;
}

}  // namespace

std::string HttpResponse(int status, std::string_view reason, std::string_view body) {
    std::string response = "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) + "\r\n";
    response += "Content-Type: application/atom+xml; charset=UTF-8\r\n";
    response += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    response += "Connection: close\r\n\r\n";
    response += body;
    return response;
}

ScriptedResponder::ScriptedResponder(ResponderScript script) : script_(std::move(script)) {
    const SOCKET s = BoundLoopbackSocket(&port_);
    if (listen(s, SOMAXCONN) != 0) {
        closesocket(s);
        throw std::runtime_error("listen failed");
    }
    listener_ = s;
    thread_ = std::thread([this] { Serve(); });
}

ScriptedResponder::~ScriptedResponder() {
    stop_ = true;
    thread_.join();
    closesocket(static_cast<SOCKET>(listener_));
}

std::wstring ScriptedResponder::HostSetting() const { return L"127.0.0.1:" + std::to_wstring(port_); }

std::vector<std::string> ScriptedResponder::Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

bool ScriptedResponder::WaitUnlessStopped(unsigned long ms) const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!stop_) {
        if (std::chrono::steady_clock::now() >= end) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    return false;
}

void ScriptedResponder::Serve() {
    const auto listener = static_cast<SOCKET>(listener_);
    while (!stop_) {
        if (!Readable(listener, kPollMs)) continue;
        const SOCKET connection = accept(listener, nullptr, nullptr);
        if (connection == INVALID_SOCKET) continue;
        Answer(connection);
        closesocket(connection);
    }
}

void ScriptedResponder::Answer(std::uintptr_t socketValue) {
    const auto connection = static_cast<SOCKET>(socketValue);
    std::string head;
    while (!stop_ && head.find("\r\n\r\n") == std::string::npos) {
        if (!Readable(connection, kPollMs)) continue;
        char buffer[1024];
        const int got = recv(connection, buffer, sizeof(buffer), 0);
        if (got <= 0) return;
        head.append(buffer, static_cast<std::size_t>(got));
    }
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(head);
    }
    if (!WaitUnlessStopped(script_.delayMs)) return;

    std::size_t sent = 0;
    while (sent < script_.response.size()) {
        const int n = send(connection, script_.response.data() + sent,
                           static_cast<int>(script_.response.size() - sent), 0);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
    if (script_.holdOpen) {
        while (!stop_) std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
        return;
    }
    shutdown(connection, SD_SEND);
    // Let the client read to the end before the socket goes.
    char drain[256];
    while (Readable(connection, 1000) && recv(connection, drain, sizeof(drain), 0) > 0) {
    }
}

std::uint16_t UnusedLoopbackPort() {
    std::uint16_t port = 0;
    closesocket(BoundLoopbackSocket(&port));
    return port;
}

}  // namespace clipdeck::test
