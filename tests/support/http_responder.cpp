#include "http_responder.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <stdexcept>

namespace playerctl::test {

namespace {

struct WinsockUser {
    WinsockUser() {
        WSADATA data;
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) throw std::runtime_error("WSAStartup");
    }
    ~WinsockUser() { WSACleanup(); }
};

void EnsureWinsock() { static WinsockUser user; }

SOCKET BindLoopback(unsigned short& port) {
    EnsureWinsock();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) throw std::runtime_error("socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    int size = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        closesocket(s);
        throw std::runtime_error("bind");
    }
    port = ntohs(address.sin_port);
    return s;
}

const char* Reason(int status) {
    switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 416: return "Range Not Satisfiable";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

}  // namespace

HttpResponder::HttpResponder(Script script)
    : HttpResponder(HeadScript([script = std::move(script)](const std::string& target, const std::string&) {
          return script(target);
      })) {}

HttpResponder::HttpResponder(HeadScript script) : script_(std::move(script)) {
    SOCKET s = BindLoopback(port_);
    if (listen(s, 8) != 0) {
        closesocket(s);
        throw std::runtime_error("listen");
    }
    listener_ = s;
    thread_ = std::thread([this] { Serve(); });
}

HttpResponder::~HttpResponder() {
    closesocket(static_cast<SOCKET>(listener_));  // ends the blocked accept
    thread_.join();
}

std::wstring HttpResponder::Url(const std::wstring& target) const {
    return L"http://127.0.0.1:" + std::to_wstring(port_) + target;
}

std::vector<std::string> HttpResponder::Targets() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return targets_;
}

void HttpResponder::Serve() {
    for (;;) {
        SOCKET client = accept(static_cast<SOCKET>(listener_), nullptr, nullptr);
        if (client == INVALID_SOCKET) return;
        std::string request;
        char buffer[2048];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            int n = recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            request.append(buffer, n);
        }
        std::string target;
        size_t space = request.find(' ');
        if (space != std::string::npos) {
            size_t end = request.find(' ', space + 1);
            if (end != std::string::npos) target = request.substr(space + 1, end - space - 1);
        }
        Response response = script_(target, request);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            targets_.push_back(target);
        }
        std::string reply = "HTTP/1.1 " + std::to_string(response.status) + " " + Reason(response.status) +
                            "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                            std::to_string(response.body.size()) + "\r\nConnection: close\r\n" + response.headers + "\r\n" +
                            response.body;
        size_t sent = 0;
        while (sent < reply.size()) {
            int n = send(client, reply.data() + sent, static_cast<int>(reply.size() - sent), 0);
            if (n <= 0) break;
            sent += n;
        }
        shutdown(client, SD_SEND);
        closesocket(client);
    }
}

HttpResponder::Response RangeResponse(const std::string& content, const std::string& head) {
    const std::string key = "\r\nRange: bytes=";
    size_t at = head.find(key);
    if (at == std::string::npos) return {200, content};
    at += key.size();
    size_t end = head.find("\r\n", at);
    std::string spec = head.substr(at, end - at);
    size_t dash = spec.find('-');
    unsigned long long first = std::stoull(spec.substr(0, dash));
    unsigned long long last = dash + 1 < spec.size() ? std::stoull(spec.substr(dash + 1)) : content.size() - 1;
    if (first >= content.size())
        return {416, "", "Content-Range: bytes */" + std::to_string(content.size()) + "\r\n"};
    if (last >= content.size()) last = content.size() - 1;
    return {206, content.substr(first, last - first + 1),
            "Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" +
                std::to_string(content.size()) + "\r\n"};
}

unsigned short RefusingPort() {
    unsigned short port = 0;
    closesocket(BindLoopback(port));
    return port;
}

}  // namespace playerctl::test
